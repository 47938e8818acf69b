#include <gtest/gtest.h>

#include <string>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/PasteboardTypes.h"
#include "core/html/HTMLAttributedReader.h"
#include "core/richtext/AttributedMarkdownConverter.h"

using namespace dz;

namespace {

AttributedText read(std::string_view html) {
    auto text = HTMLAttributedReader::read(html);
    EXPECT_TRUE(text.has_value());
    return text ? std::move(*text) : AttributedText();
}

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

std::string markdown(std::string_view html, MarkdownOptions options = MarkdownOptions::defaultValue()) {
    return AttributedMarkdownConverter(options, CleaningOptions::defaultValue()).convert(read(html));
}

const std::string kBodyText =
    "This is an ordinary paragraph of body text, long enough to set the dominant size of the whole document "
    "to "
    "twelve points, because it holds more characters than any of the other paragraphs that the tests put "
    "after it.";

}  // namespace

TEST(HTMLAttributedReaderTest, EndsParagraphsAndCollapsesWhiteSpace) {
    AttributedText text = read(
        "<html><head><title>T</title><style>p{}</style></head><body>\n"
        "<p>  One   <b>two</b>\n three </p><div>Line<br>break <br> here<br></div>"
        "<p><br></p><pre>  keep   this\n\tand this\n</pre>tail <img src=x.png> end"
        "<script>var x;</script><p style=\"display: none\">gone</p><p hidden>gone</p>"
        "<noscript>gone</noscript><!-- comment --></body></html>");
    EXPECT_EQ(
        text.string(),
        "One two three\nLine\u2028break\u2028here\n\n  keep   this\n\tand this\ntail \xEF\xBF\xBC end\n");
    EXPECT_TRUE(attributesOf(text, "two").font->bold);
    EXPECT_FALSE(attributesOf(text, " three").font->bold);
    auto pre = attributesOf(text, "  keep   this");
    EXPECT_TRUE(pre.font->monospace && pre.font->fixedPitch);
    EXPECT_EQ(attributesOf(text, "One").font->pointSize, 12);
}

TEST(HTMLAttributedReaderTest, SetsTraitsFromElementsAndStyles) {
    AttributedText text = read(
        "<h1>H1</h1><h2>H2</h2><h3>H3</h3><h4>H4</h4><h5>H5</h5><h6>H6</h6>"
        "<p><strong>s</strong> <em>e</em> <del>d</del> <s>x</s> <code>c</code> <kbd>k</kbd> "
        "<span style=\"font-weight:700\">w</span> <span style=\"font-style: italic\">fi</span> "
        "<span style=\"text-decoration:underline line-through\">lt</span> <span "
        "style=\"font-size:24px\">px</span> "
        "<span style=\"font-size:2em\">em</span> <span style=\"font-family:'Courier New', "
        "monospace\">ff</span> "
        "<b><span style=\"font-weight:normal\">nb</span></b> <font face=\"Arial\" size=\"6\">fs</font></p>");
    const double sizes[] = {24, 18, 14, 12, 10, 8};
    for (int level = 1; level <= 6; ++level) {
        auto heading = attributesOf(text, "H" + std::to_string(level));
        EXPECT_EQ(heading.font->pointSize, sizes[level - 1]);
        EXPECT_TRUE(heading.font->bold);
    }
    EXPECT_TRUE(attributesOf(text, "s").font->bold);
    EXPECT_TRUE(attributesOf(text, "e").font->italic);
    EXPECT_EQ(attributesOf(text, "d").strikethrough, 1);
    EXPECT_EQ(attributesOf(text, "x").strikethrough, 1);
    EXPECT_TRUE(attributesOf(text, "c").font->monospace);
    EXPECT_TRUE(attributesOf(text, "k").font->fixedPitch);
    EXPECT_TRUE(attributesOf(text, "w").font->bold);
    EXPECT_TRUE(attributesOf(text, "fi").font->italic);
    EXPECT_EQ(attributesOf(text, "lt").strikethrough, 1);
    EXPECT_EQ(attributesOf(text, "px").font->pointSize, 18);
    EXPECT_EQ(attributesOf(text, "em").font->pointSize, 24);
    EXPECT_TRUE(attributesOf(text, "ff").font->monospace);
    EXPECT_FALSE(attributesOf(text, "nb").font->bold);
    EXPECT_EQ(attributesOf(text, "fs").font->pointSize, 24);
}

TEST(HTMLAttributedReaderTest, LinksStopBeforeParagraphEnds) {
    AttributedText text = read(
        "<a href=\" https://a.example/x \"><p>Whole paragraph</p></a><p>See <a href=\"/rel\">here</a>"
        "<a href=\"\">none</a></p><p><a href=\"https://b.example\">end<br></a></p>");
    EXPECT_EQ(text.string(), "Whole paragraph\nSee herenone\nend\n");
    EXPECT_EQ(attributesOf(text, "Whole paragraph").link, "https://a.example/x");
    EXPECT_EQ(attributesOf(text, "here").link, "/rel");
    EXPECT_EQ(attributesOf(text, "none").link, std::nullopt);
    for (const auto& run : text.linkRuns()) {
        if (run.link) {
            EXPECT_EQ(text.substring(run.start, run.end).find('\n'), std::string::npos);
        }
    }
    EXPECT_TRUE(text.containsLinks());
}

TEST(HTMLAttributedReaderTest, ListItemsCarryTheirListsAndMarkers) {
    AttributedText text = read(
        "<ul><li>a<ul><li>b<ul><li>c</li></ul></li></ul></li><li><p>d</p></li></ul>"
        "<ol start=\"3\"><li>three</li><li value=\"9\">nine</li><li>ten</li></ol>"
        "<ol type=\"a\"><li>alpha</li><li>beta</li></ol><ol style=\"list-style-type: upper-roman\"><li>I</li>"
        "<li>II</li><li>III</li><li>IV</li></ol><li>loose</li>");
    EXPECT_EQ(text.string(),
              "\t•\ta\n\t◦\tb\n\t▪\tc\n\t•\td\n\t3.\tthree\n\t9.\tnine\n\t10.\tten\n\ta.\talpha\n\tb.\tbeta\n"
              "\tI.\tI\n\tII.\tII\n\tIII.\tIII\n\tIV.\tIV\n\t•\tloose\n");
    EXPECT_EQ(styleOf(text, "a\n").textLists, std::vector<TextList>{(TextList{"{disc}", 1})});
    EXPECT_EQ(styleOf(text, "c\n").textLists.size(), 3u);
    EXPECT_EQ(styleOf(text, "c\n").textLists[2].markerFormat, "{square}");
    EXPECT_EQ(styleOf(text, "three").textLists, std::vector<TextList>{(TextList{"{decimal}", 3})});
    EXPECT_EQ(styleOf(text, "beta").textLists[0].markerFormat, "{lower-alpha}");
    EXPECT_EQ(styleOf(text, "III").textLists[0].markerFormat, "{upper-roman}");
}

TEST(HTMLAttributedReaderTest, TableCellsCarryTableRowAndColumn) {
    AttributedText text = read(
        "<table><thead><tr><th>H1</th><th colspan=2>Wide</th></tr></thead>"
        "<tbody><tr><td>a</td><td></td><td><p>p1</p><p>p2</p></td></tr></tbody></table><p>after</p>"
        "<table><tr><td>x<table><tr><td>inner</td></tr></table></td></tr></table>");
    EXPECT_EQ(text.string(), "H1\nWide\na\n\np1\np2\nafter\nx\ninner\n");
    ASSERT_EQ(text.tables().size(), 3u);
    EXPECT_EQ(text.tables()[0].numberOfColumns, 3);
    EXPECT_EQ(styleOf(text, "Wide").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 0, 1, 1, 2})});
    EXPECT_EQ(text.paragraphStyle(text.string().find("a\n\n") + 2).textBlocks,
              std::vector<TextTableBlock>{(TextTableBlock{0, 1, 1})});
    EXPECT_EQ(styleOf(text, "p2").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 1, 2})});
    EXPECT_TRUE(attributesOf(text, "H1").font->bold);
    EXPECT_TRUE(styleOf(text, "after").textBlocks.empty());
    EXPECT_EQ(styleOf(text, "inner").textBlocks, (std::vector<TextTableBlock>{{1, 0, 0}, {2, 0, 0}}));
}

TEST(HTMLAttributedReaderTest, EachParagraphHasOnlyItsOwnListsAndCells) {
    // Lists inside a cell, then a shallower item, text after the list in the
    // same cell, the next cell, a list outside the table and a plain paragraph.
    AttributedText text = read(
        "<table><tr><td><ul><li>x<ol><li>deep</li></ol></li></ul>y</td><td>z</td></tr></table>"
        "<ul><li>w</li></ul><p>v</p>");
    const TextList disc{"{disc}", 1}, decimal{"{decimal}", 1};
    const TextTableBlock first{0, 0, 0}, second{0, 0, 1};
    EXPECT_EQ(styleOf(text, "x"), (ParagraphStyle{{disc}, {first}}));
    EXPECT_EQ(styleOf(text, "deep"), (ParagraphStyle{{disc, decimal}, {first}}));
    EXPECT_EQ(styleOf(text, "y"), (ParagraphStyle{{}, {first}}));
    EXPECT_EQ(styleOf(text, "z"), (ParagraphStyle{{}, {second}}));
    EXPECT_EQ(styleOf(text, "w"), (ParagraphStyle{{disc}, {}}));
    EXPECT_TRUE(styleOf(text, "v").empty());
}

TEST(HTMLAttributedReaderTest, PrefixedNamesReadAsTheirLocalNames) {
    // Names the parser does not know are looked up by their local name, as
    // the known ones are.
    AttributedText text = read(
        "<p><x:strong>s</x:strong> <w:i>i</w:i> <v:script>gone</v:script>t</p><x:div>block</x:div>after"
        "<o:ul><li>one</li></o:ul>");
    EXPECT_EQ(text.string(), "s i t\nblock\nafter\n\t•\tone\n");
    EXPECT_TRUE(attributesOf(text, "s").font->bold);
    EXPECT_TRUE(attributesOf(text, "i").font->italic);
    EXPECT_EQ(styleOf(text, "one").textLists, std::vector<TextList>{(TextList{"{disc}", 1})});
}

TEST(HTMLAttributedReaderTest, TextAndLinksReadsTheSameTextWithTableCellStylesOnly) {
    // Superscripts meet list and table paragraphs here: a paragraph style
    // inside one keeps it as written, whether styles are kept or not.
    for (std::string_view html :
         {"<ul><li>x<sup>2<div></div></sup></li></ul><p>x<sup>2<div></div></sup></p>",
          "<table><tr><td><a href='https://a.example'>a</a></td><td>b<sup>2</sup></td></tr></table>"
          "<sup>n</sup>",
          "<ol><li>one<ol><li><b>two</b></li></ol></li></ol><p><a href='/x'>after</a></p>"}) {
        auto full = HTMLAttributedReader::read(html);
        auto lean = HTMLAttributedReader::read(html, AttributedText::Detail::textAndLinks);
        ASSERT_TRUE(full && lean);
        EXPECT_FALSE(full->paragraphStyles().empty()) << html;
        std::vector<AttributedText::ParagraphStyleRange> cells;
        for (const auto& range : full->paragraphStyles())
            if (!range.style.textBlocks.empty())
                cells.push_back(range);
        EXPECT_EQ(lean->paragraphStyles(), cells) << html;
        EXPECT_EQ(lean->string(), full->string()) << html;
        EXPECT_EQ(lean->runs(), full->runs()) << html;
        EXPECT_EQ(lean->attributeSets(), full->attributeSets()) << html;
        EXPECT_EQ(lean->linkRuns(), full->linkRuns()) << html;
    }
}

TEST(HTMLAttributedReaderTest, RowSpansMoveTheCellsBelowToTheFreeColumns) {
    AttributedText text = read(
        "<table><tr><td rowspan=3>tall</td><td>b1</td><td rowspan=2 colspan=2>big</td></tr>"
        "<tr><td>b2</td></tr><tr><td>b3</td><td>c3</td></tr><tr><td>a4</td></tr></table>");
    EXPECT_EQ(styleOf(text, "tall").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 0, 0, 3, 1})});
    EXPECT_EQ(styleOf(text, "big").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 0, 2, 2, 2})});
    EXPECT_EQ(styleOf(text, "b2").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 1, 1})});
    EXPECT_EQ(styleOf(text, "b3").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 2, 1})});
    EXPECT_EQ(styleOf(text, "c3").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 2, 2})});
    EXPECT_EQ(styleOf(text, "a4").textBlocks, std::vector<TextTableBlock>{(TextTableBlock{0, 3, 0})});
}

TEST(HTMLAttributedReaderTest, RefusesWhatCannotBeParsed) {
    EXPECT_FALSE(HTMLAttributedReader::read("caf\xE9").has_value());
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<div>";
    EXPECT_FALSE(HTMLAttributedReader::read(deep + "x").has_value());
    EXPECT_EQ(read("").string(), "");
}

TEST(HTMLAttributedReaderTest, ConvertsToMarkdownLikeRichText) {
    std::string body = "<p>" + kBodyText + "</p>";
    EXPECT_EQ(
        markdown(body + "<h1>Big <b>bold</b></h1><p style=\"font-size:17pt\">Seventeen</p>"
                        "<p style=\"font-size:14pt\">Fourteen</p><p style=\"font-size:13pt\">Thirteen</p>"),
        kBodyText + "\n\n# Big bold\n\n## Seventeen\n\n### Fourteen\n\nThirteen");
    EXPECT_EQ(
        markdown("<p>Some <b>bold</b>, <b><i><s>all</s></i></b> and <a href=\"https://x.example/a\">one</a>"
                 "<a href=\"https://x.example/a\"> two</a> <img src=p.png>done</p>"),
        "Some **bold**, ***~~all~~*** and [one two](https://x.example/a) done");
    MarkdownOptions underscores = MarkdownOptions::defaultValue();
    underscores.emphasis = MarkdownEmphasis::underscores;
    EXPECT_EQ(markdown("<p><b>bold</b> <i>it</i></p>", underscores), "__bold__ _it_");
    EXPECT_EQ(markdown("<pre>int x;\n    return;</pre><p>text</p><pre>a</pre><br><pre>b</pre>"),
              "```\nint x;\n    return;\n```\n\ntext\n\n```\na\n```\n\n```\nb\n```");
    EXPECT_EQ(markdown(""), "");
}

TEST(HTMLAttributedReaderTest, ConvertsListsAndTablesToMarkdown) {
    MarkdownOptions asterisk = MarkdownOptions::defaultValue();
    asterisk.bullet = MarkdownBullet::asterisk;
    EXPECT_EQ(markdown("<ul><li>One<ul><li>Inner</li></ul></li><li>Two</li></ul>", asterisk),
              "* One\n    * Inner\n* Two");
    EXPECT_EQ(markdown("<ol start=5><li>Five</li><li>Six</li></ol><ol type=a><li>A</li><li>B</li></ol>"
                       "<p><br></p><ol start=5><li>again</li><li></li><li>after</li></ol>"),
              "5. Five\n6. Six\n3. A\n4. B\n\n5. again\n\n5. after");
    std::string table =
        "<table><tr><th>A</th><th>B</th><th>C</th></tr><tr><td>1|2</td><td><p>x</p><p>y</p></td><td></td></"
        "tr>"
        "</table>";
    EXPECT_EQ(markdown(table), "| **A** | **B** | **C** |\n| --- | --- | --- |\n| 1\\|2 | x y |  |");
    MarkdownOptions noTables = MarkdownOptions::defaultValue();
    noTables.convertTables = false;
    EXPECT_EQ(markdown(table, noTables), "**A**\n\n**B**\n\n**C**\n\n1\\|2\n\nx y");
    EXPECT_EQ(markdown("<table><tr><td>one</td></tr><tr><td>column</td></tr></table>"), "one\n\ncolumn");
}

TEST(HTMLAttributedReaderTest, SnapshotPrefersRTFThenHTML) {
    ClipboardSnapshot both(std::nullopt, std::string("<p>from html</p>"),
                           std::string("{\\rtf1 from rtf\\par}"), std::nullopt);
    ASSERT_TRUE(both.attributedString());
    EXPECT_EQ(both.attributedString()->string(), "from rtf\n");
    ClipboardSnapshot badRTF(std::nullopt, std::string("<p>from <a href=\"https://h.example\">html</a></p>"),
                             std::string("not rtf"), std::nullopt);
    ASSERT_TRUE(badRTF.attributedString());
    EXPECT_EQ(badRTF.attributedString()->string(), "from html\n");
    EXPECT_TRUE(badRTF.attributedString()->containsLinks());
    // HTML bytes that are not UTF-8 are read as Latin-1.
    ClipboardSnapshot latin(std::vector<ClipboardSnapshot::Entry>{
        {std::string(pasteboardtype::html), std::string("<p>caf\xE9</p>")}});
    EXPECT_EQ(latin.attributedString()->string(), "café\n");
    EXPECT_FALSE(
        ClipboardSnapshot(std::string("plain"), std::nullopt, std::nullopt, std::nullopt).attributedString());
    EXPECT_FALSE(
        ClipboardSnapshot(std::vector<ClipboardSnapshot::Entry>{{std::string(pasteboardtype::rtfd), "rtfd"}})
            .attributedString());
}
