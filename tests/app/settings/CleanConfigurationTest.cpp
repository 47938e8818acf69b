#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/settings/CleanConfiguration.h"

using namespace dz;
namespace fs = std::filesystem;

namespace {

class CleanConfigurationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dz-clean-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& text) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }

    fs::path dir;
};

}  // namespace

TEST_F(CleanConfigurationTest, DefaultsWhenNothingIsStored) {
    auto c = CleanConfiguration::resolve(std::nullopt, dir / "stored", {});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->source, CleanConfiguration::Source::defaults);
    EXPECT_EQ(c->format, OutputFormat::plain);
    EXPECT_EQ(c->cleaning, CleaningOptions::defaultValue());
    EXPECT_FALSE(c->script);  // the template is not enabled
    EXPECT_FALSE(fs::exists(dir / "stored"));
    EXPECT_EQ(CleanConfiguration::resolve(std::nullopt, std::nullopt, {})->source,
              CleanConfiguration::Source::defaults);
}

TEST_F(CleanConfigurationTest, StoredSettingsThenExplicitFileWins) {
    write("stored/settings.v1",
          R"({"defaultFormat": "markdown", "markdown": {"bullet": "*"}, "scriptEnabled": true,
              "script": "function transform(t) { return t; }"})");
    auto stored = CleanConfiguration::resolve(std::nullopt, dir / "stored", {});
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->source, CleanConfiguration::Source::stored);
    EXPECT_EQ(stored->format, OutputFormat::markdown);
    EXPECT_EQ(stored->markdown.bullet, MarkdownBullet::asterisk);
    EXPECT_EQ(stored->script, "function transform(t) { return t; }");

    fs::path file = write("export.json", R"({"defaultFormat": "links", "pdf": {"dehyphenate": false}})");
    auto explicitFile = CleanConfiguration::resolve(file, dir / "stored", {});
    ASSERT_TRUE(explicitFile);
    EXPECT_EQ(explicitFile->source, CleanConfiguration::Source::file);
    EXPECT_EQ(explicitFile->format, OutputFormat::plainWithLinks);
    EXPECT_FALSE(explicitFile->pdf.dehyphenate);
    EXPECT_EQ(explicitFile->markdown, MarkdownOptions::defaultValue());
    EXPECT_FALSE(explicitFile->script);
}

TEST_F(CleanConfigurationTest, ScriptOnlyWhenEnabledAndNotBlank) {
    SettingsData settings;
    settings.script = "function transform(t) { return t + '!'; }";
    EXPECT_FALSE(CleanConfiguration::fromSettings(settings).script);
    settings.scriptEnabled = true;
    EXPECT_EQ(CleanConfiguration::fromSettings(settings).script, settings.script);
    settings.script = " \n\t\u3000";
    EXPECT_FALSE(CleanConfiguration::fromSettings(settings).script);
}

TEST_F(CleanConfigurationTest, OverridesReplaceOnlyTheirPart) {
    write("stored/settings.v1",
          R"({"defaultFormat": "markdown", "cleaning": {"normalizeQuotes": false},
              "markdown": {"emphasis": "underscores"}, "scriptEnabled": true, "script": "a"})");
    CleanConfiguration::Overrides overrides;
    overrides.format = OutputFormat::original;
    PDFOptions pdf;
    pdf.fixLigatures = false;
    overrides.pdf = pdf;
    overrides.script = "b";
    auto c = CleanConfiguration::resolve(std::nullopt, dir / "stored", overrides);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->format, OutputFormat::original);
    EXPECT_FALSE(c->pdf.fixLigatures);
    EXPECT_EQ(c->script, "b");
    EXPECT_FALSE(c->cleaning.normalizeQuotes);
    EXPECT_EQ(c->markdown.emphasis, MarkdownEmphasis::underscores);
}

TEST_F(CleanConfigurationTest, BadExplicitFileIsAnErrorButABadStoredOneGivesDefaults) {
    std::string error;
    EXPECT_FALSE(CleanConfiguration::resolve(dir / "missing.json", std::nullopt, {}, &error));
    EXPECT_NE(error.find("missing.json"), std::string::npos);
    fs::path bad = write("bad.json", R"({"autoClean": 1})");
    EXPECT_FALSE(CleanConfiguration::resolve(bad, std::nullopt, {}, &error));
    EXPECT_NE(error.find("autoClean"), std::string::npos);

    write("stored/settings.v1", "{not json");
    auto c = CleanConfiguration::resolve(std::nullopt, dir / "stored", {}, &error);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->source, CleanConfiguration::Source::defaults);
    // Resolving only reads: nothing is copied aside or rewritten.
    EXPECT_FALSE(fs::exists(dir / "stored" / "settings.v1.unreadable"));
}

TEST_F(CleanConfigurationTest, WholeDocumentForSimulations) {
    fs::path file = write("export.json", R"({"autoDetectPDF": false, "rules": []})");
    CleanConfiguration::Source source = CleanConfiguration::Source::defaults;
    auto settings = CleanConfiguration::resolveSettings(file, dir / "stored", &source);
    ASSERT_TRUE(settings);
    EXPECT_EQ(source, CleanConfiguration::Source::file);
    EXPECT_TRUE(settings->rules.empty());
    EXPECT_FALSE(settings->autoDetectPDF);

    auto defaults = CleanConfiguration::resolveSettings(std::nullopt, dir / "stored", &source);
    EXPECT_EQ(source, CleanConfiguration::Source::defaults);
    EXPECT_EQ(defaults, SettingsData());

    std::string error;
    EXPECT_FALSE(CleanConfiguration::resolveSettings(dir / "missing.json", std::nullopt, &source, &error));
    EXPECT_NE(error.find("missing.json"), std::string::npos);
}
