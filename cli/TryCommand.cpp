// `try`: what a copy would paste as, from one place into another, under the
// user's rules, and why; nothing is written anywhere.
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "app/controller/AppController.h"
#include "app/platform/SpellChecker.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/CleanConfiguration.h"
#include "app/settings/FileSettingsStorage.h"
#include "app/settings/MemorySettingsStorage.h"
#include "cli/Commands.h"
#include "cli/Dictionary.h"
#include "cli/IO.h"
#include "linux/workspace/AppIdentity.h"

namespace dz::cli {

namespace {

struct TryArgs {
    std::optional<std::string> from, into, as;
    std::optional<std::string> text, html, rtf;
    std::optional<std::string> settings;
    bool json = false;
};

struct Place {
    std::optional<std::string> bundleID;
    std::optional<std::string> url;
};

// "ID", "ID@ADDRESS" or "@ADDRESS".
Place parsePlace(const std::string& text) {
    Place place;
    size_t at = text.find('@');
    std::string id = text.substr(0, at);
    if (!id.empty())
        place.bundleID = id;
    if (at != std::string::npos) {
        std::string url = text.substr(at + 1);
        if (url.empty())
            throw CommandError("\"" + text + "\": no address after \"@\"");
        place.url = url;
    }
    return place;
}

// The spelling check of the PDF repair, from the user's dictionary.
class DictionarySpellChecker final : public SpellChecker {
  public:
    explicit DictionarySpellChecker(std::function<bool(std::string_view)> predicate)
        : predicate_(std::move(predicate)) {}
    bool isWord(std::string_view text) const override { return !predicate_ || predicate_(text); }

  private:
    std::function<bool(std::string_view)> predicate_;
};

// The installed application's name (its desktop file's), else its id.
std::string installedAppName(const std::string& id) {
    x11::AppIdentity identity;
    if (std::optional<x11::DesktopEntry> entry = identity.entry(id); entry && entry->name)
        return *entry->name;
    return id;
}

int runTry(const TryArgs& args) {
    std::optional<OutputFormat> override;
    if (args.as)
        override = outputformat::fromRaw(*args.as);

    std::string error;
    std::optional<std::filesystem::path> settingsFile;
    if (args.settings)
        settingsFile = *args.settings;
    std::optional<SettingsData> settingsData = CleanConfiguration::resolveSettings(
        settingsFile, FileSettingsStorage::defaultDirectory(), nullptr, &error);
    if (!settingsData)
        throw CommandError(error);

    ClipboardSnapshot snapshot = readCopy(args.text, args.html, args.rtf, std::nullopt);

    Place from = args.from ? parsePlace(*args.from) : Place{};
    Place into = args.into ? parsePlace(*args.into) : Place{};

    // The controller runs on in-memory services: a simulation reads the
    // settings and renders, and touches nothing of the desktop.
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    settings.setData(std::move(*settingsData));
    fake::FakePlatform fakes;
    DictionarySpellChecker spelling(wordPredicate(""));
    Platform platform{fakes.clipboard,  fakes.workspace,     fakes.keys,   fakes.hotKeys,
                      fakes.keystrokes, fakes.pageAddresses, fakes.system, spelling,
                      fakes.scheduler,  fakes.worker,        fakes.windows};
    AppController controller(settings, platform);
    auto scriptErrors = controller.scriptError.subscribe([](const std::optional<std::string>& message) {
        if (message)
            std::cerr << *message << "\n";
    });

    SourceInfo source;
    source.bundleID = from.bundleID;
    if (from.bundleID)
        source.name = installedAppName(*from.bundleID);
    source.pageURL = from.url;
    AppController::Simulation simulation =
        controller.simulate(snapshot, source, into.bundleID, into.url, override);

    if (args.json) {
        nlohmann::ordered_json out;
        out["output"] =
            simulation.output ? nlohmann::ordered_json(*simulation.output) : nlohmann::ordered_json(nullptr);
        out["explanation"] = simulation.explanation;
        writeStandardOutput(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } else if (simulation.output) {
        writeStandardOutput(*simulation.output + "\n" + simulation.explanation + "\n");
    } else {
        writeStandardOutput(simulation.explanation + "\n");
    }
    return 0;
}

}  // namespace

void addTryCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<TryArgs>();
    auto* cmd = app.add_subcommand(
        "try", "Show what a copy would paste as from one place into another under your rules, and why");
    cmd->add_option("--from", args->from, "Where it is copied from: ID, ID@ADDRESS or @ADDRESS");
    cmd->add_option("--into", args->into, "Where it is pasted: ID, ID@ADDRESS or @ADDRESS");
    cmd->add_option("--as", args->as, "Force a format: plain, links, markdown or original")
        ->check(CLI::IsMember({"plain", "links", "markdown", "original"}));
    cmd->add_option("--text", args->text, "Plain-text representation (FILE, - for standard input)");
    cmd->add_option("--html", args->html, "HTML representation (FILE, - for standard input)");
    cmd->add_option("--rtf", args->rtf, "RTF representation (FILE, - for standard input)");
    cmd->add_option("--settings", args->settings, "Settings document to use instead of your own");
    cmd->add_flag("--json", args->json, "Print {\"output\", \"explanation\"} as JSON");
    cmd->callback([args, &exitCode] { exitCode = runTry(*args); });
}

}  // namespace dz::cli
