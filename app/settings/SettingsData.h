#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/input/KeyCombo.h"
#include "app/input/ShortcutAction.h"
#include "app/input/TapKey.h"
#include "app/rules/AppRule.h"
#include "app/settings/MenuBarIcon.h"
#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"
#include "core/options/OutputFormat.h"
#include "core/options/PDFOptions.h"
#include "core/script/JavaScriptTransformer.h"

namespace dz {

// Every user setting, as one value. Its JSON form is both the stored document
// and the exported settings file.
struct SettingsData {
    using Shortcuts = std::map<std::string, KeyCombo, std::less<>>;  // by ShortcutAction raw value

    bool autoClean = true;
    OutputFormat defaultFormat = OutputFormat::plain;  // never `original` once decoded
    bool showMenuBarIcon = true;
    MenuBarIcon menuBarIcon = MenuBarIcon::hammer;
    CleaningOptions cleaning;
    MarkdownOptions markdown;
    PDFOptions pdf;
    bool autoDetectPDF = true;
    bool detectPDFInBrowsers = false;
    std::vector<AppRule> rules = defaultRules();
    Shortcuts shortcuts = defaultShortcuts();
    bool scriptEnabled = false;
    std::string script = JavaScriptTransformer::templateScript();
    // Beyond the document's original keys: the key whose lone tap keeps the
    // next copy's formatting. Documents without it mean Alt.
    TapKey tapKey = TapKey::alt;

    // Spreadsheet editors keep their formatting. Built once per run, so every
    // default record of a run carries the same identifiers.
    static const std::vector<AppRule>& defaultRules();
    static const Shortcuts& defaultShortcuts();

    // The rules of one direction in stored order, enabled or not.
    std::vector<AppRule> rulesFor(RuleDirection direction) const;
    // Whether pastes need watching: some enabled destination rule exists.
    bool hasDestinationRules() const;
    // Whether copies or pastes need the browser's page address.
    bool hasWebsiteRules(RuleDirection direction) const;
    std::optional<KeyCombo> shortcut(ShortcutAction action) const;

    // All fourteen keys in declaration order.
    nlohmann::ordered_json toJSON() const;
    // Tolerant of missing keys, strict about types; migrates the older
    // layout. `error` names what is wrong.
    static std::optional<SettingsData> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    // The compact stored form. Bytes that are not UTF-8 (which only a faulty
    // desktop lookup could put into a name) are written as U+FFFD rather than
    // making every later save fail.
    std::optional<std::string> encode(std::string* error = nullptr) const;
    // Indented, keys sorted at every level: the exported settings file.
    std::optional<std::string> exportJSON(std::string* error = nullptr) const;
    // Parses and decodes a document; refuses anything over `maxDocumentSize`.
    static std::optional<SettingsData> decode(std::string_view bytes, std::string* error = nullptr);

    static constexpr size_t maxDocumentSize = 32u << 20;

    bool operator==(const SettingsData&) const = default;
};

}  // namespace dz
