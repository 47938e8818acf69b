#include "app/settings/SettingsData.h"

#include "core/options/JSONFields.h"

namespace dz {

namespace {

bool fail(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
    return false;
}

// A nested decoder's message, prefixed with where it happened.
std::string within(const std::string& where, const std::string& error) {
    return where + ": " + error;
}

const nlohmann::json* presentValue(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return nullptr;
    return &*it;
}

template <typename Record>
bool readRecord(const nlohmann::json& object, const char* key, Record& out, std::string* error) {
    const nlohmann::json* value = presentValue(object, key);
    if (!value)
        return true;
    std::string inner;
    std::optional<Record> record = Record::fromJSON(*value, &inner);
    if (!record)
        return fail(error, within(std::string("\"") + key + "\"", inner));
    out = *record;
    return true;
}

bool readString(const nlohmann::json& object, const char* key, std::string& out, std::string* error) {
    const nlohmann::json* value = presentValue(object, key);
    if (!value)
        return true;
    if (!value->is_string())
        return fail(error, std::string("\"") + key + "\" must be a string");
    out = value->get<std::string>();
    return true;
}

bool readRules(const nlohmann::json& value, const char* key, std::vector<AppRule>& out, std::string* error) {
    if (!value.is_array())
        return fail(error, std::string("\"") + key + "\" must be a list");
    std::vector<AppRule> rules;
    rules.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        std::string inner;
        std::optional<AppRule> rule = AppRule::fromJSON(value[i], &inner);
        if (!rule)
            return fail(error, within(std::string("\"") + key + "\" item " + std::to_string(i + 1), inner));
        rules.push_back(std::move(*rule));
    }
    out = std::move(rules);
    return true;
}

bool readShortcuts(const nlohmann::json& value, SettingsData::Shortcuts& out, std::string* error) {
    if (!value.is_object())
        return fail(error, "\"shortcuts\" must be a JSON object");
    SettingsData::Shortcuts shortcuts;
    // Actions this version does not know are kept, so that a newer version's
    // shortcuts survive a round trip through this one.
    for (const auto& [action, comboJSON] : value.items()) {
        std::string inner;
        std::optional<KeyCombo> combo = KeyCombo::fromJSON(comboJSON, &inner);
        if (!combo)
            return fail(error, within("\"shortcuts\" \"" + action + "\"", inner));
        shortcuts.emplace(action, std::move(*combo));
    }
    out = std::move(shortcuts);
    return true;
}

// Older documents listed applications whose copies were left alone.
bool readExcludedApps(const nlohmann::json& value, std::vector<AppRule>& out, std::string* error) {
    if (!value.is_array())
        return fail(error, "\"excludedApps\" must be a list");
    std::vector<AppRule> rules;
    for (size_t i = 0; i < value.size(); ++i) {
        const nlohmann::json& entry = value[i];
        std::string where = "\"excludedApps\" item " + std::to_string(i + 1);
        if (!entry.is_object())
            return fail(error, where + " must be a JSON object");
        auto bundleID = entry.find("bundleID");
        auto name = entry.find("name");
        if (bundleID == entry.end() || !bundleID->is_string() || name == entry.end() || !name->is_string())
            return fail(error, where + " needs the strings \"bundleID\" and \"name\"");
        AppRule rule;
        rule.direction = RuleDirection::source;
        rule.kind = RuleKind::app;
        rule.bundleID = bundleID->get<std::string>();
        rule.name = name->get<std::string>();
        rule.format = RuleFormat::original;
        rules.push_back(std::move(rule));
    }
    out = std::move(rules);
    return true;
}

}  // namespace

const std::vector<AppRule>& SettingsData::defaultRules() {
    static const std::vector<AppRule> rules = [] {
        auto keepOriginal = [](RuleKind kind, std::string bundleID, std::string name, std::string website) {
            AppRule rule;
            rule.direction = RuleDirection::source;
            rule.kind = kind;
            rule.bundleID = std::move(bundleID);
            rule.name = std::move(name);
            rule.website = std::move(website);
            rule.format = RuleFormat::original;
            return rule;
        };
        return std::vector<AppRule>{
            keepOriginal(RuleKind::app, "com.microsoft.Excel", "Microsoft Excel", ""),
            keepOriginal(RuleKind::app, "com.apple.iWork.Numbers", "Numbers", ""),
            keepOriginal(RuleKind::website, "", "",
                         AppRule::normalizedPattern("docs.google.com/spreadsheets")),
            // The spreadsheets of this desktop: plain text would lose cells and formulas.
            keepOriginal(RuleKind::app, "libreoffice-calc", "LibreOffice Calc", ""),
            keepOriginal(RuleKind::app, "org.gnome.Gnumeric", "Gnumeric", ""),
        };
    }();
    return rules;
}

const SettingsData::Shortcuts& SettingsData::defaultShortcuts() {
    static const Shortcuts shortcuts{
        {"pasteOriginal", KeyCombo{9, KeyCombo::control | KeyCombo::option, "\u2303\u2325V"}},
        {"pasteMarkdown", KeyCombo{46, KeyCombo::control | KeyCombo::option, "\u2303\u2325M"}},
    };
    return shortcuts;
}

std::vector<AppRule> SettingsData::rulesFor(RuleDirection direction) const {
    std::vector<AppRule> out;
    for (const AppRule& rule : rules)
        if (rule.direction == direction)
            out.push_back(rule);
    return out;
}

bool SettingsData::hasDestinationRules() const {
    for (const AppRule& rule : rules)
        if (rule.enabled && rule.direction == RuleDirection::destination)
            return true;
    return false;
}

bool SettingsData::hasWebsiteRules(RuleDirection direction) const {
    for (const AppRule& rule : rules)
        if (rule.enabled && rule.direction == direction && rule.kind == RuleKind::website)
            return true;
    return false;
}

std::optional<KeyCombo> SettingsData::shortcut(ShortcutAction action) const {
    auto it = shortcuts.find(shortcutaction::rawValue(action));
    if (it == shortcuts.end())
        return std::nullopt;
    return it->second;
}

nlohmann::ordered_json SettingsData::toJSON() const {
    nlohmann::ordered_json j;
    j["autoClean"] = autoClean;
    j["defaultFormat"] = std::string(outputformat::rawValue(defaultFormat));
    j["showMenuBarIcon"] = showMenuBarIcon;
    j["menuBarIcon"] = std::string(menubaricon::rawValue(menuBarIcon));
    j["cleaning"] = cleaning.toJSON();
    j["markdown"] = markdown.toJSON();
    j["pdf"] = pdf.toJSON();
    j["autoDetectPDF"] = autoDetectPDF;
    j["detectPDFInBrowsers"] = detectPDFInBrowsers;
    nlohmann::ordered_json rulesJSON = nlohmann::ordered_json::array();
    for (const AppRule& rule : rules) rulesJSON.push_back(rule.toJSON());
    j["rules"] = std::move(rulesJSON);
    nlohmann::ordered_json shortcutsJSON = nlohmann::ordered_json::object();
    for (const auto& [action, combo] : shortcuts) shortcutsJSON[action] = combo.toJSON();
    j["shortcuts"] = std::move(shortcutsJSON);
    j["scriptEnabled"] = scriptEnabled;
    j["script"] = script;
    j["tapKey"] = std::string(tapkey::rawValue(tapKey));
    return j;
}

std::optional<SettingsData> SettingsData::fromJSON(const nlohmann::json& json, std::string* error) {
    using namespace jsonfields;
    if (!json.is_object()) {
        fail(error, "the settings document must be a JSON object");
        return std::nullopt;
    }
    SettingsData d;
    bool ok = readBool(json, "autoClean", d.autoClean, error) &&
              readEnum(json, "defaultFormat", d.defaultFormat, outputformat::fromRaw, error) &&
              readBool(json, "showMenuBarIcon", d.showMenuBarIcon, error);
    if (!ok)
        return std::nullopt;
    // An icon this version does not know (a newer one's, or a typo) is no
    // reason to drop the whole document.
    if (const nlohmann::json* icon = presentValue(json, "menuBarIcon"); icon && icon->is_string())
        if (auto value = menubaricon::fromRaw(icon->get<std::string>()))
            d.menuBarIcon = *value;
    ok = readRecord(json, "cleaning", d.cleaning, error) && readRecord(json, "markdown", d.markdown, error) &&
         readRecord(json, "pdf", d.pdf, error) && readBool(json, "autoDetectPDF", d.autoDetectPDF, error) &&
         readBool(json, "detectPDFInBrowsers", d.detectPDFInBrowsers, error);
    if (!ok)
        return std::nullopt;
    const nlohmann::json* rules = presentValue(json, "rules");
    if (rules && !readRules(*rules, "rules", d.rules, error))
        return std::nullopt;
    if (const nlohmann::json* shortcuts = presentValue(json, "shortcuts"))
        if (!readShortcuts(*shortcuts, d.shortcuts, error))
            return std::nullopt;
    if (!readBool(json, "scriptEnabled", d.scriptEnabled, error) ||
        !readString(json, "script", d.script, error))
        return std::nullopt;
    // Like the icon: a key this version does not know keeps the default.
    if (const nlohmann::json* tap = presentValue(json, "tapKey"); tap && tap->is_string())
        if (auto value = tapkey::fromRaw(tap->get<std::string>()))
            d.tapKey = *value;

    // The older layout, only where the document does not use the current one.
    if (!presentValue(json, "defaultFormat")) {
        if (const nlohmann::json* preserveLinks = presentValue(json, "preserveLinks")) {
            if (!preserveLinks->is_boolean()) {
                fail(error, "\"preserveLinks\" must be true or false");
                return std::nullopt;
            }
            if (preserveLinks->get<bool>())
                d.defaultFormat = OutputFormat::plainWithLinks;
        }
    }
    if (!rules)
        if (const nlohmann::json* excluded = presentValue(json, "excludedApps"))
            if (!readExcludedApps(*excluded, d.rules, error))
                return std::nullopt;

    if (d.defaultFormat == OutputFormat::original)
        d.defaultFormat = OutputFormat::plain;
    return d;
}

std::optional<std::string> SettingsData::encode(std::string* error) const {
    try {
        return toJSON().dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const nlohmann::json::exception& e) {
        fail(error, e.what());
        return std::nullopt;
    }
}

std::optional<std::string> SettingsData::exportJSON(std::string* error) const {
    try {
        // The unordered JSON type keeps its keys sorted.
        nlohmann::json sorted = toJSON();
        return sorted.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    } catch (const nlohmann::json::exception& e) {
        fail(error, e.what());
        return std::nullopt;
    }
}

std::optional<SettingsData> SettingsData::decode(std::string_view bytes, std::string* error) {
    if (bytes.size() > maxDocumentSize) {
        fail(error, "the settings document is larger than " + std::to_string(maxDocumentSize >> 20) + " MiB");
        return std::nullopt;
    }
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(bytes);
    } catch (const nlohmann::json::exception& e) {
        // Say where parsing stopped, without the library's prefix.
        std::string what = e.what();
        if (size_t close = what.find("] "); what.starts_with("[json.exception") && close != std::string::npos)
            what.erase(0, close + 2);
        fail(error, "not JSON: " + what);
        return std::nullopt;
    }
    return fromJSON(json, error);
}

}  // namespace dz
