// Whole-pipeline cases: a copy's representations, a format and options in,
// the expected rendition out. Cases live in tests/fixtures/pipeline/cases.json.
// A Markdown case may also hold the HTML its Markdown must render to
// ("rendered"), checked with the cmark-gfm renderer when it is installed.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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

std::optional<RenderedClip> render(const json& c) {
    PasteboardCleaner cleaner({}, false, outputformat::fromRaw(c["format"].get<std::string>()));
    if (c.contains("cleaning"))
        cleaner.options = *CleaningOptions::fromJSON(c["cleaning"]);
    if (c.contains("markdown"))
        cleaner.markdown = *MarkdownOptions::fromJSON(c["markdown"]);
    cleaner.reflowPDF = c.value("reflowPDF", false);
    ClipboardSnapshot snapshot(field(c, "text"), field(c, "html"), field(c, "rtf"), field(c, "url"));
    if (auto page = field(c, "sourceURL")) {
        // The address of the page copied from, as a browser adds it.
        std::vector<ClipboardSnapshot::Entry> entries = snapshot.entries();
        entries.push_back({std::string(pasteboardtype::chromiumSourceURL), *page});
        snapshot = ClipboardSnapshot(std::move(entries));
    }
    return cleaner.render(snapshot);
}

bool haveRenderer() {
    return std::system("command -v cmark-gfm >/dev/null 2>&1") == 0;
}

// The HTML cmark-gfm (with tables) renders from `markdown`; nothing when it
// cannot be run.
std::optional<std::string> renderWithCmark(const std::string& markdown) {
    std::string path =
        (std::filesystem::temp_directory_path() / ("dz-pipeline-" + std::to_string(::getpid()) + ".md"))
            .string();
    {
        std::ofstream out(path, std::ios::binary);
        out << markdown;
    }
    std::string command = "cmark-gfm -e table '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        std::filesystem::remove(path);
        return std::nullopt;
    }
    std::string html;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) html.append(buffer, n);
    int status = ::pclose(pipe);
    std::filesystem::remove(path);
    if (status != 0)
        return std::nullopt;
    return html;
}

class RenderedMarkdownTest : public testing::TestWithParam<json> {};

std::vector<json> renderedCases() {
    std::vector<json> out;
    for (json& c : loadCases())
        if (c.contains("expected") && c["expected"].is_object() && c["expected"].contains("rendered"))
            out.push_back(std::move(c));
    return out;
}

std::string caseName(const testing::TestParamInfo<json>& info) {
    std::string name = info.param.value("name", "case");
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

}  // namespace

TEST_P(RenderedMarkdownTest, RendersAsTheCopyLooked) {
    if (!haveRenderer()) {
        if (std::getenv("CI"))
            FAIL() << "cmark-gfm is required in CI (Debian package cmark-gfm)";
        GTEST_SKIP() << "cmark-gfm not installed (Debian package cmark-gfm); rendered Markdown not checked";
    }
    const json& c = GetParam();
    auto clip = render(c);
    ASSERT_TRUE(clip);
    auto html = renderWithCmark(clip->string);
    ASSERT_TRUE(html) << "cmark-gfm failed";
    EXPECT_EQ(*html, c["expected"]["rendered"].get<std::string>()) << "Markdown:\n" << clip->string;
}

INSTANTIATE_TEST_SUITE_P(Cases, RenderedMarkdownTest, testing::ValuesIn(renderedCases()), caseName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RenderedMarkdownTest);

TEST_P(PipelineFixtureTest, RendersAsExpected) {
    const json& c = GetParam();
    ASSERT_TRUE(c.contains("format")) << "fixture file missing or malformed";
    auto clip = render(c);
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

INSTANTIATE_TEST_SUITE_P(Cases, PipelineFixtureTest, testing::ValuesIn(loadCases()), caseName);
