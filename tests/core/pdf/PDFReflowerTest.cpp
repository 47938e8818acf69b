#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/pdf/PDFReflower.h"
#include "core/text/Regex.h"
#include "core/text/Unicode.h"

using namespace dz;

namespace {

// A dictionary of a few words that counts its look-ups.
struct FakeDictionary {
    std::set<std::string, std::less<>> words;
    std::shared_ptr<int> calls = std::make_shared<int>(0);
    PDFReflower::WordPredicate predicate() const {
        return [words = words, calls = calls](std::string_view s) {
            ++*calls;
            return words.count(s) > 0;
        };
    }
};

std::string reflow(std::string_view text, PDFReflower::WordPredicate isWord = {}) {
    return PDFReflower(PDFOptions::defaultValue(), std::move(isWord)).reflow(text);
}

std::string lines(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (auto p : parts) {
        if (!out.empty())
            out.push_back('\n');
        out.append(p);
    }
    return out;
}

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

}  // namespace

TEST(PDFReflowerTest, JoinsWrappedLinesAndKeepsParagraphs) {
    EXPECT_EQ(
        reflow(lines({"The quick brown fox jumps over", "the lazy dog and keeps running", "far away."})),
        "The quick brown fox jumps over the lazy dog and keeps running far away.");
    EXPECT_EQ(reflow("First paragraph line\r\nstill first.\n\n\n\n  Second   paragraph  \n"),
              "First paragraph line still first.\n\nSecond paragraph");
    EXPECT_EQ(reflow(""), "");
    EXPECT_EQ(reflow("\n\n \t\n"), "");
    // Three short lines are one paragraph, whatever they look like.
    EXPECT_EQ(reflow("Title.\nShort\nEnd."), "Title. Short End.");
}

TEST(PDFReflowerTest, ShortLinesBreakParagraphsOnlyAtSentenceEnds) {
    const std::string a = "This line is long enough to set the typical length here,";
    const std::string b = "and this one is about as long as the line before it is.";
    EXPECT_EQ(reflow(lines({a, b, "A short end.", "Next paragraph starts here and runs on for a while", b})),
              a + " " + b + " A short end.\n\nNext paragraph starts here and runs on for a while " + b);
    EXPECT_EQ(reflow(lines({a, b, "a short line", "continues in lowercase and runs on for a while", b})),
              a + " " + b + " a short line continues in lowercase and runs on for a while " + b);
    // A capital after a short line without end punctuation breaks too.
    EXPECT_EQ(reflow(lines({a, b, "Heading", "Body text that runs on for quite a while here", b})),
              a + " " + b + " Heading\n\nBody text that runs on for quite a while here " + b);
    // A curly quote ends a sentence; a combining mark on it makes another character.
    EXPECT_EQ(reflow(lines({a, b, "he said \u201Cno.\u201D", "then left the room quietly for a while", b})),
              a + " " + b + " he said \u201Cno.\u201D\n\nthen left the room quietly for a while " + b);
    EXPECT_EQ(reflow(lines({a, b, "he said no.\u0301", "then left the room quietly for a while", b})),
              a + " " + b + " he said no.\u0301 then left the room quietly for a while " + b);
}

TEST(PDFReflowerTest, ListItemsStayOnTheirOwnLines) {
    EXPECT_EQ(
        reflow(lines({"Shopping:", "\u2022 milk", "1. eggs", "(b) flour", "iv) sugar", "\u2022butter"})),
        "Shopping:\n\u2022 milk\n1. eggs\n(b) flour\niv) sugar \u2022butter");
    EXPECT_EQ(reflow(lines({"Steps", "\u2013 one", "* two", "(12) three", "ivxl. no", "abc. no"})),
              "Steps\n\u2013 one\n* two\n(12) three ivxl. no abc. no");
    EXPECT_TRUE(PDFReflower::isListLine("\u25BA\u00A0arrow"));
    EXPECT_FALSE(PDFReflower::isListLine("(1234) too many digits"));
}

TEST(PDFReflowerTest, ListPrecheckAgreesWithThePattern) {
    const std::vector<std::string> alphabet = {"(",      ")",      ".", "1",  "\u0661", "a",
                                               "i",      "V",      "x", " ",  "\u00a0", "-",
                                               "\u2022", "\u25BA", "*", "\t", "z",      "\u0301"};
    for (const auto& s : randomStrings(alphabet, 30000, 9, 3))
        ASSERT_EQ(PDFReflower::isListLine(s), PDFReflower::listRegex().contains(s)) << s;
}

TEST(PDFReflowerTest, DehyphenationWithADictionary) {
    FakeDictionary dict{{"example", "well", "known", "self"}};
    auto isWord = dict.predicate();
    EXPECT_EQ(reflow("an exam-\nple", isWord), "an example");
    EXPECT_EQ(reflow("a well-\nknown fact", isWord), "a well-known fact");  // joined form unknown, head known
    EXPECT_EQ(reflow("xyz-\nknown", isWord), "xyz-known");                  // tail known
    EXPECT_EQ(reflow("foo-\nbar", isWord), "foobar");                       // neither known
    EXPECT_EQ(reflow("Anglo-\nSaxon", isWord), "Anglo-Saxon");              // capital keeps the hyphen
    EXPECT_EQ(reflow("exam\u2010\nple", isWord), "example");
    EXPECT_EQ(reflow("well\u2010\nknown", isWord), "well-known");  // written as an ASCII hyphen
    EXPECT_EQ(reflow("infor\u00AD\nmation and chil\u00AC\ndren", isWord), "information and children");
    EXPECT_EQ(reflow("in 1990-\n2000", isWord), "in 1990- 2000");  // not after a letter
    EXPECT_EQ(reflow("a -\nb", isWord), "a - b");
    EXPECT_EQ(reflow("-\nb", isWord), "- b");  // one character is too short to split a word
    // Without a dictionary a lowercase continuation always joins.
    EXPECT_EQ(reflow("a well-\nknown fact"), "a wellknown fact");
    // Only the runs of letters are looked up, each at most once.
    FakeDictionary counting{{"example"}};
    PDFReflower r(PDFOptions::defaultValue(), counting.predicate());
    EXPECT_EQ(r.dehyphenatedJoin("(exam-", "ple)."), (PDFReflower::Join{5, "ple)."}));
    EXPECT_EQ(*counting.calls, 1);
    *counting.calls = 0;
    EXPECT_EQ(r.dehyphenatedJoin("x.foo-", "bar, y"), (PDFReflower::Join{5, "bar, y"}));
    EXPECT_EQ(*counting.calls, 3);
}

TEST(PDFReflowerTest, DehyphenationCountsCharacters) {
    PDFReflower r;
    // Decomposed letters: the hyphen follows a letter with its accent.
    EXPECT_EQ(r.dehyphenatedJoin("cafe\u0301-", "s"), (PDFReflower::Join{4, "s"}));
    EXPECT_EQ(reflow("cafe\u0301-\ns"), "cafe\u0301s");
    // A hyphen carrying a combining mark is not a hyphen.
    EXPECT_EQ(r.dehyphenatedJoin("ab-\u0301", "c"), std::nullopt);
    EXPECT_EQ(r.dehyphenatedJoin("a-", ""), std::nullopt);
    EXPECT_EQ(r.dehyphenatedJoin("\u00e9-", "t\u00e9"), (PDFReflower::Join{1, "t\u00e9"}));
    PDFOptions off;
    off.dehyphenate = false;
    EXPECT_EQ(PDFReflower(off).reflow("exam-\nple"), "exam- ple");
}

TEST(PDFReflowerTest, PageNumbers) {
    std::vector<std::string> text;
    for (int i = 0; i < 40; ++i)
        text.push_back("Body line number " + std::to_string(i) + " of the document text");
    text[13] = "Page 3";
    text[27] = "\u2013 4 \u2013";
    std::string joined;
    for (auto& l : text) joined += l + "\n";
    std::string out = reflow(joined);
    EXPECT_EQ(out.find("Page 3"), std::string::npos);
    EXPECT_EQ(out.find("\u2013 4"), std::string::npos);
    EXPECT_NE(out.find("number 39"), std::string::npos);

    std::vector<std::string_view> twenty;
    for (int i = 0; i < 17; ++i) twenty.push_back("text");
    twenty.insert(twenty.begin() + 3, "12");
    twenty.insert(twenty.begin() + 9, "13");
    twenty.insert(twenty.begin() + 15, "14");
    EXPECT_EQ(PDFReflower::removePageNumberLines(twenty), twenty);  // three of twenty: content
    twenty.erase(twenty.begin() + 15);
    EXPECT_EQ(PDFReflower::removePageNumberLines(twenty).size(), 17u);
    std::vector<std::string_view> few{"1", "", "text", "2", ""};
    EXPECT_EQ(PDFReflower::removePageNumberLines(few), few);

    for (std::string_view line : {"12", "p. 4", "PAGE 7 of 20", "Seite 3 von 9", "- 12 -", "\u2014 5 \u2014",
                                  "3 / 10", "page  12", "7\u00a0"})
        EXPECT_TRUE(PDFReflower::isPageNumberLine(line)) << line;
    for (std::string_view line : {"12345", "page", "p 4", "4 of", "Chapter 3", "1.5", "12x"})
        EXPECT_FALSE(PDFReflower::isPageNumberLine(line)) << line;
}

TEST(PDFReflowerTest, PageNumberPatternAcceptsWhatTheOriginalDoes) {
    const Regex original(
        "^(?:(?:page|seite|p\\.)\\s*)?[-\u2013\u2014]?\\s*\\d{1,4}\\s*[-\u2013\u2014]?(?:\\s*(?:of|/"
        "|von)\\s*\\d{1,4})?$",
        UREGEX_CASE_INSENSITIVE);
    const std::vector<std::string> alphabet = {"page", "Seite", "p.",     "\u017F", " ",      "\t", "\u00a0",
                                               "1",    "23",    "\u0663", "-",      "\u2013", "of", "/",
                                               "von",  "x",     "P",      "s",      "\u0085"};
    size_t accepted = 0;
    for (const auto& s : randomStrings(alphabet, 40000, 7, 5)) {
        bool expected = original.matchesWhole(s);
        ASSERT_EQ(PDFReflower::isPageNumberLine(s), expected) << s;
        accepted += expected;
    }
    EXPECT_GT(accepted, 200u);
    // Long runs of white space that end in a mismatch stay linear.
    std::string hostile = "page" + std::string(30000, '\t') + "1" + std::string(30000, '\t') + "of" +
                          std::string(30000, '\t') + "of";
    EXPECT_FALSE(PDFReflower::isPageNumberLine(hostile));
    EXPECT_TRUE(PDFReflower::isPageNumberLine("page" + std::string(30000, '\t') + "1"));
}

TEST(PDFReflowerTest, GlyphsAndLengths) {
    EXPECT_EQ(PDFReflower::fixGlyphs(
                  "\uFB01nd \uFB00 \uFB02 \uFB03 \uFB04 \uFB05 \uFB06 \uF0B7 \uF06C \uF0FC \uFB07"),
              "find ff fl ffi ffl st st \u2022 \u2022 \u2022 \uFB07");
    EXPECT_EQ(PDFReflower::fixGlyphs(""), "");
    EXPECT_EQ(reflow("\uF0B7 \uFB01rst"), "\u2022 first");
    PDFOptions off;
    off.fixLigatures = false;
    EXPECT_EQ(PDFReflower(off).reflow("\uF0B7 \uFB01rst"), "\uF0B7 \uFB01rst");

    EXPECT_EQ(PDFReflower::typicalLineLength({}), 0u);
    EXPECT_EQ(PDFReflower::typicalLineLength({"", "abc"}), 3u);
    // Ten lengths 1..10: index 8 holds 9.
    std::vector<std::string> ten;
    for (int i = 1; i <= 10; ++i) ten.push_back(std::string(static_cast<size_t>(i), 'x'));
    EXPECT_EQ(PDFReflower::typicalLineLength({ten.begin(), ten.end()}), 9u);
    EXPECT_EQ(PDFReflower::typicalLineLength({"e\u0301e\u0301", "\U0001F1E9\U0001F1EA"}), 2u);
}

TEST(PDFReflowerTest, SwitchesOff) {
    PDFOptions off{false, false, false};
    std::string text = lines({"line one of text here", "1", "line two of text here", "2", "line three", "3",
                              "line four of text", "ex-", "ample"});
    EXPECT_EQ(PDFReflower(off).reflow(text),
              "line one of text here 1 line two of text here 2 line three 3 line four of text ex- ample");
}

TEST(PDFReflowerTest, LineLengthsAreUserPerceivedCharacters) {
    // Code points that join neighbours, mixed with ones that stand alone.
    const std::vector<std::string> alphabet = {
        "a",      "\u00e9", "e",      "\u0301", "\r",         "\n",         "\u1100", "\u1161",
        "\u11a8", "\uac00", "\u0600", "\u0903", "\U0001F1E9", "\U0001F1EA", "\u200d", "\U0001F469",
        "\u4e2d", "\u0085", "\x01",   " ",      "\u200b",     "\U0001F3FD", "-"};
    for (const auto& s : randomStrings(alphabet, 5000, 8, 9)) {
        if (s.empty())
            continue;
        ASSERT_EQ(PDFReflower::typicalLineLength({s}), unicode::characterCount(s)) << s;
    }
}
