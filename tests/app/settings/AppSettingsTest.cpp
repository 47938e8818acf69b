#include <filesystem>

#include <gtest/gtest.h>

#include "app/settings/AppSettings.h"
#include "app/settings/FileSettingsStorage.h"
#include "app/settings/MemorySettingsStorage.h"
#include "tests/app/settings/SettingsFixtures.h"

using namespace dz;
using nlohmann::json;

namespace {

const std::string key(AppSettings::storageKey);
const std::string unreadable(AppSettings::unreadableKey);

}  // namespace

TEST(AppSettingsTest, FirstLaunchUsesDefaultsAndWritesNothing) {
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    EXPECT_TRUE(settings.isFirstLaunch());
    EXPECT_EQ(settings.data(), SettingsData());
    EXPECT_EQ(storage.writeCount, 0);
    ASSERT_TRUE(settings.save());
    EXPECT_FALSE(settings.isFirstLaunch());
    EXPECT_EQ(SettingsData::decode(storage.blobs.at(key)), SettingsData());
}

TEST(AppSettingsTest, SaveAndLoadRoundTrip) {
    MemorySettingsStorage storage;
    SettingsData changed = *SettingsData::decode(test::settingsFixture("full.json"));
    {
        AppSettings settings(storage);
        settings.setData(changed);
    }
    AppSettings reloaded(storage);
    EXPECT_FALSE(reloaded.isFirstLaunch());
    EXPECT_EQ(reloaded.data(), changed);
}

TEST(AppSettingsTest, RoundTripThroughTheSettingsFile) {
    std::string dir = (std::filesystem::temp_directory_path() / "dz-appsettings-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(dir.data()));
    FileSettingsStorage storage(std::filesystem::path(dir) / "dozuzavuvu");
    SettingsData changed;
    changed.defaultFormat = OutputFormat::markdown;
    changed.rules.push_back(*AppRule::forWebsite(RuleDirection::destination, "notion.so"));
    {
        AppSettings settings(storage);
        settings.setData(changed);
    }
    EXPECT_EQ(AppSettings(storage).data(), changed);
    std::filesystem::remove_all(dir);
}

TEST(AppSettingsTest, AssignmentPublishesAlwaysAndSavesOnlyChanges) {
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    std::vector<SettingsData> seen;
    auto subscription = settings.subscribe([&](const SettingsData& d) { seen.push_back(d); });
    ASSERT_EQ(seen.size(), 1u);

    settings.setData(SettingsData());
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(storage.writeCount, 0);

    SettingsData changed = settings.data();
    changed.autoClean = false;
    settings.setData(changed);
    EXPECT_EQ(seen.size(), 3u);
    EXPECT_FALSE(seen.back().autoClean);
    EXPECT_EQ(storage.writeCount, 1);
    EXPECT_EQ(json::parse(storage.blobs.at(key))["autoClean"], false);
}

TEST(AppSettingsTest, UndecodableStoredDocumentIsKeptAside) {
    MemorySettingsStorage storage;
    const std::string handEdited = "{\"autoClean\": \"no\", \"note\": \"edited by hand\"}";
    storage.blobs[key] = handEdited;
    storage.blobs[unreadable] = "an older copy";
    AppSettings settings(storage);
    EXPECT_EQ(settings.data(), SettingsData());
    EXPECT_FALSE(settings.isFirstLaunch());
    // Copied aside at once under a name of its own, before any save; the older
    // copy stays.
    EXPECT_EQ(storage.blobs.at(unreadable), "an older copy");
    EXPECT_EQ(storage.blobs.at(unreadable + ".2"), handEdited);
    EXPECT_EQ(storage.blobs.at(key), handEdited);

    SettingsData changed = settings.data();
    changed.defaultFormat = OutputFormat::markdown;
    settings.setData(changed);
    EXPECT_EQ(storage.blobs.at(unreadable + ".2"), handEdited);
    EXPECT_FALSE(storage.blobs.contains(unreadable + ".3"));
    EXPECT_EQ(SettingsData::decode(storage.blobs.at(key))->defaultFormat, OutputFormat::markdown);
}

TEST(AppSettingsTest, NoSaveUntilTheUndecodableDocumentIsSafe) {
    MemorySettingsStorage storage;
    storage.blobs[key] = "not json";
    storage.failWrites = true;
    AppSettings settings(storage);
    EXPECT_FALSE(storage.blobs.contains(unreadable));

    // Writes work again: the next save copies the document aside first.
    storage.failWrites = false;
    std::string error;
    ASSERT_TRUE(settings.save(&error)) << error;
    EXPECT_EQ(storage.blobs.at(unreadable), "not json");
    EXPECT_EQ(storage.blobs.at(key), settings.data().encode());
}

TEST(AppSettingsTest, FailedCopyAsideBlocksOverwriting) {
    MemorySettingsStorage storage;
    storage.blobs[key] = "[1, 2";
    storage.failWrites = true;
    AppSettings settings(storage);
    std::string error;
    EXPECT_FALSE(settings.save(&error));
    EXPECT_NE(error.find("could not be kept"), std::string::npos);
    EXPECT_EQ(storage.blobs.at(key), "[1, 2");
}

TEST(AppSettingsTest, UnreadableStorageIsNeverOverwritten) {
    MemorySettingsStorage storage;
    storage.blobs[key] = "{}";
    storage.failReads = true;
    AppSettings settings(storage);
    EXPECT_EQ(settings.data(), SettingsData());
    SettingsData changed;
    changed.autoClean = false;
    settings.setData(changed);
    EXPECT_EQ(settings.data(), changed);
    EXPECT_EQ(storage.writeCount, 0);
    EXPECT_EQ(storage.blobs.at(key), "{}");
}

TEST(AppSettingsTest, ImportReplacesAllOrNothing) {
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    std::string error;
    EXPECT_FALSE(
        settings.importJSON(R"({"autoClean": false, "cleaning": {"trimWhitespace": "no"}})", &error));
    EXPECT_NE(error.find("trimWhitespace"), std::string::npos);
    EXPECT_EQ(settings.data(), SettingsData());
    EXPECT_EQ(storage.writeCount, 0);

    ASSERT_TRUE(settings.importJSON(test::settingsFixture("legacy-excluded-apps.json"), &error)) << error;
    EXPECT_EQ(settings.data().rules.size(), 2u);
    EXPECT_EQ(storage.writeCount, 1);

    settings.resetToDefaults();
    EXPECT_EQ(settings.data(), SettingsData());
    EXPECT_EQ(storage.writeCount, 2);
}

TEST(AppSettingsTest, ExportUsesTheSortedIndentedForm) {
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    std::string exported = settings.exportJSON().value();
    EXPECT_TRUE(exported.starts_with("{\n  \"autoClean\": true,\n  \"autoDetectPDF\": true,"));
    EXPECT_EQ(SettingsData::decode(exported), settings.data());
}

TEST(AppSettingsTest, RuleLookupsAddAndRemove) {
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    EXPECT_EQ(settings.ruleForApp(RuleDirection::source, "com.microsoft.Excel")->name, "Microsoft Excel");
    EXPECT_FALSE(settings.ruleForApp(RuleDirection::destination, "com.microsoft.Excel"));
    EXPECT_FALSE(settings.ruleForApp(RuleDirection::source, "com.microsoft.excel"));
    auto sheets = settings.ruleForWebsite(RuleDirection::source, "https://www.Docs.Google.com/spreadsheets/");
    ASSERT_TRUE(sheets);

    // A pattern that normalises to an existing one adds nothing.
    AppRule duplicate;
    duplicate.kind = RuleKind::website;
    duplicate.website = "HTTPS://docs.google.com/spreadsheets?x=1";
    EXPECT_EQ(settings.addRule(duplicate), sheets->id);
    EXPECT_EQ(settings.addRule(AppRule::forApp(RuleDirection::source, "com.apple.iWork.Numbers", "N")),
              settings.data().rules[1].id);
    EXPECT_EQ(storage.writeCount, 0);

    AppRule paste = AppRule::forApp(RuleDirection::destination, "com.microsoft.Excel", "Excel");
    EXPECT_EQ(settings.addRule(paste), paste.id);
    ASSERT_EQ(settings.data().rules.size(), 6u);
    EXPECT_EQ(settings.data().rules.back(), paste);
    EXPECT_EQ(storage.writeCount, 1);

    settings.removeRules({settings.data().rules[0].id, paste.id, UUID::random()});
    ASSERT_EQ(settings.data().rules.size(), 4u);
    EXPECT_EQ(settings.data().rules[0].name, "Numbers");
    EXPECT_EQ(storage.writeCount, 2);
    settings.removeRules({UUID::random()});
    EXPECT_EQ(storage.writeCount, 2);
}
