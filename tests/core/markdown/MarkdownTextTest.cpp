#include <gtest/gtest.h>

#include <string>

#include "core/markdown/MarkdownText.h"

using dz::CleaningOptions;
using dz::MarkdownText;

namespace {

std::string escapeEmphasis(std::string_view text) {
    return MarkdownText::emphasisStartRegex().replaceAll(text, "$1\\\\$2");
}

CleaningOptions noLinkCleaning() {
    CleaningOptions options;
    options.removeTrackingParameters = false;
    options.unwrapRedirectLinks = false;
    return options;
}

}  // namespace

TEST(MarkdownTextTest, TidyInline) {
    EXPECT_EQ(MarkdownText::tidyInline("  a \n\tb   c \t"), "a\nb c");
    EXPECT_EQ(MarkdownText::tidyInline("a\t\tb  \t  c"), "a\t\tb \t c");
    EXPECT_EQ(MarkdownText::tidyInline("a \t \n \n  b"), "a\n\nb");
    EXPECT_EQ(MarkdownText::tidyInline("\u00a0x\u3000"), "x");
    EXPECT_EQ(MarkdownText::tidyInline(" \n "), "");
    // A long blank run stays linear and folds to one space.
    EXPECT_EQ(MarkdownText::tidyInline("a" + std::string(200000, ' ') + "b"), "a b");
}

TEST(MarkdownTextTest, WrapKeepsWhiteSpaceOutside) {
    EXPECT_EQ(MarkdownText::wrap(" bold ", "**"), " **bold** ");
    EXPECT_EQ(MarkdownText::wrap("\n a b\u00a0", "_"), "\n _a b_\u00a0");
    EXPECT_EQ(MarkdownText::wrap("   ", "**"), "   ");
    EXPECT_EQ(MarkdownText::wrap("", "~~"), "");
}

TEST(MarkdownTextTest, CodeSpan) {
    EXPECT_EQ(MarkdownText::codeSpan("a\n  b"), "`a b`");
    EXPECT_EQ(MarkdownText::codeSpan("\ta`b "), "`` a`b ``");
    EXPECT_EQ(MarkdownText::codeSpan(" \n\t"), "");
    EXPECT_EQ(MarkdownText::codeSpan("x\u2003y"), "`x y`");
}

TEST(MarkdownTextTest, CodeBlock) {
    EXPECT_EQ(MarkdownText::codeBlock("\n\nint x;\n\n\n"), "```\nint x;\n```");
    EXPECT_EQ(MarkdownText::codeBlock("  a\n", "swift"), "```swift\n  a\n```");
    EXPECT_EQ(MarkdownText::codeBlock("say ```hi```"), "~~~\nsay ```hi```\n~~~");
    EXPECT_EQ(MarkdownText::codeBlock(""), "```\n\n```");
}

TEST(MarkdownTextTest, IndentContinuation) {
    EXPECT_EQ(MarkdownText::indentContinuation("a\n\nc", 3), "a\n\n   c");
    EXPECT_EQ(MarkdownText::indentContinuation("a\nb\n", 2), "a\n  b\n");
    EXPECT_EQ(MarkdownText::indentContinuation("", 2), "");
}

TEST(MarkdownTextTest, EmphasisStartRegexFindsOpeningMarkers) {
    EXPECT_EQ(escapeEmphasis("*bold* and _x_"), "\\*bold* and \\_x_");
    EXPECT_EQ(escapeEmphasis("a * b snake_case"), "a * b snake_case");
    EXPECT_EQ(escapeEmphasis("(*x) [_y] {*z} \"*q\" '_r'"), "(\\*x) [\\_y] {\\*z} \"\\*q\" '\\_r'");
    EXPECT_EQ(escapeEmphasis("x\u00a0*y"), "x\u00a0\\*y");
}

TEST(MarkdownTextTest, LinkToWebAddress) {
    CleaningOptions off = noLinkCleaning();
    EXPECT_EQ(MarkdownText::link("Example", "https://example.com/a", off),
              "[Example](https://example.com/a)");
    EXPECT_EQ(MarkdownText::link(" https://example.com/ ", "https://example.com/", off),
              " https://example.com/ ");
    EXPECT_EQ(MarkdownText::link("example.com/", "https://example.com/", off), "https://example.com/");
    EXPECT_EQ(MarkdownText::link("example.com", "https://example.com/", off), "https://example.com/");
    EXPECT_EQ(MarkdownText::link("https://example.com", "https://example.com/", off),
              "[https://example.com](https://example.com/)");
    EXPECT_EQ(MarkdownText::link("x", " //cdn.example.com/a b(1) ", off),
              "[x](https://cdn.example.com/a%20b%281%29)");
    EXPECT_EQ(MarkdownText::link("a [b]", "http://e.com", off), "[a \\[b\\]](http://e.com)");
    EXPECT_EQ(MarkdownText::link("![pic](https://e.com/p.png)", "http://e.com", off),
              "[![pic](https://e.com/p.png)](http://e.com)");
    EXPECT_EQ(MarkdownText::link("two\nlines", "http://e.com", off), "[two lines](http://e.com)");
}

TEST(MarkdownTextTest, LinkDropsOtherAddressesAndEmptyText) {
    CleaningOptions off = noLinkCleaning();
    EXPECT_EQ(MarkdownText::link(" text ", "/relative", off), " text ");
    EXPECT_EQ(MarkdownText::link("text", "#top", off), "text");
    EXPECT_EQ(MarkdownText::link("text", "javascript:alert(1)", off), "text");
    EXPECT_EQ(MarkdownText::link("  ", "https://e.com", off), "  ");
    EXPECT_EQ(MarkdownText::link(" \n", "https://e.com", off), " \n");
}

TEST(MarkdownTextTest, LinkToMailAddress) {
    CleaningOptions off = noLinkCleaning();
    EXPECT_EQ(MarkdownText::link("a.b@example.com", "mailto:a.b@example.com", off), "a.b@example.com");
    EXPECT_EQ(MarkdownText::link("j@e.com", "MAILTO:j%40e.com", off), "j@e.com");
    EXPECT_EQ(MarkdownText::link("Write", "mailto:j@e.com", off), "[Write](mailto:j@e.com)");
    // A malformed escape decodes to nothing, so the label never matches.
    EXPECT_EQ(MarkdownText::link("j%zz", "mailto:j%zz", off), "[j%zz](mailto:j%zz)");
    EXPECT_EQ(MarkdownText::link("j", "mailto:j%zz", off), "[j](mailto:j%zz)");
}

TEST(MarkdownTextTest, LinkCleansTheAddressBeforeComparing) {
    CleaningOptions on;
    std::string href = "https://example.com/page?utm_source=news&id=3";
    EXPECT_EQ(MarkdownText::link("Page", href, on), "[Page](https://example.com/page?id=3)");
    EXPECT_EQ(MarkdownText::link("example.com/page?id=3", href, on), "https://example.com/page?id=3");
    EXPECT_EQ(MarkdownText::link(href, href, on), "https://example.com/page?id=3");
}
