#include <gtest/gtest.h>

#include "app/rules/AppRule.h"

using namespace dz;
using nlohmann::json;

namespace {

AppRule websiteRule(std::string website, RuleDirection direction = RuleDirection::source,
                    RuleFormat format = RuleFormat::markdown) {
    AppRule rule;
    rule.direction = direction;
    rule.kind = RuleKind::website;
    rule.website = std::move(website);
    rule.format = format;
    return rule;
}

AppRule appRule(std::string bundleID, RuleDirection direction = RuleDirection::source,
                RuleFormat format = RuleFormat::plain) {
    AppRule rule;
    rule.direction = direction;
    rule.bundleID = std::move(bundleID);
    rule.format = format;
    return rule;
}

}  // namespace

TEST(AppRuleTest, NormalizedPattern) {
    EXPECT_EQ(AppRule::normalizedPattern("  HTTPS://www.Example.COM/Docs/?q=1#top "), "example.com/docs/");
    EXPECT_EQ(AppRule::normalizedPattern(" example.com/ \n"), "example.com");
    EXPECT_EQ(AppRule::normalizedPattern("example.com///"), "example.com");
    EXPECT_EQ(AppRule::normalizedPattern("www.www.example.com"), "www.example.com");
    EXPECT_EQ(AppRule::normalizedPattern("a.com#x?y"), "a.com");
    EXPECT_EQ(AppRule::normalizedPattern("ftp://a://b"), "a://b");
    EXPECT_EQ(AppRule::normalizedPattern("\u00A0\u2003 "), "");
    EXPECT_EQ(AppRule::normalizedPattern("https://"), "");
    EXPECT_EQ(AppRule::normalizedPattern("B\u00DCCHER.de"), "b\u00FCcher.de");
}

TEST(AppRuleTest, WebsiteMatchesSiteAndSubdomainsOnDotBoundary) {
    AppRule rule = websiteRule("example.com");
    EXPECT_TRUE(rule.matchesWebsite("https://example.com"));
    EXPECT_TRUE(rule.matchesWebsite("https://WWW.Example.com/page"));
    EXPECT_TRUE(rule.matchesWebsite("https://docs.example.com/x"));
    EXPECT_FALSE(rule.matchesWebsite("https://badexample.com/"));
    EXPECT_FALSE(rule.matchesWebsite("https://example.com.evil.net/"));
    EXPECT_FALSE(rule.matchesWebsite("not a url"));
    EXPECT_FALSE(rule.matchesWebsite("file:///example.com/x"));
    // Only website rules with a pattern match.
    EXPECT_FALSE(websiteRule("").matchesWebsite("https://example.com"));
    AppRule app = appRule("com.example");
    app.website = "example.com";
    EXPECT_FALSE(app.matchesWebsite("https://example.com"));
}

TEST(AppRuleTest, WebsitePathIsAPlainPrefix) {
    AppRule rule = websiteRule("example.com/docs");
    EXPECT_TRUE(rule.matchesWebsite("https://example.com/docs"));
    EXPECT_TRUE(rule.matchesWebsite("https://example.com/DOCS/intro"));
    EXPECT_TRUE(rule.matchesWebsite("https://example.com/docsearch"));
    EXPECT_FALSE(rule.matchesWebsite("https://example.com/"));
    EXPECT_FALSE(rule.matchesWebsite("https://example.com"));
    EXPECT_FALSE(rule.matchesWebsite("https://example.com/other/docs"));
    // Escapes in the page path are compared decoded.
    EXPECT_TRUE(websiteRule("example.com/a b").matchesWebsite("https://example.com/a%20b"));
    EXPECT_TRUE(websiteRule("example.com/été").matchesWebsite("https://example.com/%C3%A9t%c3%a9"));
    // A path that does not decode to UTF-8 is compared as written.
    EXPECT_TRUE(websiteRule("example.com/a%ff").matchesWebsite("https://example.com/a%FF"));
    // Leading slashes in the pattern are ignored; a pattern of slashes has no site.
    EXPECT_TRUE(websiteRule("//example.com").matchesWebsite("https://example.com/"));
    EXPECT_FALSE(websiteRule("///").matchesWebsite("https://example.com/"));
}

TEST(AppRuleTest, MatchingRulePrecedence) {
    std::vector<AppRule> rules{
        appRule("com.browser", RuleDirection::source, RuleFormat::plain),
        websiteRule("example.com", RuleDirection::source, RuleFormat::links),
        websiteRule("example.com/docs", RuleDirection::source, RuleFormat::markdown),
        websiteRule("example.org", RuleDirection::source, RuleFormat::original),
        websiteRule("example.org", RuleDirection::source, RuleFormat::plain),
        appRule("com.browser", RuleDirection::destination, RuleFormat::markdown),
    };
    auto found = [&](std::optional<std::string_view> bundle, std::optional<std::string_view> url,
                     RuleDirection direction = RuleDirection::source) {
        auto rule = matchingRule(rules, direction, bundle, url);
        return rule ? std::optional<RuleFormat>(rule->format) : std::nullopt;
    };
    // A more specific pattern wins, a website rule beats the browser's app rule.
    EXPECT_EQ(found("com.browser", "https://example.com/docs/a"), RuleFormat::markdown);
    EXPECT_EQ(found("com.browser", "https://example.com/blog"), RuleFormat::links);
    // Equally long patterns: the first in list order.
    EXPECT_EQ(found("com.browser", "https://example.org/"), RuleFormat::original);
    // An unmatched page falls back to the app rule.
    EXPECT_EQ(found("com.browser", "https://unrelated.net/"), RuleFormat::plain);
    EXPECT_EQ(found(std::nullopt, "https://unrelated.net/"), std::nullopt);
    EXPECT_EQ(found("com.Browser", std::nullopt), std::nullopt);
    EXPECT_EQ(found("com.browser", std::nullopt, RuleDirection::destination), RuleFormat::markdown);
    EXPECT_EQ(found("other", "https://example.com/", RuleDirection::destination), std::nullopt);

    // Disabled rules never match.
    rules[0].enabled = false;
    rules[2].enabled = false;
    EXPECT_EQ(found("com.browser", "https://example.com/docs/a"), RuleFormat::links);
    EXPECT_EQ(found("com.browser", std::nullopt), std::nullopt);
}

TEST(AppRuleTest, LongestPatternCountsCharactersNotBytes) {
    // Six characters in twelve bytes against nine ASCII characters.
    std::vector<AppRule> rules{
        websiteRule("\u00E9\u00E9\u00E9.\u00E9\u00E9", RuleDirection::source, RuleFormat::plain)};
    rules[0].website = "xn--9caa.com/\u00E9\u00E9";
    rules.push_back(websiteRule("xn--9caa.com/\u00E9\u00E9x", RuleDirection::source, RuleFormat::markdown));
    auto rule =
        matchingRule(rules, RuleDirection::source, std::nullopt, "https://xn--9caa.com/%C3%A9%C3%A9xy");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->format, RuleFormat::markdown);
}

TEST(AppRuleTest, StartingFormatsOfNewRules) {
    AppRule source = AppRule::forApp(RuleDirection::source, "md.obsidian", "Obsidian");
    EXPECT_EQ(source.format, RuleFormat::original);
    EXPECT_TRUE(source.enabled);
    EXPECT_FALSE(source.fixPDF);
    EXPECT_EQ(AppRule::forApp(RuleDirection::destination, "md.obsidian", "Obsidian").format,
              RuleFormat::markdown);
    EXPECT_EQ(AppRule::forApp(RuleDirection::destination, "org.editor", "Editor").format, RuleFormat::plain);
    EXPECT_NE(AppRule::forApp(RuleDirection::source, "a", "A").id,
              AppRule::forApp(RuleDirection::source, "a", "A").id);

    auto site = AppRule::forWebsite(RuleDirection::destination, " https://www.Notion.so/ ");
    ASSERT_TRUE(site);
    EXPECT_EQ(site->website, "notion.so");
    EXPECT_EQ(site->kind, RuleKind::website);
    EXPECT_EQ(site->format, RuleFormat::markdown);
    EXPECT_EQ(AppRule::forWebsite(RuleDirection::source, "x.org")->format, RuleFormat::original);
    EXPECT_FALSE(AppRule::forWebsite(RuleDirection::source, "  /// "));
}

TEST(AppRuleTest, StoredFormRoundTripsAndRequiresEveryKey) {
    AppRule rule = websiteRule("example.com/docs", RuleDirection::destination, RuleFormat::useDefault);
    rule.fixPDF = true;
    json stored = json::parse(rule.toJSON().dump());
    EXPECT_EQ(stored["format"], "default");
    EXPECT_EQ(stored["id"], rule.id.string());
    EXPECT_EQ(AppRule::fromJSON(stored), rule);

    for (const char* key :
         {"id", "direction", "kind", "bundleID", "name", "website", "format", "fixPDF", "enabled"}) {
        json missing = stored;
        missing.erase(key);
        std::string error;
        EXPECT_FALSE(AppRule::fromJSON(missing, &error)) << key;
        EXPECT_NE(error.find(key), std::string::npos) << error;
        json null = stored;
        null[key] = nullptr;
        EXPECT_FALSE(AppRule::fromJSON(null)) << key;
    }
    json bad = stored;
    bad["format"] = "useDefault";
    EXPECT_FALSE(AppRule::fromJSON(bad));
    bad = stored;
    bad["id"] = "not-a-uuid";
    EXPECT_FALSE(AppRule::fromJSON(bad));
    bad = stored;
    bad["enabled"] = 1;
    EXPECT_FALSE(AppRule::fromJSON(bad));
    // Identifiers are read in either case; unknown keys are ignored.
    json lower = stored;
    lower["id"] = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
    lower["extra"] = {1, 2};
    auto decoded = AppRule::fromJSON(lower);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id.string(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
}

TEST(AppRuleTest, RuleFormatYields) {
    using namespace ruleformat;
    EXPECT_EQ(outputFormat(RuleFormat::useDefault, OutputFormat::markdown), OutputFormat::markdown);
    EXPECT_EQ(outputFormat(RuleFormat::useDefault, OutputFormat::original), OutputFormat::plain);
    EXPECT_EQ(outputFormat(RuleFormat::links, OutputFormat::plain), OutputFormat::plainWithLinks);
    EXPECT_EQ(outputFormat(RuleFormat::original, OutputFormat::plain), OutputFormat::original);
    EXPECT_EQ(fromRaw("default"), RuleFormat::useDefault);
    EXPECT_EQ(fromRaw("Default"), std::nullopt);
    EXPECT_EQ(title(RuleFormat::original), "Keep Original");
}

TEST(UUIDTest, ParseAndFormat) {
    EXPECT_FALSE(UUID::parse("E621E1F8C36C495A93FC0C247A3E6E5F"));
    EXPECT_FALSE(UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5G"));
    EXPECT_FALSE(UUID::parse("E621E1F8-C36C-495A-93FC_0C247A3E6E5F"));
    UUID id = UUID::random();
    EXPECT_EQ(UUID::parse(id.string()), id);
    EXPECT_EQ(id.string()[14], '4');
}
