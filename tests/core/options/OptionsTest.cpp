#include <gtest/gtest.h>

#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"
#include "core/options/OutputFormat.h"
#include "core/options/PDFOptions.h"

using namespace dz;
using nlohmann::json;

TEST(OutputFormatTest, RawValuesAndCycling) {
    EXPECT_EQ(outputformat::fromRaw("links"), OutputFormat::plainWithLinks);
    EXPECT_EQ(outputformat::fromRaw("plainWithLinks"), std::nullopt);
    EXPECT_EQ(outputformat::fromRaw("Plain"), std::nullopt);
    for (OutputFormat f : outputformat::allCases)
        EXPECT_EQ(outputformat::fromRaw(outputformat::rawValue(f)), f);
    EXPECT_EQ(outputformat::next(OutputFormat::plain), OutputFormat::plainWithLinks);
    EXPECT_EQ(outputformat::next(OutputFormat::plainWithLinks), OutputFormat::markdown);
    EXPECT_EQ(outputformat::next(OutputFormat::markdown), OutputFormat::plain);
    EXPECT_EQ(outputformat::next(OutputFormat::original), OutputFormat::plain);
    EXPECT_EQ(outputformat::title(OutputFormat::plainWithLinks), "Plain Text with Links");
}

TEST(OptionsJSONTest, EmptyObjectAndNullsGiveDefaults) {
    EXPECT_EQ(CleaningOptions::fromJSON(json::object()), CleaningOptions::defaultValue());
    EXPECT_EQ(MarkdownOptions::fromJSON(json::object()), MarkdownOptions::defaultValue());
    EXPECT_EQ(PDFOptions::fromJSON(json::object()), PDFOptions::defaultValue());
    EXPECT_EQ(CleaningOptions::fromJSON(json{{"normalizeQuotes", nullptr}, {"unknown", 3}}),
              CleaningOptions::defaultValue());
}

TEST(OptionsJSONTest, ListBulletDecodesByCharacter) {
    auto dash = CleaningOptions::fromJSON(json{{"listBullet", "-"}});
    ASSERT_TRUE(dash);
    CleaningOptions expected;
    expected.listBullet = ListBullet::dash;
    EXPECT_EQ(*dash, expected);
    EXPECT_EQ(CleaningOptions::fromJSON(json{{"listBullet", "\u2022"}})->listBullet, ListBullet::bullet);

    std::string error;
    EXPECT_EQ(CleaningOptions::fromJSON(json{{"listBullet", "bullet"}}, &error), std::nullopt);
    EXPECT_NE(error.find("listBullet"), std::string::npos);
}

TEST(OptionsJSONTest, WrongTypesAreErrorsNamingTheKey) {
    std::string error;
    EXPECT_EQ(CleaningOptions::fromJSON(json{{"trimWhitespace", "yes"}}, &error), std::nullopt);
    EXPECT_NE(error.find("trimWhitespace"), std::string::npos);
    EXPECT_EQ(PDFOptions::fromJSON(json{{"dehyphenate", 1}}, &error), std::nullopt);
    EXPECT_NE(error.find("dehyphenate"), std::string::npos);
    EXPECT_EQ(MarkdownOptions::fromJSON(json{{"bullet", 1}}, &error), std::nullopt);
    EXPECT_EQ(MarkdownOptions::fromJSON(json::array(), &error), std::nullopt);
}

TEST(OptionsJSONTest, MarkdownPartialObject) {
    auto decoded = MarkdownOptions::fromJSON(json{{"emphasis", "underscores"}, {"convertTables", false}});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->bullet, MarkdownBullet::dash);
    EXPECT_EQ(decoded->emphasis, MarkdownEmphasis::underscores);
    EXPECT_FALSE(decoded->convertTables);
    EXPECT_TRUE(decoded->includeImages);
}

TEST(OptionsJSONTest, EncodingWritesEveryFieldInOrderAndRoundTrips) {
    CleaningOptions options;
    options.listBullet = ListBullet::asterisk;
    options.removeMailtoPrefix = false;
    EXPECT_EQ(
        options.toJSON().dump(),
        R"({"removeInvisibleCharacters":true,"normalizeSpaces":true,"removeFootnoteReferences":true,)"
        R"("removeMailtoPrefix":false,"normalizeQuotes":true,"normalizeNewlines":true,"normalizeLists":true,)"
        R"("listBullet":"*","trimWhitespace":true,"removeTrackingParameters":true,"unwrapRedirectLinks":true})");
    EXPECT_EQ(CleaningOptions::fromJSON(json::parse(options.toJSON().dump())), options);
    EXPECT_EQ(CleaningOptions::fromJSON(json::parse(CleaningOptions::defaultValue().toJSON().dump())),
              CleaningOptions::defaultValue());

    MarkdownOptions md;
    md.bullet = MarkdownBullet::plus;
    EXPECT_EQ(md.toJSON().dump(),
              R"({"bullet":"+","emphasis":"asterisks","convertTables":true,"includeImages":true})");
    EXPECT_EQ(MarkdownOptions::fromJSON(json::parse(md.toJSON().dump())), md);
    EXPECT_EQ(PDFOptions{}.toJSON().dump(),
              R"({"fixLigatures":true,"dehyphenate":true,"removePageNumbers":true})");
}
