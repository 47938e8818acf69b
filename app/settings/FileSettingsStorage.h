#pragma once

#include <filesystem>
#include <optional>

#include "app/settings/SettingsStorage.h"

namespace dz {

// Keeps each blob in a file named after its key in one folder, normally
// $XDG_CONFIG_HOME/dozuzavuvu (~/.config/dozuzavuvu when that is unset).
// Writes go to a temporary file in the same folder, are flushed to disk and
// then renamed over the old file, so a crash or a full disk never leaves a
// truncated document behind.
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

  private:
    std::filesystem::path directory_;
};

}  // namespace dz
