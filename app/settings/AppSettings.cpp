#include "app/settings/AppSettings.h"

#include <memory>

#include "app/settings/FileSettingsStorage.h"
#include "app/settings/MemorySettingsStorage.h"

namespace dz {

namespace {

SettingsData load(SettingsStorage& storage, std::optional<std::string>& unpreserved,
                  std::optional<std::string>& readFailure) {
    SettingsStorage::Stored stored = storage.read(AppSettings::storageKey);
    switch (stored.status) {
        case SettingsStorage::Stored::Status::absent:
            return SettingsData();
        case SettingsStorage::Stored::Status::failed:
            // Never replace a document we could not even look at.
            readFailure = stored.error;
            return SettingsData();
        case SettingsStorage::Stored::Status::present:
            break;
    }
    if (auto decoded = SettingsData::decode(stored.bytes))
        return *decoded;
    unpreserved = std::move(stored.bytes);
    return SettingsData();
}

}  // namespace

AppSettings::AppSettings(SettingsStorage& storage)
    : storage_(storage), data_(load(storage, unpreserved_, readFailure_)) {
    preserveUnreadable(nullptr);
}

AppSettings& AppSettings::shared() {
    static SettingsStorage* storage = [] {
        if (auto directory = FileSettingsStorage::defaultDirectory())
            return static_cast<SettingsStorage*>(new FileSettingsStorage(*directory));
        return static_cast<SettingsStorage*>(new MemorySettingsStorage());
    }();
    static AppSettings settings(*storage);
    return settings;
}

bool AppSettings::preserveUnreadable(std::string* error) {
    if (!unpreserved_)
        return true;
    if (!storage_.keepAside(unreadableKey, *unpreserved_, error))
        return false;
    unpreserved_.reset();
    return true;
}

void AppSettings::setData(SettingsData data) {
    bool changed = !(data == data_.value());
    data_.publish(std::move(data));
    if (changed)
        save();
}

Observable<SettingsData>::Subscription AppSettings::subscribe(
    std::function<void(const SettingsData&)> callback) {
    return data_.subscribe(std::move(callback));
}

bool AppSettings::save(std::string* error) {
    if (readFailure_) {
        if (error)
            *error = "the stored settings could not be read, so they are not replaced: " + *readFailure_;
        return false;
    }
    std::string preserveError;
    if (!preserveUnreadable(&preserveError)) {
        if (error)
            *error = "the unreadable stored settings could not be kept: " + preserveError;
        return false;
    }
    std::optional<std::string> bytes = data().encode(error);
    if (!bytes)
        return false;
    return storage_.write(storageKey, *bytes, error);
}

bool AppSettings::isFirstLaunch() const {
    return storage_.read(storageKey).status == SettingsStorage::Stored::Status::absent;
}

bool AppSettings::importJSON(std::string_view bytes, std::string* error) {
    std::optional<SettingsData> decoded = SettingsData::decode(bytes, error);
    if (!decoded)
        return false;
    setData(std::move(*decoded));
    return true;
}

std::optional<AppRule> AppSettings::ruleForApp(RuleDirection direction, std::string_view bundleID) const {
    for (const AppRule& rule : data().rules)
        if (rule.direction == direction && rule.kind == RuleKind::app && rule.bundleID == bundleID)
            return rule;
    return std::nullopt;
}

std::optional<AppRule> AppSettings::ruleForWebsite(RuleDirection direction, std::string_view website) const {
    std::string pattern = AppRule::normalizedPattern(website);
    for (const AppRule& rule : data().rules)
        if (rule.direction == direction && rule.kind == RuleKind::website && rule.website == pattern)
            return rule;
    return std::nullopt;
}

UUID AppSettings::addRule(AppRule rule) {
    std::optional<AppRule> existing = rule.kind == RuleKind::app
                                          ? ruleForApp(rule.direction, rule.bundleID)
                                          : ruleForWebsite(rule.direction, rule.website);
    if (existing)
        return existing->id;
    UUID id = rule.id;
    SettingsData updated = data();
    updated.rules.push_back(std::move(rule));
    setData(std::move(updated));
    return id;
}

void AppSettings::removeRules(const std::unordered_set<UUID>& ids) {
    SettingsData updated = data();
    std::erase_if(updated.rules, [&](const AppRule& rule) { return ids.contains(rule.id); });
    setData(std::move(updated));
}

}  // namespace dz
