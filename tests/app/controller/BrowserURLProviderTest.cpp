#include "app/controller/BrowserURLProvider.h"

#include <gtest/gtest.h>

#include "app/platform/fakes/FakeServices.h"
#include "app/platform/fakes/VirtualScheduler.h"

namespace dz {
namespace {

TEST(BrowserURLProviderTest, CacheIsPerBrowserShortLivedAndNeverHoldsFailures) {
    fake::VirtualScheduler scheduler;
    fake::FakePageAddressLookup lookup(scheduler);
    BrowserURLProvider provider(lookup, scheduler);
    std::vector<std::optional<std::string>> answers;
    auto ask = [&](const std::string& id) {
        provider.currentURL(id, 1, [&](std::optional<std::string> url) { answers.push_back(url); });
        scheduler.runDue();
        scheduler.advance(0.1);
    };
    lookup.answers["firefox"] = {"  https://a.example/x \n", 0.1};
    lookup.answers["chromium"] = {"about:blank", 0.1};
    ask("firefox");
    ask("firefox");  // 0.1 s later: from the cache
    EXPECT_EQ(lookup.lookups, 1);
    ask("chromium");  // another browser, and an address without a host is nothing
    ask("chromium");  // …which was not cached
    EXPECT_EQ(lookup.lookups, 3);
    scheduler.advance(1.5);
    ask("firefox");
    EXPECT_EQ(lookup.lookups, 4);
    EXPECT_EQ(answers,
              (std::vector<std::optional<std::string>>{"https://a.example/x", "https://a.example/x",
                                                       std::nullopt, std::nullopt, "https://a.example/x"}));
    EXPECT_TRUE(BrowserURLProvider::isBrowser("firefox-esr"));
    EXPECT_TRUE(BrowserURLProvider::isBrowser("com.apple.Safari"));
    EXPECT_FALSE(BrowserURLProvider::isBrowser("org.gnome.TextEditor"));
}

}  // namespace
}  // namespace dz
