#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/text/Regex.h"
#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

using namespace dz;

namespace {

CleaningOptions allOff() {
    CleaningOptions o;
    o.removeInvisibleCharacters = o.normalizeSpaces = o.removeFootnoteReferences = o.removeMailtoPrefix =
        o.normalizeQuotes = o.normalizeNewlines = o.normalizeLists = o.trimWhitespace =
            o.removeTrackingParameters = o.unwrapRedirectLinks = false;
    return o;
}

std::string clean(std::string_view text, bool rich = false) {
    return TextCleaner().clean(text, rich);
}

// Random strings over a small alphabet, so that the interesting characters
// meet often.
std::vector<std::string> randomStrings(const std::vector<std::string>& alphabet, size_t count,
                                       size_t maxLength, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1), length(0, maxLength);
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        std::string s;
        for (size_t k = length(rng); k > 0; --k) s += alphabet[pick(rng)];
        out.push_back(s);
    }
    return out;
}

// All groups of the first match, or nothing.
std::optional<std::vector<std::string>> groups(const Regex& regex, const std::string& text) {
    icu::UnicodeString u = unicode::toICU(text);
    auto m = regex.matcher(u);
    UErrorCode status = U_ZERO_ERROR;
    if (!m || !m->find(status) || U_FAILURE(status))
        return std::nullopt;
    std::vector<std::string> out;
    for (int g = 0; g <= m->groupCount(); ++g) out.push_back(unicode::fromICU(m->group(g, status)));
    return out;
}

}  // namespace

TEST(TextCleanerTest, LineEndings) {
    EXPECT_EQ(TextCleaner::normalizeLineEndings("a\r\nb\rc"), "a\nb\nc");
    EXPECT_EQ(TextCleaner::normalizeLineEndings("a\r\r\nb\u2028c\u2029d\ve\ff"), "a\n\nb\nc\nd\ne\nf");
    EXPECT_EQ(TextCleaner::normalizeLineEndings("plain\ntext \u2027\u202a"), "plain\ntext \u2027\u202a");
    EXPECT_EQ(clean("a\r\nb\rc"), "a\nb\nc");
}

TEST(TextCleanerTest, InvisiblesAndSpaces) {
    EXPECT_EQ(TextCleaner::removeInvisibles("x\u200by", true, true), "xy");
    EXPECT_EQ(TextCleaner::removeInvisibles("x\u200by", false, true), "x\u200by");
    // Joiners and direction marks stay; controls, soft hyphens and BOMs go.
    const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
    EXPECT_EQ(TextCleaner::removeInvisibles(family, true, true), family);
    EXPECT_EQ(
        TextCleaner::removeInvisibles("a\u200e\u200c\u00adb\ufeff\x01\u0085\u202e\u2066c\t\r\n", true, false),
        "a\u200e\u200cbc\t\r\n");
    EXPECT_EQ(TextCleaner::removeInvisibles("a\vb\fc", true, false), "a\nb\nc");
    EXPECT_EQ(TextCleaner::removeInvisibles("a\vb", false, true), "a\vb");
    EXPECT_EQ(TextCleaner::removeInvisibles("two\u00a0words\u3000and\u2009more", false, true),
              "two words and more");
    EXPECT_EQ(TextCleaner::removeInvisibles("two\u00a0words", true, false), "two\u00a0words");
    // Invalid bytes are not ours to repair: they pass through untouched.
    EXPECT_EQ(TextCleaner::removeInvisibles("a\xff\xc3 b\u200b", true, true), "a\xff\xc3 b");
}

TEST(TextCleanerTest, TagCharactersOnlySurviveInsideFlags) {
    const std::string scotland = "\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F";
    EXPECT_EQ(TextCleaner::removeInvisibles("go " + scotland + "!", true, true), "go " + scotland + "!");
    EXPECT_EQ(TextCleaner::removeInvisibles("a\U000E0041b", true, true), "ab");
    EXPECT_EQ(TextCleaner::removeInvisibles("a\U000E0041b", false, true), "a\U000E0041b");
    // The cancel tag ends the sequence; a further tag is stray.
    EXPECT_EQ(TextCleaner::removeInvisibles(scotland + "\U000E0067", true, true), scotland);
    // Low tags are dropped even inside a flag, and end it.
    EXPECT_EQ(TextCleaner::removeInvisibles("\U0001F3F4\U000E0001\U000E0067", true, true), "\U0001F3F4");
    EXPECT_EQ(TextCleaner::removeInvisibles("\U0001F3F4x\U000E0067", true, true), "\U0001F3F4x");
}

TEST(TextCleanerTest, UnorderedListLines) {
    auto line = [](std::string_view s, std::string_view bullet = "\u2022") {
        return TextCleaner::normalizeListLine(s, bullet);
    };
    EXPECT_EQ(line("\t\u2022\tItem"), "\u2022 Item");
    EXPECT_EQ(line("\t\u25aa\tDeep"), "    \u2022 Deep");
    EXPECT_EQ(line("\u25aa Deep"), "\u2022 Deep");
    EXPECT_EQ(line("    \u25e6 Sub", "-"), "    - Sub");     // level from the indent
    EXPECT_EQ(line("\t\t\u25cf  Other", "*"), "  * Other");  // other bullets: indent level
    EXPECT_EQ(line("- item"), std::nullopt);
    EXPECT_EQ(line("\t-\titem"), "\u2022 item");
    EXPECT_EQ(line("\t\u2013\titem", "-"), "- item");
    EXPECT_EQ(line("\t- item"), std::nullopt);  // gap without a tab
    EXPECT_EQ(line("\u2022Item"), std::nullopt);
    EXPECT_EQ(line("\t\u2022\t"), "\u2022 ");         // empty content still qualifies
    EXPECT_EQ(line("\u2022 \u0085x"), std::nullopt);  // a line terminator inside the content
    EXPECT_EQ(line("\u2022 x\r"), "\u2022 x");        // "$" matches before a final terminator
    EXPECT_EQ(TextCleaner::indentLevel(""), 0);
    EXPECT_EQ(TextCleaner::indentLevel("\t"), 0);
    EXPECT_EQ(TextCleaner::indentLevel("\t\t"), 1);
    EXPECT_EQ(TextCleaner::indentLevel("\t  "), 1);
    EXPECT_EQ(TextCleaner::indentLevel("     "), 2);
}

TEST(TextCleanerTest, OrderedListLines) {
    auto line = [](std::string_view s) { return TextCleaner::normalizeListLine(s, "\u2022"); };
    EXPECT_EQ(line("\t3)\tStep"), "3) Step");
    EXPECT_EQ(line("\tb\tNext"), "b. Next");
    EXPECT_EQ(line("\t\tiv.\tFourth"), "  iv. Fourth");
    EXPECT_EQ(line("\t2024.\tYear"), "2024. Year");
    EXPECT_EQ(line("\t12345.\tToo long"), std::nullopt);
    EXPECT_EQ(line("1.\tFirst"), std::nullopt);
    EXPECT_EQ(line("\t1. First"), std::nullopt);
    EXPECT_EQ(TextCleaner::normalizeLists("Intro\n\t1.\tOne\n\t\t\u25e6\tSub\nEnd", "-"),
              "Intro\n1. One\n  - Sub\nEnd");
    EXPECT_EQ(TextCleaner::normalizeLists("no list here\n- dash", "*"), "no list here\n- dash");
}

TEST(TextCleanerTest, ListMatchersGiveTheGroupsOfThePatterns) {
    const Regex unordered("^([ \\t]*)(\\S)([ \\t]+)(.*)$");
    const Regex ordered("^([ \\t]*)(\\d{1,4}|[A-Za-z]|[ivxlcdmIVXLCDM]{1,6})([.)]?)(\\t+|[ \\t]+)(.*)$");
    auto asGroups = [](std::string_view line, const std::optional<TextCleaner::ListLineMatch>& m,
                       bool isOrdered) -> std::optional<std::vector<std::string>> {
        if (!m)
            return std::nullopt;
        std::vector<std::string> g{std::string(line), std::string(m->indent), std::string(m->marker)};
        if (isOrdered)
            g.emplace_back(m->punctuation);
        g.emplace_back(m->gap);
        g.emplace_back(m->content);
        // Group 0 is the whole match, which stops before a final terminator.
        g[0] = g[0].substr(0, static_cast<size_t>(m->content.data() + m->content.size() - line.data()));
        return g;
    };
    const std::vector<std::string> alphabet = {
        " ",  "\t",     "1",      "9",      "\u0663", "a",  "i",   "v",      "x",
        "M",  ".",      ")",      "-",      "\u2022", "\r", "\n",  "\u0085", "\v",
        "\f", "\u2028", "\u00a0", "\u3000", "\u200b", "z",  "\x1c"};
    size_t matched = 0;
    for (const auto& s : randomStrings(alphabet, 40000, 12, 7)) {
        auto a = groups(unordered, s);
        ASSERT_EQ(a, asGroups(s, TextCleaner::matchUnorderedLine(s), false)) << "unordered: " << s;
        auto b = groups(ordered, s);
        ASSERT_EQ(b, asGroups(s, TextCleaner::matchOrderedLine(s), true)) << "ordered: " << s;
        matched += (a ? 1 : 0) + (b ? 1 : 0);
    }
    EXPECT_GT(matched, 1000u);  // the sample exercises both outcomes
}

TEST(TextCleanerTest, ListMatchersUseTheUnicodeClassesOfThePatterns) {
    // \S and \d over every code point, each in a line where it decides the match.
    const Regex unordered("^([ \\t]*)(\\S)([ \\t]+)(.*)$");
    const Regex ordered("^([ \\t]*)(\\d{1,4}|[A-Za-z]|[ivxlcdmIVXLCDM]{1,6})([.)]?)(\\t+|[ \\t]+)(.*)$");
    // The first three planes hold every digit and space; the tags plane holds odd format characters.
    for (char32_t c = 1; c <= 0xE01EF; ++c) {
        if ((c >= 0xD800 && c <= 0xDFFF) || (c >= 0x30000 && c < 0xE0000))
            continue;
        std::string marker;
        unicode::appendCodePoint(marker, c);
        std::string line = marker + " x";
        ASSERT_EQ(unordered.contains(line), TextCleaner::matchUnorderedLine(line).has_value())
            << static_cast<uint32_t>(c);
        ASSERT_EQ(ordered.contains(line), TextCleaner::matchOrderedLine(line).has_value())
            << static_cast<uint32_t>(c);
    }
}

TEST(TextCleanerTest, HostileListLineIsLinear) {
    // With the patterns as first written this line takes seconds.
    std::string hostile = "\t1" + std::string(30000, '\t') + "\u0085more text";
    EXPECT_EQ(TextCleaner::normalizeListLine(hostile, "\u2022"), std::nullopt);
    EXPECT_EQ(TextCleaner::normalizeLists(hostile + "\n" + hostile, "-"), hostile + "\n" + hostile);
    std::string unordered = "\t\u2022" + std::string(30000, '\t') + "\u0085x";
    EXPECT_EQ(TextCleaner::normalizeListLine(unordered, "-"), std::nullopt);
    std::string fine = "\t1" + std::string(30000, '\t') + "x";
    EXPECT_EQ(TextCleaner::normalizeListLine(fine, "-"), "1. x");
}

TEST(TextCleanerTest, FootnotesOnlyFromRichSources) {
    EXPECT_EQ(clean("word[12] and claim[citation needed].", true), "word and claim.");
    EXPECT_EQ(clean("word[12] and claim[citation needed].", false), "word[12] and claim[citation needed].");
    EXPECT_EQ(clean("see [1](link)", true), "see [1](link)");
    EXPECT_EQ(clean("see[1](link)", true), "see[1](link)");
    EXPECT_EQ(clean("Fact.[Note 3][a][IV][Dubious \u2013 discuss] more[who?] [2]", true), "Fact. more [2]");
    EXPECT_EQ(TextCleaner::removeFootnotes("[1]x\u00e9[2]\U0001F600[3]\u00a0[4]"),
              "[1]x\u00e9\U0001F600\u00a0[4]");
    EXPECT_EQ(TextCleaner::removeFootnotes("a[[1]][x1] b[12345]"), "a[][x1] b[12345]");
    EXPECT_EQ(TextCleaner::removeFootnotes("x[DUBIOUS - discuss] y[nb 12][n7][note 12345]"),
              "x y[note 12345]");
}

TEST(TextCleanerTest, FootnoteWindowsMatchTheWholeTextPattern) {
    const std::vector<std::string> alphabet = {
        "a", "[",  "]",      "1",      "n",      "o",      "t",    "e",    " ",       "(",          "x",
        "N", "iv", "\u2013", "\u00e9", "\u0301", "\u0345", "who?", "\x01", "Dubious", " - discuss", "\u212a"};
    for (const auto& s : randomStrings(alphabet, 40000, 10, 11))
        ASSERT_EQ(TextCleaner::removeFootnotes(s), TextCleaner::footnoteRegex().replaceAll(s, "")) << s;
}

TEST(TextCleanerTest, QuotesAndMailto) {
    EXPECT_EQ(clean("\u201cHi\u201d, \u2018it\u2019s\u2019 \u201e\u201f\u201a\u201b \u00abok\u00bb"),
              "\"Hi\", 'it's' \"\"'' \u00abok\u00bb");
    EXPECT_EQ(TextCleaner::removeMailto("Write to mailto:jane%40example.com?subject=Hi%20there today"),
              "Write to jane@example.com today");
    EXPECT_EQ(TextCleaner::removeMailto("<MAILTO:bob@example.org>, Mailto:x@y.z"),
              "<bob@example.org>, x@y.z");
    EXPECT_EQ(TextCleaner::removeMailto("bad mailto:a%zzb@c.d"), "bad a%zzb@c.d");
    EXPECT_EQ(TextCleaner::removeMailto("xmailto:a@b.c"), "xmailto:a@b.c");  // no word boundary
    EXPECT_EQ(TextCleaner::removeMailto("mailto: nobody"), "mailto: nobody");
}

TEST(TextCleanerTest, TidyAndTrim) {
    EXPECT_EQ(TextCleaner::tidyLines("a  \n\n\n\n b"), "a\n\n b");
    EXPECT_EQ(TextCleaner::tidyLines("a \t\n \t\n\t\nb\t"), "a\n\nb");
    EXPECT_EQ(TextCleaner::tidyLines("a\r  \nb"), "a\r\nb");
    EXPECT_EQ(clean("\n\n  \u00a0Hello  \n\n"), "Hello");
    TextCleaner keep(allOff());
    EXPECT_EQ(keep.clean("\n\n  Hello  \n\n", true), "\n\n  Hello  \n\n");
}

TEST(TextCleanerTest, SwitchesOffLeaveTextAlone) {
    const std::string text =
        "\r\n \u201cq\u201d x\u200by\u00a0z\n\t-\titem\nword[1] mailto:a%40b.c  \n\n\n\nend \r\n";
    EXPECT_EQ(TextCleaner(allOff()).clean(text, true), text);
    EXPECT_EQ(clean(text, true), "\"q\" xy z\n\u2022 item\nword a@b.c\n\nend");
}

TEST(TextCleanerTest, LinksInTheTextAreCleaned) {
    const std::string text = "Read https://example.com/a?utm_source=x&id=3 now.";
    EXPECT_EQ(clean(text), "Read https://example.com/a?id=3 now.");
    CleaningOptions keep;
    keep.removeTrackingParameters = keep.unwrapRedirectLinks = false;
    EXPECT_EQ(TextCleaner(keep).clean(text, false), text);
}
