#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownConverter.h"
#include "core/html/HTMLMarkdownRenderer.h"

using dz::CleaningOptions;
using dz::HTMLMarkdownConverter;
using dz::MarkdownOptions;

namespace {

// One case of the fixture files in tests/fixtures/html-markdown (see the
// README there for the format).
struct Case {
    std::string file, name, options, html;
    std::optional<std::string> plain, markdown;
};

std::vector<Case> loadCases(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<Case> cases;
    std::string line, section, text;
    auto close = [&] {
        if (cases.empty() || section.empty())
            return;
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        Case& c = cases.back();
        if (section == "html")
            c.html = text;
        else if (section == "plain")
            c.plain = text;
        else if (section == "markdown")
            c.markdown = text;
        section.clear();
        text.clear();
    };
    while (std::getline(in, line)) {
        if (line.rfind("### ", 0) != 0) {
            text += line + "\n";
            continue;
        }
        close();
        std::string directive = line.substr(4);
        if (directive.rfind("case: ", 0) == 0) {
            cases.push_back(
                {path.filename().string(), directive.substr(6), "", "", std::nullopt, std::nullopt});
        } else if (directive.rfind("options: ", 0) == 0 && !cases.empty()) {
            cases.back().options = directive.substr(9);
        } else if (directive == "markdown: none") {
            // No result expected: leave `markdown` empty.
        } else {
            section = directive;
        }
    }
    close();
    return cases;
}

HTMLMarkdownConverter converterFor(const std::string& optionsJSON) {
    MarkdownOptions markdown = MarkdownOptions::defaultValue();
    CleaningOptions cleaning = CleaningOptions::defaultValue();
    if (!optionsJSON.empty()) {
        auto json = nlohmann::json::parse(optionsJSON);
        if (json.contains("markdown"))
            markdown = MarkdownOptions::fromJSON(json["markdown"]).value();
        if (json.contains("cleaning"))
            cleaning = CleaningOptions::fromJSON(json["cleaning"]).value();
    }
    return HTMLMarkdownConverter(markdown, cleaning);
}

HTMLMarkdownConverter defaultConverter() {
    return HTMLMarkdownConverter(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
}

std::string repeat(std::string_view piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

}  // namespace

TEST(HTMLMarkdownConverterTest, FixtureCases) {
    std::filesystem::path directory = std::filesystem::path(DZ_FIXTURES_DIR) / "html-markdown";
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().extension() != ".case")
            continue;
        for (const Case& c : loadCases(entry.path())) {
            SCOPED_TRACE(c.file + ": " + c.name);
            ++count;
            auto result = converterFor(c.options).convert(c.html, c.plain);
            EXPECT_EQ(result, c.markdown);
        }
    }
    EXPECT_GT(count, 60u);
}

TEST(HTMLMarkdownConverterTest, RefusedInputGivesNothingNotEmptyText) {
    EXPECT_EQ(defaultConverter().convert("<p>\xFF</p>"), std::nullopt);
    EXPECT_EQ(defaultConverter().convert(repeat("<div>", 5000)), std::nullopt);
    EXPECT_EQ(defaultConverter().convert(""), "");
}

TEST(HTMLMarkdownConverterTest, DetectsWordHTML) {
    EXPECT_TRUE(HTMLMarkdownConverter::isWordHTML(
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><p class=MsoNormal>x<o:p></o:p></p>"));
    EXPECT_FALSE(HTMLMarkdownConverter::isWordHTML("<p class=MsoNormal>x</p>"));
}

TEST(HTMLMarkdownConverterTest, FirstElementSearchesDepthFirstBelowTheNode) {
    auto document = dz::HTMLDocument::parse("<div id=a><p><span id=b></span></p><span id=c></span></div>");
    ASSERT_TRUE(document);
    dz::HTMLNode body = document->body();
    EXPECT_EQ(HTMLMarkdownConverter::firstElement("span", body).attribute("id"), "b");
    dz::HTMLNode div = HTMLMarkdownConverter::firstElement("div", body);
    EXPECT_FALSE(HTMLMarkdownConverter::firstElement("div", div));
    EXPECT_FALSE(HTMLMarkdownConverter::firstElement("table", body));
}

TEST(HTMLMarkdownConverterTest, StyleTests) {
    using R = dz::HTMLMarkdownRenderer;
    auto document = dz::HTMLDocument::parse(
        "<b id=1 style='font-weight: lighter'></b><span id=2 style='font-weight:900'></span>"
        "<i id=3 style='FONT-STYLE: NORMAL'></i><span id=4 style='text-decoration: underline "
        "line-through'></span>"
        "<span id=5 style='font-family: \"SF Mono\"; color: red'></span><span id=6 "
        "style='font-family:;'></span>");
    ASSERT_TRUE(document);
    std::vector<dz::HTMLNode> e;
    for (dz::HTMLNode n = document->body().firstChildElement(); n; n = n.nextSiblingElement()) e.push_back(n);
    ASSERT_EQ(e.size(), 6u);
    EXPECT_FALSE(R::isBold(e[0], "b"));
    EXPECT_TRUE(R::isBold(e[1], "span"));
    EXPECT_FALSE(R::isItalic(e[2], "i"));
    EXPECT_TRUE(R::isStrike(e[3], "span"));
    EXPECT_TRUE(R::isMonospaceStyle(e[4]));
    EXPECT_FALSE(R::isMonospaceStyle(e[5]));
}

TEST(HTMLMarkdownConverterTest, FootnoteTestCountsCharacters) {
    CleaningOptions cleaning;
    dz::HTMLMarkdownRenderer renderer(MarkdownOptions::defaultValue(), cleaning);
    auto document = dz::HTMLDocument::parse("<sup>[" + repeat("\u00e9", 22) + "]</sup><sup>[" +
                                            repeat("e", 23) + "]</sup><sup> [1]\u00a0</sup>");
    ASSERT_TRUE(document);
    dz::HTMLNode first = document->body().firstChildElement();
    EXPECT_TRUE(renderer.isFootnote(first));                        // 24 characters, 46 bytes
    EXPECT_FALSE(renderer.isFootnote(first.nextSiblingElement()));  // 25 characters
    EXPECT_TRUE(renderer.isFootnote(first.nextSiblingElement().nextSiblingElement()));
}

TEST(HTMLMarkdownConverterTest, WideColumnSpansAreCapped) {
    auto markdown =
        defaultConverter().convert("<table><tr><td colspan=500>a</td></tr><tr><td>b</td></tr></table>");
    ASSERT_TRUE(markdown);
    std::string header = markdown->substr(0, markdown->find('\n'));
    EXPECT_EQ(std::count(header.begin(), header.end(), '|'), 51);
}

TEST(HTMLMarkdownConverterTest, HugeStartNumbersDoNotOverflow) {
    EXPECT_EQ(defaultConverter().convert("<ol start=9223372036854775807><li>a<li>b</ol>"),
              "9223372036854775807. a\n9223372036854775807. b");
    EXPECT_EQ(defaultConverter().convert("<ol start=9223372036854775808><li>a</ol>"), "1. a");
}

// Hostile input: bounded time, no crash, and nothing lost that was accepted.

TEST(HTMLMarkdownConverterTest, HostileNestingIsRefusedQuickly) {
    for (auto [open, close] : {std::pair{"<div>", "</div>"},
                               {"<ul><li>", "</li></ul>"},
                               {"<b>", "</b>"},
                               {"<table><tr><td>", "</td></tr></table>"}}) {
        auto start = std::chrono::steady_clock::now();
        auto result = defaultConverter().convert(repeat(open, 200000) + "x" + repeat(close, 200000));
        EXPECT_EQ(result, std::nullopt) << open;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << open;
    }
}

TEST(HTMLMarkdownConverterTest, DeepButAcceptedNestingKeepsItsText) {
    EXPECT_EQ(defaultConverter().convert(repeat("<div>", 900) + "deep text" + repeat("</div>", 900)),
              "deep text");
    // Inline nesting and nested list items walk as deep without the C++ stack.
    EXPECT_EQ(defaultConverter().convert(repeat("<span>", 900) + "x" + repeat("</span>", 900)), "x");
    auto lists = defaultConverter().convert(repeat("<ul><li>i", 450) + repeat("</li></ul>", 450));
    ASSERT_TRUE(lists);
    EXPECT_EQ(std::count(lists->begin(), lists->end(), '\n'), 449);
    auto tables =
        defaultConverter().convert(repeat("<table><tr><td>t", 300) + repeat("</td></tr></table>", 300));
    ASSERT_TRUE(tables);
    EXPECT_EQ(std::count(tables->begin(), tables->end(), 't'), 300);
}

TEST(HTMLMarkdownConverterTest, LargeFlatInputs) {
    auto items = defaultConverter().convert("<ul>" + repeat("<li>item</li>", 10000) + "</ul>");
    ASSERT_TRUE(items);
    EXPECT_EQ(std::count(items->begin(), items->end(), '\n'), 9999);

    std::string word = "word ";
    auto text = defaultConverter().convert("<p>" + repeat(word, 2 * 1024 * 1024) + "</p>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 2 * 1024 * 1024 * word.size() - 1);

    std::string row = "<tr>" + repeat("<td>c</td>", 100) + "</tr>";
    auto table = defaultConverter().convert("<table>" + repeat(row, 1000) + "</table>");
    ASSERT_TRUE(table);
    EXPECT_EQ(std::count(table->begin(), table->end(), '\n'), 1000);  // 1 000 rows and the separator
}
