// `clean`: renders a copy given as files or standard input, as the desktop
// program would, and prints the rendition.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "app/settings/CleanConfiguration.h"
#include "cli/Commands.h"
#include "cli/Dictionary.h"
#include "cli/IO.h"
#include "core/cleaner/PasteboardCleaner.h"
#include "core/clipboard/ClipboardSnapshot.h"
#include "core/script/JavaScriptTransformer.h"
#include "core/text/Unicode.h"

namespace dz::cli {

namespace {

struct CleanArgs {
    std::string format;
    bool pdf = false;
    std::optional<std::string> text, html, rtf, url;
    std::optional<std::string> cleaning, markdown, pdfOptions;
    std::optional<std::string> script;
    std::optional<std::string> settings;
    std::string dictionary;
    bool json = false;
};

template <typename Record>
Record parseRecord(const std::string& text, const char* flag) {
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded())
        throw CommandError(std::string(flag) + ": not valid JSON");
    std::string error;
    auto record = Record::fromJSON(json, &error);
    if (!record)
        throw CommandError(std::string(flag) + ": " + error);
    return *record;
}

// Prints the rendition (or why there is none); the exit status.
int print(const std::optional<RenderedClip>& clip, OutputFormat format, bool json) {
    if (!clip) {
        SkipReason reason = format == OutputFormat::original ? SkipReason::keptOriginal : SkipReason::noText;
        std::cerr << "skipped: " << skipreason::rawValue(reason) << "\n";
        return 1;
    }
    if (json) {
        nlohmann::ordered_json out;
        out["string"] = clip->string;
        out["html"] = clip->html ? nlohmann::ordered_json(*clip->html) : nlohmann::ordered_json(nullptr);
        out["url"] = clip->url ? nlohmann::ordered_json(*clip->url) : nlohmann::ordered_json(nullptr);
        writeStandardOutput(out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } else {
        writeStandardOutput(clip->string);
    }
    return 0;
}

int runClean(const CleanArgs& args) {
    CleanConfiguration::Overrides overrides;
    if (!args.format.empty())
        overrides.format = outputformat::fromRaw(args.format);
    if (args.cleaning)
        overrides.cleaning = parseRecord<CleaningOptions>(*args.cleaning, "--cleaning");
    if (args.markdown)
        overrides.markdown = parseRecord<MarkdownOptions>(*args.markdown, "--markdown");
    if (args.pdfOptions)
        overrides.pdf = parseRecord<PDFOptions>(*args.pdfOptions, "--pdf-options");
    if (args.script)
        overrides.script = readFile(*args.script);

    std::string error;
    std::optional<std::filesystem::path> settingsFile;
    if (args.settings)
        settingsFile = *args.settings;
    auto config = CleanConfiguration::resolve(settingsFile, overrides, &error);
    if (!config)
        throw CommandError(error);

    ClipboardSnapshot snapshot = readCopy(args.text, args.html, args.rtf, args.url);

    PasteboardCleaner cleaner(config->cleaning, false, config->format, config->markdown, config->pdf,
                              args.pdf);
    if (args.pdf)
        cleaner.isWord = wordPredicate(args.dictionary);

    std::shared_ptr<JavaScriptTransformer> transformer;
    if (config->script) {
        transformer = std::make_shared<JavaScriptTransformer>();
        std::string script = *config->script;
        cleaner.transform = [transformer, script](std::string_view input) -> std::string {
            auto result = transformer->run(script, input);
            if (auto* text = std::get_if<std::string>(&result))
                return *text;
            std::cerr << std::get<JavaScriptTransformer::Failure>(result).message << "\n";
            return std::string(input);
        };
    }

    auto clip = cleaner.render(snapshot);
    int code = print(clip, cleaner.format, args.json);
    // A script given up on may still run on its worker; the result is out,
    // so leave now instead of waiting for it to stop.
    if (transformer && transformer->isBusy()) {
        std::cout.flush();
        std::cerr.flush();
        std::_Exit(code);
    }
    return code;
}

}  // namespace

void addCleanCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<CleanArgs>();
    auto* cmd =
        app.add_subcommand("clean", "Clean a copy given as files or standard input and print the rendition");
    cmd->add_option("--format", args->format,
                    "plain, links, markdown or original (default: the settings' format)")
        ->check(CLI::IsMember({"plain", "links", "markdown", "original"}));
    cmd->add_flag("--pdf", args->pdf,
                  "Repair PDF line breaks first; the first hyphen to check opens the spelling dictionary "
                  "(about 0.1 s, see --dictionary)");
    cmd->add_option("--text", args->text, "Plain-text representation (FILE, - for standard input)");
    cmd->add_option("--html", args->html, "HTML representation (FILE, - for standard input)");
    cmd->add_option("--rtf", args->rtf, "RTF representation (FILE, - for standard input)");
    cmd->add_option("--url", args->url, "The copy's own link");
    cmd->add_option("--cleaning", args->cleaning, "Cleaning options as JSON");
    cmd->add_option("--markdown", args->markdown, "Markdown options as JSON");
    cmd->add_option("--pdf-options", args->pdfOptions, "PDF repair options as JSON");
    cmd->add_option("--script", args->script, "JavaScript file defining transform(text), run last");
    cmd->add_option("--settings", args->settings, "Settings document to take the options from");
    cmd->add_option("--dictionary", args->dictionary,
                    "Dictionary for --pdf: a language such as en_US (default: the user's), or none to join "
                    "hyphenated words unchecked");
    cmd->add_flag("--json", args->json, "Print {\"string\", \"html\", \"url\"} as JSON");
    cmd->callback([args, &exitCode] { exitCode = runClean(*args); });
}

}  // namespace dz::cli
