#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/richtext/AttributedMarkdownConverter.h"
#include "core/richtext/RTFReader.h"

using namespace dz;

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

const std::string kFonts =
    "{\\fonttbl{\\f0\\fswiss Helvetica;}{\\f1\\fmodern\\fprq1 Courier New;}}"
    "{\\*\\listtable"
    "{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\u8226 "
    "?;}}{\\listlevel\\levelnfc23{\\leveltext\\'01o;}}"
    "\\listid1}"
    "{\\list{\\listlevel\\levelnfc0\\levelstartat5{\\leveltext\\'02\\'00.;}}\\listid2}"
    "{\\list{\\listlevel\\levelnfc4{\\leveltext\\'02\\'00.;}}\\listid3}}"
    "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}{\\listoverride\\listid2\\ls2}"
    "{\\listoverride\\listid3\\ls3}}";

// Body text in 12 points, longer than any heading below, so 12 points dominate.
const std::string kBodyText =
    "This is an ordinary paragraph of body text, long enough to set the dominant size of the whole document "
    "to "
    "twelve points, because it holds more characters than any of the other paragraphs that the tests put "
    "after it.";
const std::string kBody = "\\pard " + kBodyText + "\\par ";

std::string afterBody(const std::string& markdown) {
    std::string prefix = kBodyText + "\n\n";
    EXPECT_EQ(markdown.substr(0, prefix.size()), prefix);
    return markdown.substr(std::min(prefix.size(), markdown.size()));
}

std::string rtf(std::string_view content) {
    return "{\\rtf1\\ansi\\deff0" + kFonts + "\\f0\\fs24 " + std::string(content) + "}";
}

std::string bullet(std::string_view text, int level = 0) {
    return "\\pard\\ls1\\ilvl" + std::to_string(level) + " {\\listtext\\tab \\u8226 ?\\tab}" +
           std::string(text) + "\\par ";
}

std::string numbered(int ls, std::string_view marker, std::string_view text) {
    return "\\pard\\ls" + std::to_string(ls) + " {\\listtext " + std::string(marker) + "\\tab}" +
           std::string(text) + "\\par ";
}

std::string markdown(const std::string& rtfText, MarkdownOptions options = MarkdownOptions::defaultValue(),
                     CleaningOptions cleaning = CleaningOptions::defaultValue()) {
    auto text = RTFReader::read(rtfText);
    EXPECT_TRUE(text.has_value());
    if (!text)
        return "<not RTF>";
    return AttributedMarkdownConverter(options, cleaning).convert(*text);
}

}  // namespace

TEST(AttributedMarkdownConverterTest, WritesTheMarkdownExpectedForLibreOfficeFixtures) {
    std::filesystem::path dir = std::filesystem::path(DZ_FIXTURES_DIR) / "rtf";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".rtf")
            continue;
        std::filesystem::path expected = entry.path();
        expected.replace_extension(".md");
        ASSERT_TRUE(std::filesystem::exists(expected)) << expected;
        std::string want = readFile(expected);
        while (!want.empty() && want.back() == '\n') want.pop_back();
        EXPECT_EQ(markdown(readFile(entry.path())), want) << entry.path().filename();
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

TEST(AttributedMarkdownConverterTest, HeadingLevelsFollowFontSize) {
    EXPECT_EQ(afterBody(markdown(rtf(
                  kBody + "{\\fs48 Big}\\par {\\fs34 Middle}\\par {\\fs28 Small}\\par {\\fs26 Body}\\par"))),
              "# Big\n\n## Middle\n\n### Small\n\nBody");
    std::string longLine(150, 'x');
    EXPECT_EQ(afterBody(markdown(rtf(kBody + "{\\fs48 " + longLine + "}\\par"))), longLine);
    EXPECT_EQ(afterBody(markdown(rtf(kBody + "{\\fs48 " + longLine.substr(1) + "}\\par"))),
              "# " + longLine.substr(1));
}

TEST(AttributedMarkdownConverterTest, WritesEmphasisAndHeadingsWithoutStrongMarkers) {
    std::string doc =
        rtf(kBody + "{\\fs48\\b Bold {\\i title}}\\par Some {\\b bold} and {\\b\\i\\strike all} words.\\par");
    EXPECT_EQ(afterBody(markdown(doc)), "# Bold *title*\n\nSome **bold** and ***~~all~~*** words.");
    MarkdownOptions underscores = MarkdownOptions::defaultValue();
    underscores.emphasis = MarkdownEmphasis::underscores;
    EXPECT_EQ(afterBody(markdown(doc, underscores)),
              "# Bold _title_\n\nSome __bold__ and ___~~all~~___ words.");
}

TEST(AttributedMarkdownConverterTest, JoinsAdjacentRunsOfOneLink) {
    EXPECT_EQ(markdown(rtf(
                  "Go {\\field{\\*\\fldinst HYPERLINK \"https://x.example/a\"}{\\fldrslt one}}"
                  "{\\field{\\*\\fldinst HYPERLINK \"https://x.example/a\"}{\\fldrslt  two}} now "
                  "{\\field{\\*\\fldinst HYPERLINK \"https://x.example/a?utm_source=n\"}{\\fldrslt "
                  "https://x.example/a}} or {\\field{\\*\\fldinst HYPERLINK \"#local\"}{\\fldrslt here}}.")),
              "Go [one two](https://x.example/a) now https://x.example/a or here.");
}

TEST(AttributedMarkdownConverterTest, EscapesTextAndCleansAddressesInIt) {
    EXPECT_EQ(markdown(rtf("A *star*, a `tick` and snake_case; see https://x.example/?utm_source=a&id=1 "
                           "{\\f1 and *code*}")),
              "A \\*star\\*, a \\`tick\\` and snake_case; see https://x.example/?id=1 `and *code*`");
    CleaningOptions keep = CleaningOptions::defaultValue();
    keep.removeTrackingParameters = false;
    keep.unwrapRedirectLinks = false;
    EXPECT_EQ(markdown(rtf("see https://x.example/?utm_source=a"), MarkdownOptions::defaultValue(), keep),
              "see https://x.example/?utm_source=a");
}

TEST(AttributedMarkdownConverterTest, MonospaceParagraphsBecomeFencedBlocks) {
    EXPECT_EQ(markdown(rtf("Intro\\par\\f1 int main() \\{\\par     return 0;\\par \\}\\par\\f0 Outro\\par")),
              "Intro\n\n```\nint main() {\n    return 0;\n}\n```\n\nOutro");
    EXPECT_EQ(markdown(rtf("\\f1 one\\par\\f0 \\par\\f1 two\\par")), "```\none\n```\n\n```\ntwo\n```");
    // A paragraph that is only partly monospace is ordinary text with a code span.
    EXPECT_EQ(markdown(rtf("Call {\\f1 init()} now\\par")), "Call `init()` now");
}

TEST(AttributedMarkdownConverterTest, WritesNestedBulletedLists) {
    std::string doc =
        rtf("Before\\par " + bullet("One") + bullet("Inner", 1) + bullet("Two") + "\\pard After\\par");
    EXPECT_EQ(markdown(doc), "Before\n\n- One\n    - Inner\n- Two\n\nAfter");
    MarkdownOptions asterisk = MarkdownOptions::defaultValue();
    asterisk.bullet = MarkdownBullet::asterisk;
    EXPECT_EQ(markdown(doc, asterisk), "Before\n\n* One\n    * Inner\n* Two\n\nAfter");
}

TEST(AttributedMarkdownConverterTest, NumbersListsFromTheirStart) {
    EXPECT_EQ(markdown(rtf(numbered(2, "5.", "Five") + numbered(2, "6.", "Six"))), "5. Five\n6. Six");
    // Lettered lists get decimal numbers.
    EXPECT_EQ(markdown(rtf(numbered(3, "a.", "Alpha") + numbered(3, "b.", "Beta"))), "1. Alpha\n2. Beta");
    // A blank paragraph ends the list; the next one counts again.
    EXPECT_EQ(markdown(rtf(numbered(2, "5.", "A") + "\\pard\\par " + numbered(2, "6.", "B"))),
              "5. A\n\n5. B");
    // An item without text ends the list too.
    EXPECT_EQ(markdown(rtf(bullet("x") + bullet("") + bullet("y"))), "- x\n\n- y");
}

TEST(AttributedMarkdownConverterTest, WritesTablesAsPipeTablesOrParagraphs) {
    std::string row = "\\trowd\\cellx1000\\cellx2000\\cellx3000";
    std::string doc = rtf(row + "\\pard\\intbl H1\\cell H2\\cell H3\\cell\\row " + row +
                          "\\pard\\intbl a|b\\cell first\\par second\\cell\\cell\\row\\pard After\\par");
    EXPECT_EQ(markdown(doc), "| H1 | H2 | H3 |\n| --- | --- | --- |\n| a\\|b | first second |  |\n\nAfter");
    MarkdownOptions noTables = MarkdownOptions::defaultValue();
    noTables.convertTables = false;
    EXPECT_EQ(markdown(doc, noTables), "H1\n\nH2\n\nH3\n\na\\|b\n\nfirst second\n\nAfter");
    EXPECT_EQ(
        markdown(rtf("\\trowd\\cellx1000\\pard\\intbl Only\\cell\\row\\trowd\\cellx1000\\pard\\intbl Cells"
                     "\\cell\\row")),
        "Only\n\nCells");
}

TEST(AttributedMarkdownConverterTest, DropsAttachmentsAndNeedsFontsForHeadings) {
    EXPECT_EQ(markdown(rtf("Look {\\pict\\pngblip 0011}here\\par")), "Look here");
    AttributedText noFonts("Title\nBody text\n");
    AttributedMarkdownConverter converter(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
    EXPECT_EQ(AttributedMarkdownConverter::dominantFontSize(noFonts), 0);
    EXPECT_EQ(converter.convert(noFonts), "Title\n\nBody text");
    EXPECT_EQ(converter.convert(AttributedText()), "");
    EXPECT_EQ(markdown(rtf("")), "");
}

TEST(AttributedMarkdownConverterTest, SplitsParagraphsAtEverySeparator) {
    AttributedMarkdownConverter converter(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
    EXPECT_EQ(converter.convert(AttributedText("a\r\nb\rc\xE2\x80\xA9"
                                               "d\xE2\x80\xA8"
                                               "e\n")),
              "a\n\nb\n\nc\n\nd\ne");
}

TEST(AttributedMarkdownConverterTest, HugeSparseTablesStayLinear) {
    // A few cells spread over many rows and the widest column count.
    std::string doc = "{\\rtf1\\trowd";
    for (int i = 0; i < RTFReader::maxColumns; ++i) doc += "\\cellx" + std::to_string(i + 1);
    doc += "\\pard\\intbl ";
    for (int r = 0; r < 5000; ++r) doc += (r % 1000 == 0 ? "x" : "") + std::string("\\cell\\row ");
    doc += "}";
    std::string out = markdown(doc);
    EXPECT_EQ(out, "x\n\nx\n\nx\n\nx\n\nx");
}
