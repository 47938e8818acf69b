// `settings`: where the settings live, whether a settings file would import,
// and the settings in their exported form.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/settings/AppSettings.h"
#include "app/settings/FileSettingsStorage.h"
#include "app/settings/SettingsData.h"
#include "cli/Commands.h"
#include "cli/IO.h"

namespace dz::cli {

namespace {

// Messages quote values from the file; keep each on one line.
std::string oneLine(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

FileSettingsStorage storedSettings() {
    auto directory = FileSettingsStorage::defaultDirectory();
    if (!directory)
        throw CommandError("cannot find the settings folder: neither XDG_CONFIG_HOME nor HOME is set");
    return FileSettingsStorage(*directory);
}

// Decodes FILE as an import does; prints the reason and gives nothing when
// it cannot be decoded. A file that cannot be read is a CommandError (exit 2).
std::optional<SettingsData> decodeFile(const std::string& path) {
    std::string bytes = readFile(path);
    std::string error;
    std::optional<SettingsData> data = SettingsData::decode(bytes, &error);
    if (!data)
        std::cerr << "error: " << oneLine(error) << "\n";
    return data;
}

int runPath() {
    std::cout << storedSettings().path(AppSettings::storageKey).string() << "\n";
    return 0;
}

int runCheck(const std::string& path) {
    if (!decodeFile(path))
        return 1;
    std::cout << "ok\n";
    return 0;
}

int runExport(const std::optional<std::string>& path) {
    SettingsData data;
    if (path) {
        std::optional<SettingsData> decoded = decodeFile(*path);
        if (!decoded)
            return 1;
        data = std::move(*decoded);
    } else {
        FileSettingsStorage storage = storedSettings();
        SettingsStorage::Stored stored = storage.read(AppSettings::storageKey);
        if (stored.status == SettingsStorage::Stored::Status::failed) {
            std::cerr << "error: " << oneLine(stored.error) << "\n";
            return 1;
        }
        if (stored.status == SettingsStorage::Stored::Status::present) {
            std::string error;
            if (std::optional<SettingsData> decoded = SettingsData::decode(stored.bytes, &error))
                data = std::move(*decoded);
            else
                std::cerr << "warning: the stored settings cannot be decoded (" << oneLine(error)
                          << "); Dozuzavuvu uses the defaults, shown here\n";
        }
    }
    std::string error;
    std::optional<std::string> exported = data.exportJSON(&error);
    if (!exported)
        throw CommandError("cannot export: " + oneLine(error));
    writeStandardOutput(*exported + "\n");
    return 0;
}

}  // namespace

void addSettingsCommand(CLI::App& app, int& exitCode) {
    auto* cmd =
        app.add_subcommand("settings", "Show where the settings are stored, check or export a settings file");
    cmd->require_subcommand(1);

    auto* path = cmd->add_subcommand("path", "Print the path of the stored settings file");
    path->callback([&exitCode] { exitCode = runPath(); });

    auto checkFile = std::make_shared<std::string>();
    auto* check = cmd->add_subcommand(
        "check", "Decode FILE as an import does: prints ok (exit 0) or the reason (exit 1)");
    check->add_option("FILE", *checkFile, "Settings file ('-' is standard input)")->required();
    check->callback([checkFile, &exitCode] { exitCode = runCheck(*checkFile); });

    auto exportFile = std::make_shared<std::string>();
    auto* exportCmd = cmd->add_subcommand(
        "export", "Print the stored settings, or FILE decoded, indented with keys sorted");
    auto* fileOption = exportCmd->add_option("FILE", *exportFile, "Settings file ('-' is standard input)");
    exportCmd->callback([exportFile, fileOption, &exitCode] {
        exitCode = runExport(fileOption->count() ? std::optional<std::string>(*exportFile) : std::nullopt);
    });
}

}  // namespace dz::cli
