#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/richtext/RTFReader.h"

using namespace dz;

namespace {

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(DZ_FIXTURES_DIR) + "/rtf/" + name, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

AttributedText read(std::string_view rtf) {
    auto text = RTFReader::read(rtf);
    EXPECT_TRUE(text.has_value());
    return text ? std::move(*text) : AttributedText();
}

// The attributes of the first occurrence of `needle`; fails when the needle
// spans differing attributes.
CharacterAttributes attributesOf(const AttributedText& text, std::string_view needle) {
    size_t at = text.string().find(needle);
    EXPECT_NE(at, std::string::npos) << needle;
    if (at == std::string::npos)
        return {};
    size_t run = text.runIndex(at);
    EXPECT_LE(at + needle.size(), text.runs()[run].end) << "attributes change inside: " << needle;
    return text.attributes(text.runs()[run]);
}

const ParagraphStyle& styleOf(const AttributedText& text, std::string_view needle) {
    size_t at = text.string().find(needle);
    EXPECT_NE(at, std::string::npos) << needle;
    return text.paragraphStyle(at == std::string::npos ? 0 : at);
}

std::string body(std::string_view content) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}{\\f1\\fmodern\\fprq1 Courier New;}}" +
           std::string(content) + "}";
}

}  // namespace

TEST(RTFReaderTest, ReadsLibreOfficeHeadingsEmphasisAndLinks) {
    AttributedText text = read(fixture("headings.rtf"));
    EXPECT_NE(text.string().find("Release notes\nThis release is much faster"), std::string::npos);
    auto heading = attributesOf(text, "Release notes");
    ASSERT_TRUE(heading.font);
    EXPECT_EQ(heading.font->pointSize, 24);
    EXPECT_TRUE(heading.font->bold);
    EXPECT_EQ(attributesOf(text, "What ").font->pointSize, 18);
    EXPECT_TRUE(attributesOf(text, "changed").font->italic);
    EXPECT_EQ(attributesOf(text, "Résumé – naïve “quotes”").font->pointSize, 14);
    EXPECT_EQ(attributesOf(text, "This release").font->pointSize, 12);
    EXPECT_TRUE(attributesOf(text, "much").font->bold);
    EXPECT_EQ(attributesOf(text, "deprecated").strikethrough, 1);
    auto all = attributesOf(text, "all three");
    EXPECT_TRUE(all.font->bold && all.font->italic && all.strikethrough == 1);
    EXPECT_EQ(attributesOf(text, "the documentation").link,
              "https://example.com/docs?utm_source=newsletter&id=7");
    EXPECT_EQ(attributesOf(text, "team@example.com").link, "mailto:team@example.com");
    EXPECT_EQ(attributesOf(text, " or write").link, std::nullopt);
    EXPECT_NE(text.string().find("Grüße, Ελληνικά, 日本語"), std::string::npos);
    // Paragraph marks never carry a link.
    for (const auto& run : text.linkRuns()) {
        if (run.link) {
            EXPECT_EQ(text.substring(run.start, run.end).find('\n'), std::string::npos);
        }
    }
}

TEST(RTFReaderTest, ReadsLibreOfficeListsWithMarkerText) {
    AttributedText text = read(fixture("lists.rtf"));
    EXPECT_NE(text.string().find("\xE2\x80\xA2\tApples \n"), std::string::npos);
    const ParagraphStyle& apples = styleOf(text, "Apples");
    ASSERT_EQ(apples.textLists.size(), 1u);
    EXPECT_EQ(apples.textLists[0].markerFormat, "{disc}");
    EXPECT_EQ(styleOf(text, "Green").textLists.size(), 2u);
    EXPECT_TRUE(styleOf(text, "Shopping").textLists.empty());
    const ParagraphStyle& open = styleOf(text, "Open the lid");
    ASSERT_EQ(open.textLists.size(), 1u);
    EXPECT_EQ(open.textLists[0].markerFormat, "{decimal}");
    EXPECT_NE(text.string().find(" 1.\tOpen the lid"), std::string::npos);
    EXPECT_EQ(styleOf(text, "Slowly").textLists.size(), 2u);
    EXPECT_EQ(styleOf(text, "Fifth").textLists[0].startingItemNumber, 5);
    EXPECT_EQ(styleOf(text, "Alpha").textLists[0].markerFormat, "{lower-alpha}");
    EXPECT_TRUE(attributesOf(text, "ripe").font->bold);
}

TEST(RTFReaderTest, ReadsLibreOfficeTables) {
    AttributedText text = read(fixture("table.rtf"));
    ASSERT_EQ(text.tables().size(), 1u);
    EXPECT_EQ(text.tables()[0].numberOfColumns, 3);
    auto cell = [&](std::string_view needle) {
        const ParagraphStyle& style = styleOf(text, needle);
        EXPECT_EQ(style.textBlocks.size(), 1u) << needle;
        return style.textBlocks.empty() ? TextTableBlock{99, -1, -1} : style.textBlocks.back();
    };
    EXPECT_EQ(cell("Fruit"), (TextTableBlock{0, 0, 0}));
    EXPECT_EQ(cell("Note"), (TextTableBlock{0, 0, 2}));
    EXPECT_EQ(cell("a|b"), (TextTableBlock{0, 1, 2}));
    EXPECT_EQ(cell("first"), (TextTableBlock{0, 2, 2}));
    EXPECT_EQ(cell("second"), (TextTableBlock{0, 2, 2}));
    EXPECT_TRUE(styleOf(text, "After the table").textBlocks.empty());
    EXPECT_TRUE(styleOf(text, "Prices").textBlocks.empty());
}

TEST(RTFReaderTest, ReadsLibreOfficeMonospaceParagraphs) {
    AttributedText text = read(fixture("code.rtf"));
    EXPECT_NE(text.string().find("make build\n  ./run --fast\necho done\n"), std::string::npos);
    auto code = attributesOf(text, "  ./run --fast");
    EXPECT_TRUE(code.font->monospace);
    EXPECT_TRUE(code.font->fixedPitch);
    EXPECT_TRUE(attributesOf(text, "init()").font->monospace);
    EXPECT_FALSE(attributesOf(text, "Then call").font->monospace);
}

TEST(RTFReaderTest, NestedTablesGiveOneBlockPerLevel) {
    // As a word processor writes a table inside a cell.
    AttributedText text =
        read(body("\\trowd\\cellx1000\\cellx2000\\pard\\intbl A\\cell\\pard\\intbl B\\par"
                  "\\pard\\intbl\\itap2 In1\\nestcell "
                  "In2\\nestcell{\\*\\nesttableprops\\trowd\\cellx500\\cellx900\\nestrow}"
                  "{\\nonesttables\\par}\\pard\\intbl\\itap2 In3\\nestcell In4\\nestcell"
                  "{\\*\\nesttableprops\\trowd\\cellx500\\cellx900\\nestrow}{\\nonesttables\\par}"
                  "\\pard\\intbl\\cell\\row\\pard After\\par"));
    EXPECT_EQ(text.string(), "A\nB\nIn1\nIn2\nIn3\nIn4\n\nAfter\n");
    ASSERT_EQ(text.tables().size(), 2u);
    EXPECT_EQ(text.tables()[1].numberOfColumns, 2);
    const ParagraphStyle& in4 = styleOf(text, "In4");
    ASSERT_EQ(in4.textBlocks.size(), 2u);
    EXPECT_EQ(in4.textBlocks[0], (TextTableBlock{0, 0, 1}));
    EXPECT_EQ(in4.textBlocks[1], (TextTableBlock{1, 1, 1}));
    EXPECT_EQ(styleOf(text, "B").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 0, 1})});
    EXPECT_TRUE(styleOf(text, "After").textBlocks.empty());
}

TEST(RTFReaderTest, DecodesCodePages) {
    // Document code page.
    EXPECT_EQ(read("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}").string(), "Привет");
    // A font's character set wins over the document's code page.
    EXPECT_EQ(
        read("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset161 Arial Greek;}}\\f0 \\'e9 \\f1 \\'e1}")
            .string(),
        "é α");
    // Double-byte text, with a trail byte written as a plain character.
    EXPECT_EQ(read("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 \\'93\\'fa\\'96\\'7b \\'83e}")
                  .string(),
              "日本 テ");
    // Raw 8-bit text goes through the code page too.
    EXPECT_EQ(read("{\\rtf1\\mac caf\x8e}").string(), "café");
}

TEST(RTFReaderTest, SkipsFallbackCharactersAfterUnicode) {
    EXPECT_EQ(read("{\\rtf1 \\u8364\\'80 x}").string(), "€ x");
    EXPECT_EQ(read("{\\rtf1\\uc2 \\u8364\\'80\\'80 x}").string(), "€ x");
    EXPECT_EQ(read("{\\rtf1\\uc0 \\u8364 x}").string(), "€x");
    EXPECT_EQ(read("{\\rtf1\\uc3 \\u8364 ab\\par c}").string(), "€c");  // a control word counts as one
    // Skipping stops at the end of the group.
    EXPECT_EQ(read("{\\rtf1{\\uc5\\u8364 ab}cd}").string(), "€cd");
    // Surrogate pairs, and a lone surrogate.
    EXPECT_EQ(read("{\\rtf1 \\u-10179?\\u-8704?!}").string(), "😀!");
    EXPECT_EQ(read("{\\rtf1 \\u-10179?x}").string(), "\xEF\xBF\xBDx");
    // The \uc value is scoped to its group.
    EXPECT_EQ(read("{\\rtf1{\\uc0 \\u233}\\u233?}").string(), "éé");
}

TEST(RTFReaderTest, HyperlinkFieldsLinkTheirResult) {
    AttributedText text = read(body(
        "See {\\field{\\*\\fldinst{HYPERLINK \"https://a.example/x\" \\\\o \"tip\"}}{\\fldrslt{\\ul docs}}} "
        "and {\\field{\\*\\fldinst HYPERLINK \\\\l \"sec2\"}{\\fldrslt section}} and "
        "{\\field{\\*\\fldinst HYPERLINK \"https://b.example/\" \\\\l \"top\"}{\\fldrslt top}} "
        "page {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}.\\par"));
    EXPECT_EQ(text.string(), "See docs and section and top page 7.\n");
    EXPECT_EQ(attributesOf(text, "docs").link, "https://a.example/x");
    EXPECT_EQ(attributesOf(text, "section").link, "#sec2");
    EXPECT_EQ(attributesOf(text, "top").link, "https://b.example/#top");
    EXPECT_EQ(attributesOf(text, "7").link, std::nullopt);
    EXPECT_EQ(attributesOf(text, " and ").link, std::nullopt);
    EXPECT_TRUE(text.containsLinks());
    // A field inside a link's result keeps the outer link.
    AttributedText nested =
        read(body("{\\field{\\*\\fldinst HYPERLINK \"https://c.example\"}{\\fldrslt a{\\field{\\*\\fldinst "
                  "SYMBOL}{\\fldrslt b}}}}"));
    EXPECT_EQ(nested.string(), "ab");
    EXPECT_EQ(attributesOf(nested, "ab").link, "https://c.example");
}

TEST(RTFReaderTest, LeavesOutDestinationsWithoutText) {
    AttributedText text = read(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Times{\\*\\falt Roman};}}{\\colortbl;\\red0\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}{\\author Me}}{\\*\\generator Writer;}"
        "{\\header Page head\\par}{\\footer foot\\par}{\\*\\unknownthing hidden {nested} words}"
        "Body{\\footnote note text} text{\\v  hidden}.\\par"
        "{\\pict\\pngblip 89504e47{\\*\\blipuid 1234}}"
        "{\\*\\shppict{\\pict\\jpegblip ffd8}}{\\nonshppict{\\pict\\wmetafile8 0100}}"
        "{\\object\\objemb{\\*\\objdata 0102}{\\result{\\pict 00}}}\\par}");
    EXPECT_EQ(text.string(), "Body text.\n\xEF\xBF\xBC\xEF\xBF\xBC\xEF\xBF\xBC\n");
}

TEST(RTFReaderTest, ReadsListMarkersOfOtherWriters) {
    // Marker formats given as text, literal tabs around the marker.
    AttributedText apple = read(
        "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}"
        "{\\*\\listtable{\\list\\listtemplateid1\\listhybrid{\\listlevel\\levelnfc23\\levelstartat1"
        "{\\*\\levelmarker \\{disc\\}}{\\leveltext\\'01\\uc0\\u8226 ;}{\\levelnumbers;}}"
        "{\\listlevel\\levelnfc0\\levelstartat3{\\*\\levelmarker \\{decimal\\}.}{\\leveltext\\'02\\'01.;}"
        "{\\levelnumbers\\'01;}}{\\listname ;}\\listid7}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        "\\pard\\ls1\\ilvl0 {\\listtext\t\\uc0\\u8226 \t}one\\\n"
        "\\ls1\\ilvl1 {\\listtext\t3.\t}two\\\n}");
    EXPECT_EQ(apple.string(), "\t\xE2\x80\xA2\tone\n\t3.\ttwo\n");
    const ParagraphStyle& two = styleOf(apple, "two");
    ASSERT_EQ(two.textLists.size(), 2u);
    EXPECT_EQ(two.textLists[0], (TextList{"{disc}", 1}));
    EXPECT_EQ(two.textLists[1], (TextList{"{decimal}.", 3}));
    // Paragraph numbering of older writers.
    AttributedText legacy = read(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}"
        "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}\\f0 dot\\par"
        "\\pard{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody\\pndec\\pnstart4{\\pntxta .}}num\\par\\pard "
        "plain\\par}");
    EXPECT_EQ(legacy.string(), "\xE2\x80\xA2\tdot\n1.\tnum\nplain\n");
    EXPECT_EQ(styleOf(legacy, "dot").textLists, std::vector<TextList>{(TextList{"{disc}", 1})});
    EXPECT_EQ(styleOf(legacy, "num").textLists, std::vector<TextList>{(TextList{"{decimal}", 4})});
    EXPECT_TRUE(styleOf(legacy, "plain").textLists.empty());
}

TEST(RTFReaderTest, ReadsCharactersAndFormatting) {
    AttributedText text =
        read(body("a\\emdash b\\~c\\line d\\tab e\\-f\\_g\\{\\}\\\\ \\ldblquote q\\rdblquote\\par"
                  "{\\b bold}{\\i\\b0 it}{\\striked1 dbl}{\\strike\\strike0 no}{\\fs40 big}\\f1 mono\\plain  "
                  "back\\par"));
    EXPECT_EQ(text.string(),
              "a—b\u00A0c\u2028d\te"
              "f\u2011g{}\\ “q”\nbolditdblnobigmono back\n");
    EXPECT_TRUE(attributesOf(text, "bold").font->bold);
    EXPECT_FALSE(attributesOf(text, "it").font->bold);
    EXPECT_TRUE(attributesOf(text, "it").font->italic);
    EXPECT_EQ(attributesOf(text, "dbl").strikethrough, 9);
    EXPECT_EQ(attributesOf(text, "no").strikethrough, 0);
    EXPECT_EQ(attributesOf(text, "big").font->pointSize, 20);
    EXPECT_TRUE(attributesOf(text, "mono").font->monospace);
    EXPECT_FALSE(attributesOf(text, " back").font->monospace);
    EXPECT_EQ(attributesOf(text, " back").font->pointSize, 12);
}

TEST(RTFReaderTest, RecognisesMonospaceFonts) {
    auto mono = [](std::string_view fontEntry) {
        AttributedText text = read("{\\rtf1{\\fonttbl{\\f0" + std::string(fontEntry) + ";}}\\f0 x}");
        return std::make_pair(text.attributes(0).font->monospace, text.attributes(0).font->fixedPitch);
    };
    EXPECT_EQ(mono("\\fmodern Courier New"), std::make_pair(true, true));
    EXPECT_EQ(mono("\\fnil Consolas"), std::make_pair(true, true));
    EXPECT_EQ(mono("\\fswiss\\fprq1 Odd Fixed"), std::make_pair(true, true));
    EXPECT_EQ(mono("\\fmodern Family Only"), std::make_pair(true, false));
    EXPECT_EQ(mono("\\fnil Noto Sans Mono CJK"), std::make_pair(true, true));
    EXPECT_EQ(mono("\\fswiss\\fprq2 Arial"), std::make_pair(false, false));
    EXPECT_EQ(mono("\\fnil Monotype Corsiva"), std::make_pair(false, false));
}

TEST(RTFReaderTest, RefusesWhatIsNotRTF) {
    EXPECT_FALSE(RTFReader::read("").has_value());
    EXPECT_FALSE(RTFReader::read("plain text").has_value());
    EXPECT_FALSE(RTFReader::read("{\\rt").has_value());
    EXPECT_TRUE(RTFReader::read(" \r\n{\\rtf1}").has_value());
}

TEST(RTFReaderTest, SurvivesHostileInput) {
    // Nesting far beyond the kept depth: text inside and after it stays.
    std::string deep = "{\\rtf1 start ";
    deep += std::string(100'000, '{') + "\\b inner" + std::string(100'000, '}') + " end\\par}";
    AttributedText text = read(deep);
    EXPECT_EQ(text.string(), "start inner end\n");
    EXPECT_FALSE(attributesOf(text, " end").font->bold);
    // A skipped destination nested as deep.
    std::string deepSkip =
        "{\\rtf1 a{\\*\\x " + std::string(100'000, '{') + std::string(100'000, '}') + "}b}";
    EXPECT_EQ(read(deepSkip).string(), "ab");
    // Unbalanced braces.
    EXPECT_EQ(read("{\\rtf1 open {\\b never closed").string(), "open never closed");
    EXPECT_EQ(read("{\\rtf1 a}}}} b").string(), "a");
    EXPECT_EQ(read("{\\rtf1 {\\*\\x {{{").string(), "");
    // Binary data running past the end, negative and huge lengths.
    EXPECT_EQ(read("{\\rtf1 a{\\pict\\bin999999 xx}}").string(), "a\xEF\xBF\xBC");
    EXPECT_EQ(read("{\\rtf1 a\\bin99999999999999999999 xyz}").string(), "a");
    EXPECT_EQ(read("{\\rtf1 a\\bin-5 b}").string(), "ab");
    EXPECT_EQ(read("{\\rtf1 a\\bin3 }}}b}").string(), "ab");
    // Overflowing parameters.
    AttributedText big =
        read("{\\rtf1\\fs99999999999999999999999 x\\u99999999999 ?y\\uc-99999999999 z\\itap999999999 w}");
    EXPECT_EQ(big.attributes(0).font->pointSize, 32767 / 2.0);
    EXPECT_NE(big.string().find('y'), std::string::npos);
    // Truncated escapes at the very end.
    EXPECT_EQ(read("{\\rtf1 a\\'").string(), "a");
    EXPECT_EQ(read("{\\rtf1 a\\'4").string(), "a");
    EXPECT_EQ(read("{\\rtf1 a\\").string(), "a");
    EXPECT_EQ(read(std::string("{\\rtf1 a\0b\x01"
                               "c}",
                               13))
                  .string(),
              "abc");
}

TEST(RTFReaderTest, HostileTablesStayBounded) {
    // Far more cells in a row than any writer produces join the last column.
    std::string cells = "{\\rtf1\\trowd\\pard\\intbl ";
    for (int i = 0; i < 1000; ++i) cells += "x\\cell ";
    cells += "\\row}";
    AttributedText text = read(cells);
    ASSERT_EQ(text.tables().size(), 1u);
    EXPECT_EQ(text.tables()[0].numberOfColumns, RTFReader::maxColumns);
    EXPECT_EQ(text.paragraphStyle(text.length() - 1).textBlocks.back().startingColumn,
              RTFReader::maxColumns - 1);
}

TEST(RTFReaderTest, ReadsLargeDocuments) {
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}";
    const std::string paragraph = "Some {\\b bold} text with caf\\'e9 and \\u8364? in it.\\par\n";
    while (rtf.size() < 30 * 1024 * 1024) rtf += paragraph;
    rtf += "}";
    AttributedText text = read(rtf);
    size_t paragraphs = (rtf.size() - 40) / paragraph.size();
    EXPECT_GE(text.length(), paragraphs * 40);
    EXPECT_EQ(text.string().substr(0, 41), "Some bold text with café and € in it.\n");
    EXPECT_LE(text.attributeSets().size(), 2u);
}
