#include <gtest/gtest.h>

#include "app/settings/SettingsData.h"
#include "tests/app/settings/SettingsFixtures.h"

using namespace dz;
using nlohmann::json;

namespace {

SettingsData decodeFixture(const std::string& name) {
    std::string error;
    std::optional<SettingsData> data = SettingsData::decode(test::settingsFixture(name), &error);
    if (!data)
        ADD_FAILURE() << name << ": " << error;
    return data.value_or(SettingsData());
}

}  // namespace

TEST(SettingsDataTest, DefaultRecord) {
    SettingsData d;
    EXPECT_TRUE(d.autoClean);
    EXPECT_EQ(d.defaultFormat, OutputFormat::plain);
    EXPECT_EQ(d.menuBarIcon, MenuBarIcon::hammer);
    EXPECT_FALSE(d.detectPDFInBrowsers);
    EXPECT_FALSE(d.scriptEnabled);
    ASSERT_EQ(d.rules.size(), 5u);
    EXPECT_EQ(d.rules[0].bundleID, "com.microsoft.Excel");
    EXPECT_EQ(d.rules[1].name, "Numbers");
    EXPECT_EQ(d.rules[2].kind, RuleKind::website);
    EXPECT_EQ(d.rules[2].website, "docs.google.com/spreadsheets");
    EXPECT_EQ(d.rules[3].bundleID, "libreoffice-calc");
    EXPECT_EQ(d.rules[3].name, "LibreOffice Calc");
    EXPECT_EQ(d.rules[4].bundleID, "org.gnome.Gnumeric");
    EXPECT_EQ(d.rules[4].name, "Gnumeric");
    for (const AppRule& rule : d.rules) {
        EXPECT_EQ(rule.direction, RuleDirection::source);
        EXPECT_EQ(rule.format, RuleFormat::original);
        EXPECT_TRUE(rule.enabled);
    }
    // Every default record of a run carries the same identifiers.
    EXPECT_EQ(SettingsData(), d);
    EXPECT_EQ(d.shortcut(ShortcutAction::pasteOriginal), (KeyCombo{9, 0x1800, "\u2303\u2325V"}));
    EXPECT_EQ(d.shortcut(ShortcutAction::pasteMarkdown), (KeyCombo{46, 0x1800, "\u2303\u2325M"}));
    EXPECT_EQ(d.shortcuts.size(), 2u);
    EXPECT_EQ(d.script, JavaScriptTransformer::templateScript());
}

TEST(SettingsDataTest, RuleSummaries) {
    SettingsData d;
    EXPECT_FALSE(d.hasDestinationRules());
    EXPECT_TRUE(d.hasWebsiteRules(RuleDirection::source));
    EXPECT_FALSE(d.hasWebsiteRules(RuleDirection::destination));
    d.rules[2].enabled = false;
    EXPECT_FALSE(d.hasWebsiteRules(RuleDirection::source));
    AppRule paste = AppRule::forApp(RuleDirection::destination, "md.obsidian", "Obsidian");
    paste.enabled = false;
    d.rules.push_back(paste);
    EXPECT_FALSE(d.hasDestinationRules());
    EXPECT_EQ(d.rulesFor(RuleDirection::destination).size(), 1u);
    EXPECT_EQ(d.rulesFor(RuleDirection::source).size(), 5u);
    d.rules.back().enabled = true;
    EXPECT_TRUE(d.hasDestinationRules());
}

TEST(SettingsDataTest, EncodesAllKeysInDeclarationOrder) {
    SettingsData d;
    json encoded = json::parse(d.encode().value());
    std::vector<std::string> keys;
    nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(d.encode().value());
    for (const auto& [key, value] : ordered.items()) keys.push_back(key);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"autoClean", "defaultFormat", "showMenuBarIcon", "menuBarIcon",
                                        "cleaning", "markdown", "pdf", "autoDetectPDF", "detectPDFInBrowsers",
                                        "rules", "shortcuts", "scriptEnabled", "script", "tapKey"}));
    EXPECT_EQ(encoded["defaultFormat"], "plain");
    EXPECT_EQ(encoded["cleaning"]["listBullet"], "\u2022");
    EXPECT_EQ(encoded["shortcuts"]["pasteOriginal"]["carbonModifiers"], 6144);
    // The stored form is compact.
    EXPECT_EQ(d.encode()->find('\n'), std::string::npos);
}

TEST(SettingsDataTest, ExportIsIndentedWithSortedKeysAtEveryLevel) {
    std::string exported = decodeFixture("full.json").exportJSON().value();
    EXPECT_NE(exported.find("\n  \"autoClean\": false"), std::string::npos);
    // Sorted at the top, inside records and inside rules.
    EXPECT_LT(exported.find("\"autoClean\""), exported.find("\"autoDetectPDF\""));
    EXPECT_LT(exported.find("\"autoDetectPDF\""), exported.find("\"cleaning\""));
    EXPECT_LT(exported.find("\"scriptEnabled\""), exported.find("\"shortcuts\""));
    EXPECT_LT(exported.find("\"listBullet\""), exported.find("\"normalizeLists\""));
    EXPECT_LT(exported.find("\"bundleID\""), exported.find("\"direction\""));
    EXPECT_LT(exported.find("\"carbonModifiers\""), exported.find("\"display\""));
    EXPECT_EQ(SettingsData::decode(exported), decodeFixture("full.json"));
}

TEST(SettingsDataTest, EmptyObjectIsTheDefaultRecord) {
    EXPECT_EQ(decodeFixture("empty-object.json"), SettingsData());
    // Explicit nulls count as absent.
    EXPECT_EQ(
        SettingsData::decode(R"({"autoClean": null, "rules": null, "shortcuts": null, "script": null})"),
        SettingsData());
}

TEST(SettingsDataTest, FullDocument) {
    SettingsData d = decodeFixture("full.json");
    EXPECT_FALSE(d.autoClean);
    EXPECT_EQ(d.defaultFormat, OutputFormat::plainWithLinks);
    EXPECT_FALSE(d.showMenuBarIcon);
    EXPECT_EQ(d.menuBarIcon, MenuBarIcon::sparkles);
    EXPECT_EQ(d.cleaning.listBullet, ListBullet::asterisk);
    EXPECT_FALSE(d.cleaning.unwrapRedirectLinks);
    EXPECT_EQ(d.markdown.bullet, MarkdownBullet::plus);
    EXPECT_FALSE(d.pdf.dehyphenate);
    EXPECT_FALSE(d.autoDetectPDF);
    EXPECT_TRUE(d.detectPDFInBrowsers);
    ASSERT_EQ(d.rules.size(), 2u);
    EXPECT_EQ(d.rules[1].id.string(), "6F1F6A52-0F6B-4D38-9A3C-1B7E2C9D4E5F");
    EXPECT_EQ(d.rules[1].format, RuleFormat::useDefault);
    EXPECT_TRUE(d.rules[1].fixPDF);
    EXPECT_FALSE(d.rules[1].enabled);
    // A present shortcuts object replaces the defaults as a whole.
    ASSERT_EQ(d.shortcuts.size(), 1u);
    EXPECT_EQ(d.shortcut(ShortcutAction::cycleFormat)->display, "\u2303\u2325\u21E7\u2318C");
    EXPECT_FALSE(d.shortcut(ShortcutAction::pasteOriginal));
    EXPECT_TRUE(d.scriptEnabled);
    EXPECT_NE(d.script.find("toUpperCase"), std::string::npos);
    // And it survives the round trip.
    EXPECT_EQ(SettingsData::decode(d.encode().value()), d);
}

TEST(SettingsDataTest, LegacyPreserveLinks) {
    EXPECT_EQ(decodeFixture("legacy-preserve-links.json").defaultFormat, OutputFormat::plainWithLinks);
    EXPECT_EQ(decodeFixture("legacy-preserve-links-with-default-format.json").defaultFormat,
              OutputFormat::plain);
    SettingsData off = decodeFixture("legacy-preserve-links-false.json");
    EXPECT_EQ(off.defaultFormat, OutputFormat::plain);
    EXPECT_FALSE(off.autoClean);
    // Legacy keys are never written back.
    EXPECT_EQ(off.encode()->find("preserveLinks"), std::string::npos);
}

TEST(SettingsDataTest, LegacyExcludedAppsBecomeKeepOriginalRules) {
    SettingsData d = decodeFixture("legacy-excluded-apps.json");
    ASSERT_EQ(d.rules.size(), 2u);
    EXPECT_EQ(d.rules[0].bundleID, "com.microsoft.Word");
    EXPECT_EQ(d.rules[0].name, "Microsoft Word");
    EXPECT_EQ(d.rules[1].name, "Slack");
    for (const AppRule& rule : d.rules) {
        EXPECT_EQ(rule.direction, RuleDirection::source);
        EXPECT_EQ(rule.kind, RuleKind::app);
        EXPECT_EQ(rule.format, RuleFormat::original);
        EXPECT_TRUE(rule.website.empty());
        EXPECT_FALSE(rule.fixPDF);
        EXPECT_TRUE(rule.enabled);
    }
    EXPECT_NE(d.rules[0].id, d.rules[1].id);
    EXPECT_EQ(d.shortcuts, SettingsData::defaultShortcuts());

    // A rules key wins; an empty list means no rules, not the defaults.
    SettingsData withRules = decodeFixture("legacy-excluded-apps-with-rules.json");
    ASSERT_EQ(withRules.rules.size(), 1u);
    EXPECT_EQ(withRules.rules[0].website, "notion.so");
    EXPECT_TRUE(decodeFixture("legacy-excluded-apps-empty.json").rules.empty());
}

TEST(SettingsDataTest, OriginalDefaultFormatReadsAsPlain) {
    SettingsData d = decodeFixture("default-format-original.json");
    EXPECT_EQ(d.defaultFormat, OutputFormat::plain);
    EXPECT_FALSE(d.autoClean);
}

TEST(SettingsDataTest, UndecodableIconKeepsTheDefaultAndEverythingElse) {
    SettingsData unknown = decodeFixture("unknown-icon.json");
    EXPECT_EQ(unknown.menuBarIcon, MenuBarIcon::hammer);
    EXPECT_FALSE(unknown.autoClean);
    EXPECT_EQ(unknown.defaultFormat, OutputFormat::markdown);
    SettingsData wrongType = decodeFixture("icon-wrong-type.json");
    EXPECT_EQ(wrongType.menuBarIcon, MenuBarIcon::hammer);
    EXPECT_FALSE(wrongType.showMenuBarIcon);
    EXPECT_EQ(decodeFixture("icon-wand.json").menuBarIcon, MenuBarIcon::wand);
}

TEST(SettingsDataTest, TapKeyReadsAsAltUnlessTheDocumentNamesAKnownKey) {
    EXPECT_EQ(SettingsData().tapKey, TapKey::alt);
    EXPECT_EQ(decodeFixture("empty-object.json").tapKey, TapKey::alt) << "documents from before the key";
    SettingsData right = decodeFixture("tap-key-right-control.json");
    EXPECT_EQ(right.tapKey, TapKey::rightControl);
    EXPECT_FALSE(right.autoClean);
    SettingsData unknown = decodeFixture("tap-key-unknown.json");
    EXPECT_EQ(unknown.tapKey, TapKey::alt);
    EXPECT_EQ(unknown.defaultFormat, OutputFormat::markdown) << "the rest of the document still counts";
    SettingsData wrongType = decodeFixture("tap-key-wrong-type.json");
    EXPECT_EQ(wrongType.tapKey, TapKey::alt);
    EXPECT_FALSE(wrongType.showMenuBarIcon);
    for (TapKey key : tapkey::allCases) {
        SettingsData d;
        d.tapKey = key;
        EXPECT_EQ(SettingsData::decode(d.exportJSON().value())->tapKey, key) << tapkey::rawValue(key);
    }
}

TEST(SettingsDataTest, UnknownKeysAreIgnoredAndUnknownShortcutsKept) {
    SettingsData d = decodeFixture("unknown-keys.json");
    EXPECT_FALSE(d.autoClean);
    EXPECT_FALSE(d.cleaning.normalizeQuotes);
    EXPECT_EQ(d.shortcuts.size(), 2u);
    EXPECT_EQ(d.shortcuts.at("futureAction").display, "\u2318S");
    EXPECT_FALSE(d.shortcut(ShortcutAction::pasteOriginal));
    EXPECT_EQ(SettingsData::decode(d.encode().value()), d);
}

TEST(SettingsDataTest, WrongTypesFailTheWholeDocument) {
    const std::pair<const char*, const char*> cases[] = {
        {"bad-auto-clean-string.json", "autoClean"},
        {"bad-default-format-unknown.json", "defaultFormat"},
        {"bad-cleaning-list-bullet.json", "listBullet"},
        {"bad-pdf-wrong-type.json", "dehyphenate"},
        {"bad-markdown-not-an-object.json", "markdown"},
        {"bad-script-number.json", "script"},
        {"bad-rules-not-a-list.json", "rules"},
        {"bad-rule-without-fix-pdf.json", "fixPDF"},
        {"bad-rule-format-use-default.json", "useDefault"},
        {"bad-shortcut-without-display.json", "display"},
        {"bad-shortcut-negative-key-code.json", "keyCode"},
        {"bad-legacy-preserve-links-string.json", "preserveLinks"},
        {"bad-legacy-excluded-app-without-name.json", "excludedApps"},
        {"bad-legacy-excluded-apps-not-a-list.json", "excludedApps"},
        {"bad-not-an-object.json", "JSON object"},
        {"bad-truncated.json", "not JSON"},
        {"bad-utf16.json", "not JSON"},
    };
    for (const auto& [file, mention] : cases) {
        std::string error;
        EXPECT_FALSE(SettingsData::decode(test::settingsFixture(file), &error)) << file;
        EXPECT_NE(error.find(mention), std::string::npos) << file << ": " << error;
    }
}

TEST(SettingsDataTest, RefusesOversizedDocuments) {
    std::string huge(SettingsData::maxDocumentSize + 1, ' ');
    huge.front() = '{';
    huge.back() = '}';
    std::string error;
    EXPECT_FALSE(SettingsData::decode(huge, &error));
    EXPECT_NE(error.find("larger"), std::string::npos);
}

TEST(SettingsDataTest, TextThatIsNotUTF8DoesNotBlockSaving) {
    SettingsData d;
    d.rules[0].name = "Excel \xC3";
    std::optional<std::string> stored = d.encode();
    ASSERT_TRUE(stored);
    auto decoded = SettingsData::decode(*stored);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rules[0].name, "Excel \uFFFD");
    EXPECT_EQ(decoded->rules[1], d.rules[1]);
    EXPECT_TRUE(d.exportJSON());
}
