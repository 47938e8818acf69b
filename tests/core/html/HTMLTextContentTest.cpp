#include <gtest/gtest.h>

#include <string>

#include "core/cleaner/PasteboardCleaner.h"
#include "core/html/HTMLDocument.h"
#include "core/html/HTMLTextContent.h"

using namespace dz;

namespace {

std::string repeat(std::string_view piece, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string render(OutputFormat format, std::optional<std::string> plain, std::string html) {
    PasteboardCleaner cleaner({}, false, format);
    auto clip =
        cleaner.render(ClipboardSnapshot(std::move(plain), std::move(html), std::nullopt, std::nullopt));
    return clip ? clip->string : "(skipped)";
}

}  // namespace

TEST(HTMLTextContentTest, TagsDroppedReferencesDecodedBlocksEndLines) {
    struct Case {
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        {"<p>One <b>bold</b> word</p><p>Two</p>", "One bold word\nTwo"},
        {"<div>a<br>b<BR/>c</div><ul><li>x</li><li>y</li></ul>", "a\nb\nc\nx\ny"},
        {"<h1>T</h1><table><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>", "T\n1 2\n3"},
        {"  lots \n of\t\tspace  <span> here </span> ", "lots of space here"},
        {"&amp; &lt;tag&gt; &quot;q&quot; &apos;s&apos; a&nbsp;b", "& <tag> \"q\" 's' a\u00A0b"},
        {"&#65;&#x42;&#X43; &#128512; &#0; &#xD800; &#99999999999;", "ABC \U0001F600 \uFFFD \uFFFD \uFFFD"},
        {"&copy; &unknown; & alone &#; &#x; &#12a;", "&copy; &unknown; & alone &#; &#x; &#12a;"},
        {"a<script>if (1 < 2) document.write('<p>x</p>')</script>b<STYLE>p{}</STYLE >c", "abc"},
        {"<script>never closed <p>hidden", ""},
        {"a<!-- <p>comment</p> -->b<!DOCTYPE html><?xml x?>c", "abc"},
        {"1 < 2 and 3 > 2, a <= b", "1 < 2 and 3 > 2, a <= b"},
        {"<a title=\"x > y\" href='z>w'>link</a> after", "link after"},
        {"<a title=\"unclosed>text never seen", ""},
        {"caf\u00e9 \u65e5\u672c", "caf\u00e9 \u65e5\u672c"},
    };
    for (const Case& c : cases) EXPECT_EQ(htmltext::textContent(c.html), c.text) << c.html;
}

TEST(HTMLTextContentTest, RefusedHTMLGivesItsTextUnlessThereIsPlainText) {
    const std::string deep = repeat("<div>", 1500) + "<p>Deep &amp; <b>still</b> text</p>" + "<p>Second</p>";
    std::string manyAttributes = "<p>";
    for (int i = 0; i < 300; ++i) manyAttributes.insert(2, " a" + std::to_string(i) + "=\"1\"");
    manyAttributes += "Attributes galore</p><p>Next line</p>";
    ASSERT_FALSE(HTMLDocument::parse(deep));
    ASSERT_FALSE(HTMLDocument::parse(manyAttributes));

    for (OutputFormat format : {OutputFormat::plain, OutputFormat::plainWithLinks, OutputFormat::markdown}) {
        EXPECT_EQ(render(format, std::nullopt, deep), "Deep & still text\nSecond")
            << outputformat::rawValue(format);
        EXPECT_EQ(render(format, std::nullopt, manyAttributes), "Attributes galore\nNext line")
            << outputformat::rawValue(format);
        // The copy's own plain text wins, as for any copy.
        EXPECT_EQ(render(format, std::string("the plain item"), deep), "the plain item")
            << outputformat::rawValue(format);
    }
    // HTML the parser takes is never read this way: a hidden paragraph stays hidden.
    EXPECT_EQ(render(OutputFormat::plain, std::nullopt, "<p>shown</p><p style=\"display:none\">hidden</p>"),
              render(OutputFormat::plain, std::nullopt, "<p>shown</p>"));
}
