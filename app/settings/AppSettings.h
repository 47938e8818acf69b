#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "app/settings/SettingsData.h"
#include "app/settings/SettingsStorage.h"
#include "app/support/Observable.h"

namespace dz {

// The store of the user's settings: loads the document once, publishes every
// new record and saves each change at once. Main thread only.
class AppSettings {
  public:
    static constexpr std::string_view storageKey = "settings.v1";
    // Where a stored document that cannot be decoded is kept before anything
    // may overwrite it.
    static constexpr std::string_view unreadableKey = "settings.v1.unreadable";

    // Loads from `storage`, which must outlive the store. A document that
    // cannot be decoded gives the defaults, silently, and is copied aside.
    explicit AppSettings(SettingsStorage& storage);
    AppSettings(const AppSettings&) = delete;
    AppSettings& operator=(const AppSettings&) = delete;

    // The process's store, on the user's settings folder (in memory when the
    // process has no home folder).
    static AppSettings& shared();

    const SettingsData& data() const { return data_.value(); }
    // Publishes the record to every subscriber and saves it when it differs
    // from the current one.
    void setData(SettingsData data);
    // The callback gets the current record at once and every later one.
    [[nodiscard]] Observable<SettingsData>::Subscription subscribe(
        std::function<void(const SettingsData&)> callback);

    // Writes the compact document. False when it could not be written (the
    // stored document is then as it was).
    bool save(std::string* error = nullptr);
    // Nothing has ever been saved.
    bool isFirstLaunch() const;

    std::optional<std::string> exportJSON(std::string* error = nullptr) const {
        return data().exportJSON(error);
    }
    // Decodes as at start and, when that works, replaces the whole record.
    // On failure nothing changes and `error` says why.
    bool importJSON(std::string_view bytes, std::string* error = nullptr);
    void resetToDefaults() { setData(SettingsData()); }

    // The first rule of the direction for exactly this application.
    std::optional<AppRule> ruleForApp(RuleDirection direction, std::string_view bundleID) const;
    // The first rule of the direction for the pattern, normalised first.
    std::optional<AppRule> ruleForWebsite(RuleDirection direction, std::string_view website) const;
    // Appends the rule unless one for the same direction and place exists;
    // gives the identifier of the rule that is now in the list.
    UUID addRule(AppRule rule);
    void removeRules(const std::unordered_set<UUID>& ids);

  private:
    // Copies an undecodable stored document aside; true once it is safe.
    bool preserveUnreadable(std::string* error);

    SettingsStorage& storage_;
    // Filled while loading, so declared before `data_`.
    std::optional<std::string> unpreserved_;  // an undecodable document not yet copied aside
    std::optional<std::string> readFailure_;  // the stored document could not be read at all
    Observable<SettingsData> data_;
};

}  // namespace dz
