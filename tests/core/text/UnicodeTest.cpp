#include <gtest/gtest.h>

#include "core/text/Unicode.h"

using namespace dz::unicode;

TEST(UnicodeTest, StrictDecoders) {
    EXPECT_TRUE(isValidUTF8("a\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUTF8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));  // encoded surrogate
    EXPECT_FALSE(isValidUTF8("\xE2\x82"));      // truncated
    EXPECT_EQ(decodeUTF16(std::string("a\0", 2)), "a");
    EXPECT_EQ(decodeUTF16(std::string("\x3D\xD8\x00\xDE", 4)), "\U0001F600");
    EXPECT_EQ(decodeUTF16(std::string("a\0b", 3)), std::nullopt);
    EXPECT_EQ(decodeLatin1("\xE9\xFF"), "\u00e9\u00ff");
}

TEST(UnicodeTest, TrimmingUsesTheWhiteSpaceSet) {
    EXPECT_EQ(trimWhitespaceAndNewlines("\u3000\n a b\u2029\u00a0"), "a b");
    EXPECT_EQ(trimWhitespace("\u00a0 a\n"), "a\n");
    EXPECT_EQ(trimWhitespace("\u200b"), "\u200b");  // zero-width space is not white space
    EXPECT_TRUE(isBlank(" \t\r\n\u2028"));
    EXPECT_FALSE(isBlank("\u200b"));
}

TEST(UnicodeTest, CharacterCountAndCase) {
    EXPECT_EQ(characterCount("abc"), 3u);
    EXPECT_EQ(characterCount("a\r\nb"), 3u);
    EXPECT_EQ(characterCount("e\u0301x"), 2u);
    EXPECT_EQ(characterCount("\U0001F1E9\U0001F1EA"), 1u);  // a flag
    EXPECT_EQ(lowercased("\u00c9COLE"), "\u00e9cole");
    EXPECT_EQ(uppercased("stra\u00dfe"), "STRASSE");
}
