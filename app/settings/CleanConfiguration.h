#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/settings/SettingsData.h"
#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"
#include "core/options/OutputFormat.h"
#include "core/options/PDFOptions.h"

namespace dz {

// What a one-off clean from the command line uses: the parts of one settings
// document that shape a rendition, each of which an explicit choice may
// replace.
struct CleanConfiguration {
    enum class Source { file, stored, defaults };

    // Explicit choices; each replaces just its own part of the document.
    struct Overrides {
        std::optional<OutputFormat> format;
        std::optional<CleaningOptions> cleaning;
        std::optional<MarkdownOptions> markdown;
        std::optional<PDFOptions> pdf;
        std::optional<std::string> script;  // the script's text
    };

    OutputFormat format = OutputFormat::plain;
    CleaningOptions cleaning;
    MarkdownOptions markdown;
    PDFOptions pdf;
    std::optional<std::string> script;  // the transform to run, if any
    Source source = Source::defaults;   // where the document came from

    // The document's parts; its script only when enabled and not blank.
    static CleanConfiguration fromSettings(const SettingsData& settings);

    // Reads `settingsFile` when given (an unreadable or undecodable file is an
    // error), else the stored settings in `storedDirectory` when a document
    // is there, else the defaults; then applies `overrides`. A stored
    // document that does not decode gives the defaults, as it does for the
    // desktop program. Reads only: nothing is written.
    static std::optional<CleanConfiguration> resolve(
        const std::optional<std::filesystem::path>& settingsFile,
        const std::optional<std::filesystem::path>& storedDirectory, const Overrides& overrides,
        std::string* error = nullptr);
    // The same with the user's settings folder.
    static std::optional<CleanConfiguration> resolve(const std::optional<std::filesystem::path>& settingsFile,
                                                     const Overrides& overrides,
                                                     std::string* error = nullptr);

    // The whole settings document the same way: `settingsFile`, else the
    // stored document, else the defaults. `source` says which.
    static std::optional<SettingsData> resolveSettings(
        const std::optional<std::filesystem::path>& settingsFile,
        const std::optional<std::filesystem::path>& storedDirectory, Source* source = nullptr,
        std::string* error = nullptr);

    bool operator==(const CleanConfiguration&) const = default;
};

}  // namespace dz
