#include <gtest/gtest.h>

#include "core/links/URLComponents.h"

using dz::URLComponents;

TEST(URLComponentsTest, SplitsComponentsAsWritten) {
    auto c = URLComponents::parse("https://user@Example.com:8080/a%20b/c?x=1&y=%2F#frag");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->scheme, "https");
    EXPECT_EQ(c->userInfo, "user");
    EXPECT_EQ(c->host, "Example.com");
    EXPECT_EQ(c->port, "8080");
    EXPECT_EQ(c->path, "/a%20b/c");
    EXPECT_EQ(c->query, "x=1&y=%2F");
    EXPECT_EQ(c->fragment, "frag");
}

TEST(URLComponentsTest, EmptyQueryAndFragment) {
    auto c = URLComponents::parse("http://a.b/p?#");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->path, "/p");
    EXPECT_EQ(c->query, "");
    EXPECT_EQ(c->fragment, "");
    auto noPath = URLComponents::parse("http://a.b?q");
    ASSERT_TRUE(noPath);
    EXPECT_EQ(noPath->path, "");
    EXPECT_EQ(noPath->query, "q");
    EXPECT_EQ(noPath->fragment, std::nullopt);
    auto v6 = URLComponents::parse("http://[::1]:80/x");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->path, "/x");
}

TEST(URLComponentsTest, HostRequirement) {
    EXPECT_FALSE(URLComponents::parse("word")->hasHost());
    EXPECT_FALSE(URLComponents::parse("mailto:a@b.c")->hasHost());
    EXPECT_EQ(URLComponents::parse("http://a b"), std::nullopt);
    EXPECT_EQ(URLComponents::parse("mailto:a@b.c")->path, "a@b.c");
}

TEST(URLComponentsTest, EmptyAuthority) {
    auto bare = URLComponents::parse("http://");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->hasHost());
    EXPECT_EQ(bare->path, "");
    auto file = URLComponents::parse("file:///a/b?y#z");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->host, "");
    EXPECT_EQ(file->path, "/a/b");
    EXPECT_EQ(file->query, "y");
    EXPECT_EQ(file->fragment, "z");
    auto relative = URLComponents::parse("///x");
    ASSERT_TRUE(relative);
    EXPECT_EQ(relative->path, "/x");
}
