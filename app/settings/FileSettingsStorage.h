#pragma once

#include <filesystem>
#include <optional>

#include "app/settings/SettingsStorage.h"

namespace dz {

// Keeps each blob in a file named after its key in one folder, normally
// $XDG_CONFIG_HOME/dozuzavuvu (~/.config/dozuzavuvu when that is unset).
// Writes go to a temporary file in the same folder, are flushed to disk and
// then renamed over the old file, so a crash or a full disk never leaves a
// truncated document behind. A process killed mid-save leaves its temporary
// file; reading a key removes such leftovers once they are a minute old
// (younger ones may be a save of the other program in progress).
class FileSettingsStorage : public SettingsStorage {
  public:
    explicit FileSettingsStorage(std::filesystem::path directory);

    // Nothing when neither XDG_CONFIG_HOME nor a home folder is known.
    static std::optional<std::filesystem::path> defaultDirectory();

    const std::filesystem::path& directory() const { return directory_; }
    // Where the blob of `key` lives; keys are plain file names.
    std::filesystem::path path(std::string_view key) const;

    Stored read(std::string_view key) const override;
    bool write(std::string_view key, std::string_view bytes, std::string* error = nullptr) override;
    // Links a fully written temporary file to the first free name, so two
    // programs keeping copies at once never replace each other's.
    bool keepAside(std::string_view key, std::string_view bytes, std::string* error = nullptr) override;

    // How old a temporary file of ours must be before a read removes it.
    static constexpr int staleTemporarySeconds = 60;

  private:
    // Writes `bytes` to a new temporary file for `key`, flushed and closed;
    // its path, or nothing with `error` set.
    std::optional<std::string> writeTemporary(std::string_view key, std::string_view bytes,
                                              std::string* error) const;
    void removeStaleTemporaries(std::string_view key) const;
    void syncDirectory() const;

    std::filesystem::path directory_;
};

}  // namespace dz
