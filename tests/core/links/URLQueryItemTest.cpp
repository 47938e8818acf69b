#include <gtest/gtest.h>

#include "core/links/URLQueryItem.h"

using dz::URLQueryItem;

TEST(URLQueryItemTest, SplitsAtAmpersandAndFirstEquals) {
    auto items = URLQueryItem::split("a=1=2&b&&%41=%42+c&=");
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].name, "a");
    EXPECT_EQ(items[0].value, "1=2");
    EXPECT_EQ(items[1].name, "b");
    EXPECT_EQ(items[1].value, std::nullopt);
    EXPECT_EQ(items[2].encoded, "");
    EXPECT_EQ(items[3].encoded, "%41=%42+c");
    EXPECT_EQ(items[3].encodedName, "%41");
    EXPECT_EQ(items[3].name, "A");
    EXPECT_EQ(items[3].value, "B+c");
    EXPECT_EQ(items[4].name, "");
    EXPECT_EQ(items[4].value, "");
    EXPECT_TRUE(URLQueryItem::split("").empty());
}

TEST(URLQueryItemTest, PercentDecoding) {
    EXPECT_EQ(URLQueryItem::percentDecode("a+b%20c%e2%82%ac"), "a+b c\xE2\x82\xAC");
    EXPECT_EQ(URLQueryItem::percentDecode("%"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("%4"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("%g1"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("%FF"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("%C3"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("\xFF"), std::nullopt);
    EXPECT_EQ(URLQueryItem::percentDecode("%00"), std::string(1, '\0'));
    // Undecodable text is kept as written in the decoded fields.
    auto items = URLQueryItem::split("%zz=%C3");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "%zz");
    EXPECT_EQ(items[0].value, "%C3");
}
