#include "app/settings/CleanConfiguration.h"

#include "app/settings/AppSettings.h"
#include "app/settings/FileSettingsStorage.h"
#include "core/text/Unicode.h"

namespace dz {

CleanConfiguration CleanConfiguration::fromSettings(const SettingsData& settings) {
    CleanConfiguration c;
    c.format = settings.defaultFormat;
    c.cleaning = settings.cleaning;
    c.markdown = settings.markdown;
    c.pdf = settings.pdf;
    if (settings.scriptEnabled && !unicode::isBlank(settings.script))
        c.script = settings.script;
    return c;
}

std::optional<SettingsData> CleanConfiguration::resolveSettings(
    const std::optional<std::filesystem::path>& settingsFile,
    const std::optional<std::filesystem::path>& storedDirectory, Source* source, std::string* error) {
    if (source)
        *source = Source::defaults;
    if (settingsFile) {
        FileSettingsStorage folder(settingsFile->parent_path().empty() ? "." : settingsFile->parent_path());
        SettingsStorage::Stored stored = folder.read(settingsFile->filename().string());
        if (stored.status != SettingsStorage::Stored::Status::present) {
            if (error)
                *error = stored.status == SettingsStorage::Stored::Status::absent
                             ? "cannot open " + settingsFile->string() + ": no such file"
                             : stored.error;
            return std::nullopt;
        }
        std::string decodeError;
        std::optional<SettingsData> settings = SettingsData::decode(stored.bytes, &decodeError);
        if (!settings) {
            if (error)
                *error = settingsFile->string() + ": " + decodeError;
            return std::nullopt;
        }
        if (source)
            *source = Source::file;
        return settings;
    }
    if (storedDirectory) {
        FileSettingsStorage storage(*storedDirectory);
        SettingsStorage::Stored stored = storage.read(AppSettings::storageKey);
        if (stored.status == SettingsStorage::Stored::Status::failed) {
            if (error)
                *error = stored.error;
            return std::nullopt;
        }
        if (stored.status == SettingsStorage::Stored::Status::present) {
            if (std::optional<SettingsData> settings = SettingsData::decode(stored.bytes)) {
                if (source)
                    *source = Source::stored;
                return settings;
            }
        }
    }
    return SettingsData();
}

std::optional<CleanConfiguration> CleanConfiguration::resolve(
    const std::optional<std::filesystem::path>& settingsFile,
    const std::optional<std::filesystem::path>& storedDirectory, const Overrides& overrides,
    std::string* error) {
    Source source = Source::defaults;
    std::optional<SettingsData> settings = resolveSettings(settingsFile, storedDirectory, &source, error);
    if (!settings)
        return std::nullopt;
    CleanConfiguration c = fromSettings(*settings);
    c.source = source;

    if (overrides.format)
        c.format = *overrides.format;
    if (overrides.cleaning)
        c.cleaning = *overrides.cleaning;
    if (overrides.markdown)
        c.markdown = *overrides.markdown;
    if (overrides.pdf)
        c.pdf = *overrides.pdf;
    if (overrides.script)
        c.script = *overrides.script;
    return c;
}

std::optional<CleanConfiguration> CleanConfiguration::resolve(
    const std::optional<std::filesystem::path>& settingsFile, const Overrides& overrides,
    std::string* error) {
    return resolve(settingsFile, FileSettingsStorage::defaultDirectory(), overrides, error);
}

}  // namespace dz
