#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/cleaner/PasteboardCleaner.h"
#include "core/clipboard/MemoryPasteboard.h"

using namespace dz;
namespace pt = pasteboardtype;

namespace {

PasteboardCleaner cleanerFor(OutputFormat format) {
    return PasteboardCleaner({}, false, format);
}

std::optional<std::string> renderString(OutputFormat format, const ClipboardSnapshot& snapshot) {
    auto clip = cleanerFor(format).render(snapshot);
    if (!clip)
        return std::nullopt;
    return clip->string;
}

}  // namespace

TEST(PasteboardCleanerTest, FormatFromPreserveLinks) {
    EXPECT_EQ(PasteboardCleaner({}, true).format, OutputFormat::plainWithLinks);
    EXPECT_EQ(PasteboardCleaner({}, false).format, OutputFormat::plain);
    EXPECT_EQ(PasteboardCleaner({}, true, OutputFormat::markdown).format, OutputFormat::markdown);
    PasteboardCleaner cleaner;
    cleaner.setPreserveLinks(true);
    EXPECT_TRUE(cleaner.preserveLinks());
    cleaner.setPreserveLinks(false);
    EXPECT_EQ(cleaner.format, OutputFormat::plain);
}

TEST(PasteboardCleanerTest, OriginalRendersNothingAndLeavesTheClipboard) {
    MemoryPasteboard pasteboard({{std::string(pt::string), "a  "}});
    auto before = pasteboard.changeCount();
    EXPECT_EQ(cleanerFor(OutputFormat::original).render(ClipboardSnapshot("a", {}, {}, {})), std::nullopt);
    EXPECT_EQ(cleanerFor(OutputFormat::original).clean(pasteboard, false),
              CleanOutcome::skipped(SkipReason::keptOriginal));
    EXPECT_EQ(pasteboard.changeCount(), before);
    EXPECT_EQ(CleanOutcome::skipped(SkipReason::keptOriginal).label(),
              "skipped: original formatting kept (rule)");
}

TEST(PasteboardCleanerTest, PlainTextRepresentationWins) {
    ClipboardSnapshot snapshot("a", "<b>b</b>", {}, {});
    EXPECT_EQ(renderString(OutputFormat::plain, snapshot), "a");
    EXPECT_EQ(renderString(OutputFormat::markdown, snapshot), "**b**");
}

TEST(PasteboardCleanerTest, RichTextIsTheFallbackSource) {
    ClipboardSnapshot snapshot({}, {}, "{\\rtf1\\ansi Hello \\b world\\b0\\par}", {});
    auto clip = cleanerFor(OutputFormat::plainWithLinks).render(snapshot);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->string, "Hello world");
    EXPECT_EQ(clip->html, std::nullopt);  // no link: the plain path
    EXPECT_EQ(renderString(OutputFormat::plain, ClipboardSnapshot("", {}, {}, {})), std::nullopt);
}

TEST(PasteboardCleanerTest, LinkPreservingOutput) {
    ClipboardSnapshot snapshot({}, "see <a href=\"https://example.com/docs?utm_source=x&id=2\">docs</a>", {},
                               {});
    auto clip = cleanerFor(OutputFormat::plainWithLinks).render(snapshot);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->string, "see docs");
    EXPECT_EQ(clip->html, "<meta charset=\"utf-8\">see <a href=\"https://example.com/docs?id=2\">docs</a>");
    EXPECT_EQ(clip->url, std::nullopt);
}

TEST(PasteboardCleanerTest, LinkSegmentsMergeEscapeAndKeepOtherSchemes) {
    ClipboardSnapshot snapshot(
        {},
        "<a href=\"https://a.example/\">one</a><a href=\"https://a.example/\"> two</a> "
        "<a href=\"mailto:x@y.z?subject=Hi\">mail</a> &lt;&amp;&quot;<br>",
        {}, {});
    PasteboardCleaner cleaner({}, false, OutputFormat::plainWithLinks);
    cleaner.options.trimWhitespace = false;
    auto clip = cleaner.render(snapshot);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->string, "one two mail <&\"\n");
    EXPECT_EQ(clip->html,
              "<meta charset=\"utf-8\"><a href=\"https://a.example/\">one two</a> "
              "<a href=\"mailto:x@y.z?subject=Hi\">mail</a> &lt;&amp;&quot;<br>");
}

TEST(PasteboardCleanerTest, WordProcessorHTMLConvertsFromRTF) {
    ClipboardSnapshot snapshot(
        {}, "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"><p>from html</p></html>",
        "{\\rtf1\\ansi from rtf\\par}", {});
    EXPECT_EQ(renderString(OutputFormat::markdown, snapshot), "from rtf");
}

TEST(PasteboardCleanerTest, MarkdownFromPlainTextUsesTheMarkdownBullet) {
    PasteboardCleaner cleaner({}, false, OutputFormat::markdown);
    cleaner.markdown.bullet = MarkdownBullet::plus;
    auto clip = cleaner.render(ClipboardSnapshot("\u2022 one\n\u2022 two", {}, {}, {}));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->string, "+ one\n+ two");
}

TEST(PasteboardCleanerTest, UnchangedTest) {
    MemoryPasteboard plainOnly({{std::string(pt::string), "already clean"}});
    auto before = plainOnly.changeCount();
    EXPECT_EQ(cleanerFor(OutputFormat::plain).clean(plainOnly, false), CleanOutcome::unchanged());
    EXPECT_EQ(plainOnly.changeCount(), before);
    EXPECT_EQ(CleanOutcome::unchanged().label(), "already plain");

    MemoryPasteboard withHTML(
        {{std::string(pt::string), "already clean"}, {std::string(pt::html), "<p>already clean</p>"}});
    EXPECT_EQ(cleanerFor(OutputFormat::plain).clean(withHTML, false), CleanOutcome::cleaned());
    std::vector<MemoryPasteboard::Item> written{{std::string(pt::string), "already clean"},
                                                {std::string(pt::markerType), std::string()}};
    EXPECT_EQ(withHTML.items(), written);
    // Written once, the marker makes the next capture skip it.
    EXPECT_EQ(cleanerFor(OutputFormat::plain).clean(withHTML, false),
              CleanOutcome::skipped(SkipReason::alreadyCleaned));
}

TEST(PasteboardCleanerTest, CopysOwnLinkIsCleaned) {
    ClipboardSnapshot snapshot("https://example.com/?utm_source=x", {}, {},
                               "https://example.com/?utm_source=x");
    auto clip = cleanerFor(OutputFormat::plain).render(snapshot);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->url, "https://example.com/");
    EXPECT_EQ(clip->string, "https://example.com/");
    EXPECT_FALSE(PasteboardCleaner::isUnchanged(
        {"https://example.com/?utm_source=x", {}, "https://example.com/"}, snapshot));
    MemoryPasteboard pasteboard;
    clip->write(pasteboard);
    EXPECT_EQ(*pasteboard.types(), (std::vector<std::string>{std::string(pt::string), std::string(pt::url),
                                                             std::string(pt::markerType)}));
    EXPECT_EQ(renderString(OutputFormat::markdown, snapshot), "https://example.com/");
    EXPECT_EQ(cleanerFor(OutputFormat::markdown).render(snapshot)->url, std::nullopt);
}

TEST(PasteboardCleanerTest, TransformRunsLastAndEmptyResultIsNoText) {
    PasteboardCleaner cleaner({}, false, OutputFormat::plain);
    cleaner.transform = [](std::string_view s) { return std::string(s) + "!"; };
    EXPECT_EQ(cleaner.render(ClipboardSnapshot(" hi ", {}, {}, {}))->string, "hi!");
    cleaner.transform = [](std::string_view) { return std::string(); };
    MemoryPasteboard pasteboard({{std::string(pt::string), "hi"}});
    EXPECT_EQ(cleaner.clean(pasteboard, false), CleanOutcome::skipped(SkipReason::noText));
}

TEST(PasteboardCleanerTest, FootnotesNeedFootnoteMarkup) {
    // Code copied from a page keeps its brackets; a page with superscript markers loses them.
    ClipboardSnapshot code("a[i] = x[1];", "<pre>a[i] = x[1];</pre>", {}, {});
    EXPECT_EQ(renderString(OutputFormat::plain, code), "a[i] = x[1];");
    ClipboardSnapshot article("Paris is big.[1]", "<p>Paris is big.<sup>[1]</sup></p>", {}, {});
    EXPECT_EQ(renderString(OutputFormat::plain, article), "Paris is big.");
    ClipboardSnapshot rtf("Word[2] here", {}, "{\\rtf1 Word{\\super [2]} here}", {});
    EXPECT_EQ(renderString(OutputFormat::plain, rtf), "Word here");
    ClipboardSnapshot plainOnly("Word[2] here", {}, {}, {});
    EXPECT_EQ(renderString(OutputFormat::plain, plainOnly), "Word[2] here");
}

TEST(PasteboardCleanerTest, MarkdownKeepsFootnoteLikeCode) {
    EXPECT_EQ(PasteboardCleaner::removeFootnotesOutsideCode("x[1] `a[i]` y[2]\n```\nb[j]\n```\nz[3]"),
              "x `a[i]` y\n```\nb[j]\n```\nz");
    EXPECT_EQ(PasteboardCleaner::removeFootnotesOutsideCode("``a[1]`` and ~~~\nq[1]"), "``a[1]`` and ~~~\nq");
    EXPECT_EQ(PasteboardCleaner::removeFootnotesOutsideCode("~~~\nopen[1]"), "~~~\nopen[1]");
}

TEST(PasteboardCleanerTest, DeclaredSource) {
    EXPECT_EQ(PasteboardCleaner::declaredSource(
                  MemoryPasteboard({{std::string(pt::sourceType), "com.example.app"}})),
              "com.example.app");
    EXPECT_EQ(PasteboardCleaner::declaredSource(MemoryPasteboard({{std::string(pt::string), "x"}})),
              std::nullopt);
}

TEST(PasteboardCleanerTest, WordProcessorCopiesFromTheSharedCorpus) {
    auto markdownOf = [](const std::string& name) -> std::optional<std::string> {
        std::ifstream in(std::string(DZ_SHARED_DIR) + "/corpus/html/" + name);
        if (!in)
            return std::nullopt;
        std::stringstream html;
        html << in.rdbuf();
        return renderString(OutputFormat::markdown,
                            ClipboardSnapshot(std::nullopt, html.str(), std::nullopt, std::nullopt));
    };
    auto code = markdownOf("clip-gdocs-code-blocks.html");
    if (!code)
        GTEST_SKIP() << "shared HTML corpus not found beside the checkout";
    // Monospace paragraphs in fences, brackets kept.
    EXPECT_NE(code->find("```\nfor ( const i = 0 ; i < someList. length ; i++) {\n"), std::string::npos)
        << *code;
    EXPECT_NE(code->find("doSomething(someList[i]);\n}\n```"), std::string::npos) << *code;
    auto lists = markdownOf("clip-gdocs-lists.html");
    ASSERT_TRUE(lists);
    EXPECT_NE(lists->find("- [x] ~~This is~~\n- [ ] A checklist."), std::string::npos) << *lists;
    // Word's list paragraphs as list items, not "·" lines.
    auto word = markdownOf("clip-word2016-list-resume-template.html");
    ASSERT_TRUE(word);
    EXPECT_NE(word->find("- Major: Click here to enter text\n- Minor: Click here to enter text"),
              std::string::npos)
        << *word;
    EXPECT_EQ(word->find("\u00b7"), std::string::npos) << *word;
}

TEST(PasteboardCleanerTest, WideSpansCannotBlowUpTheRowLines) {
    // Every row asks for 999 empty fields: a copy of 80 KB would otherwise
    // write two million tabs.
    std::string html = "<table>";
    for (int i = 0; i < 2000; ++i) html += "<tr><td colspan=1000>x</td><td>y</td></tr>";
    html += "</table>";
    ClipboardSnapshot snapshot(std::nullopt, html, std::nullopt, std::nullopt);
    for (OutputFormat format : {OutputFormat::plain, OutputFormat::plainWithLinks}) {
        auto text = renderString(format, snapshot);
        ASSERT_TRUE(text);
        EXPECT_LT(text->size(), 200'000u);
        EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 1999);
        EXPECT_TRUE(text->ends_with("x\ty")) << "every row keeps its cells";
    }
}
