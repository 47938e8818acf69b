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
    // A fence longer than any backtick run, padded only where a backtick
    // would touch it.
    EXPECT_EQ(MarkdownText::codeSpan("a``b"), "```a``b```");
    EXPECT_EQ(MarkdownText::codeSpan("```x``"), "```` ```x`` ````");
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

TEST(MarkdownTextTest, EscapesEveryDelimiterThatCouldBeEmphasis) {
    struct {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"A **B** C and 2*3*4", "A \\*\\*B\\*\\* C and 2\\*3\\*4"},
        {"snake_case_names, 2 * 3, a _ b", "snake_case_names, 2 * 3, a _ b"},
        {"(_x_) and \u00e9_\u00e9", "(\\_x\\_) and \u00e9\\_\u00e9"},  // outside ASCII both ways are assumed
        {"*start and end_", "\\*start and end\\_"},                    // beyond the ends anything may stand
        {"a `tick`", "a \\`tick\\`"},
        {"no markers", "no markers"},
    };
    for (const auto& c : cases) EXPECT_EQ(MarkdownText::escapeText(c.text), c.escaped) << c.text;
}

TEST(MarkdownTextTest, EscapesLineStartsThatWouldReadAsStructure) {
    EXPECT_EQ(MarkdownText::escapeBlockStart("# a\n###### b\n#\n####### c\n#tag"),
              "\\# a\n\\###### b\n\\#\n####### c\n#tag");
    EXPECT_EQ(MarkdownText::escapeBlockStart("1. a\n2)\tb\n3.14\n1234567890. d\n7."),
              "1\\. a\n2\\)\tb\n3.14\n1234567890. d\n7\\.");
    EXPECT_EQ(MarkdownText::escapeBlockStart("- a\n+\tb\n* c\n-d\n> e\nx > y"),
              "\\- a\n\\+\tb\n\\* c\n-d\n\\> e\nx > y");
    EXPECT_EQ(MarkdownText::escapeBlockStart(""), "");
}

TEST(MarkdownTextTest, JoinsPiecesClosedAndOpenedByTheSameMarkers) {
    auto markers = [](std::initializer_list<std::string_view> list) {
        MarkdownText::Markers m;
        for (auto marker : list) m.add(marker);
        return m;
    };
    std::string out;
    MarkdownText::JoinState state;
    MarkdownText::appendJoined(out, "**a**", markers({"**"}), state);
    MarkdownText::appendJoined(out, "", {}, state);  // an empty element between
    MarkdownText::appendJoined(out, "***b***", markers({"**", "*"}), state);
    EXPECT_EQ(out, "**a*b***");
    MarkdownText::appendJoined(out, " ", {}, state);
    MarkdownText::appendJoined(out, "**c**", markers({"**"}), state);
    MarkdownText::appendJoined(out, " **d**", markers({"**"}), state);  // white space keeps them apart
    MarkdownText::appendJoined(out, "*e*", markers({"*"}), state);
    EXPECT_EQ(out, "**a*b*** **c** **d***e*");
}
