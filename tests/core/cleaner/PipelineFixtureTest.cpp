// Whole-pipeline cases: a copy's representations, a format and options in,
// the expected rendition out. Cases live in tests/fixtures/pipeline/cases.json.
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "core/cleaner/PasteboardCleaner.h"

using namespace dz;
using nlohmann::json;

namespace {

std::vector<json> loadCases() {
    std::ifstream in(DZ_FIXTURES_DIR "/pipeline/cases.json");
    json doc = json::parse(in, nullptr, false);
    if (!doc.is_array())
        return {json{{"name", "unreadable"}}};
    return doc.get<std::vector<json>>();
}

std::optional<std::string> field(const json& c, const char* key) {
    if (!c.contains(key) || c[key].is_null())
        return std::nullopt;
    return c[key].get<std::string>();
}

class PipelineFixtureTest : public testing::TestWithParam<json> {};

}  // namespace

TEST_P(PipelineFixtureTest, RendersAsExpected) {
    const json& c = GetParam();
    ASSERT_TRUE(c.contains("format")) << "fixture file missing or malformed";
    PasteboardCleaner cleaner({}, false, outputformat::fromRaw(c["format"].get<std::string>()));
    if (c.contains("cleaning"))
        cleaner.options = *CleaningOptions::fromJSON(c["cleaning"]);
    if (c.contains("markdown"))
        cleaner.markdown = *MarkdownOptions::fromJSON(c["markdown"]);
    cleaner.reflowPDF = c.value("reflowPDF", false);
    ClipboardSnapshot snapshot(field(c, "text"), field(c, "html"), field(c, "rtf"), field(c, "url"));
    auto clip = cleaner.render(snapshot);
    if (c["expected"].is_null()) {
        EXPECT_EQ(clip, std::nullopt);
        return;
    }
    ASSERT_TRUE(clip);
    const json& e = c["expected"];
    EXPECT_EQ(clip->string, e["string"].get<std::string>());
    EXPECT_EQ(clip->html, field(e, "html"));
    EXPECT_EQ(clip->url, field(e, "url"));
}

INSTANTIATE_TEST_SUITE_P(Cases, PipelineFixtureTest, testing::ValuesIn(loadCases()),
                         [](const testing::TestParamInfo<json>& info) {
                             std::string name = info.param.value("name", "case");
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });
