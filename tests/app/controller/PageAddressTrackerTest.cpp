#include "app/controller/PageAddressTracker.h"

#include <gtest/gtest.h>

#include "app/controller/BrowserURLProvider.h"
#include "app/platform/fakes/FakeServices.h"
#include "app/platform/fakes/FakeWindowEvents.h"
#include "app/platform/fakes/VirtualScheduler.h"

namespace dz {
namespace {

using Change = WindowEvents::Change;

struct TrackerTest : testing::Test {
    fake::VirtualScheduler scheduler;
    fake::FakeWindowEvents windows;
    fake::FakePageAddressLookup lookup{scheduler};
    PageAddressTracker tracker{windows, lookup, scheduler};
    std::vector<std::pair<int32_t, std::string>> changes;

    const WindowEvents::Window firefox{1, "firefox-esr", 200};
    const WindowEvents::Window secondFirefox{2, "firefox-esr", 200};
    const WindowEvents::Window editor{3, "org.gnome.TextEditor", 100};

    void SetUp() override {
        tracker.addressChanged = [this](int32_t pid, const std::string& address) {
            changes.emplace_back(pid, address);
        };
        tracker.setActive(true);
    }
    void answer(const char* address, double after = 0.05) {
        lookup.answers["firefox-esr"] = {address, after};
    }
    void send(Change change, const WindowEvents::Window& window) {
        windows.send(change, window);
        scheduler.runDue();
    }
};

TEST_F(TrackerTest, TitleChangesAreLookedUpAtMostEveryFifthOfASecond) {
    answer("https://a.example/one");
    send(Change::activated, firefox);
    scheduler.advance(0.05);
    EXPECT_EQ(tracker.address(200), "https://a.example/one");
    answer("https://a.example/two");
    for (int i = 0; i < 5; ++i) {
        send(Change::titleChanged, firefox);
        scheduler.advance(0.02);
    }
    EXPECT_EQ(lookup.lookups, 1);  // the changes wait until 0.2 s after the first look-up
    scheduler.advance(0.5);
    EXPECT_EQ(lookup.lookups, 2);  // and one look-up then sees them all
    EXPECT_EQ(tracker.address(200), "https://a.example/two");
    EXPECT_EQ(changes, (std::vector<std::pair<int32_t, std::string>>{{200, "https://a.example/one"},
                                                                     {200, "https://a.example/two"}}));
    // A change while a look-up runs is looked up again once it is over.
    send(Change::titleChanged, firefox);
    answer("https://a.example/three");
    send(Change::titleChanged, firefox);
    scheduler.advance(1);
    EXPECT_EQ(lookup.lookups, 4);
    EXPECT_EQ(tracker.address(200), "https://a.example/three");
}

TEST_F(TrackerTest, AnswersForAWindowNoLongerInFrontOrClosedAreDropped) {
    answer("https://a.example/one", 0.1);
    send(Change::activated, firefox);
    send(Change::activated, editor);  // not a browser: nothing to look up
    scheduler.advance(0.2);
    EXPECT_EQ(tracker.address(200), std::nullopt);
    EXPECT_EQ(lookup.lookups, 1);

    send(Change::activated, secondFirefox);
    scheduler.advance(0.2);
    EXPECT_EQ(tracker.address(200), "https://a.example/one");
    // Behind another window, a page that changed has no known address.
    send(Change::activated, firefox);
    answer("https://a.example/two", 0.1);
    send(Change::titleChanged, secondFirefox);
    scheduler.advance(0.05);
    send(Change::closed, firefox);
    scheduler.advance(0.2);
    EXPECT_EQ(tracker.address(200), std::nullopt);
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(TrackerTest, NothingIsAskedWithoutAccessAndEverythingIsForgottenWhenOff) {
    lookup.isAvailable = false;
    send(Change::activated, firefox);
    EXPECT_EQ(lookup.lookups, 0);
    lookup.isAvailable = true;
    answer("https://a.example/one");
    send(Change::titleChanged, firefox);
    scheduler.advance(0.1);
    EXPECT_EQ(tracker.address(200), "https://a.example/one");
    tracker.setActive(false);
    EXPECT_FALSE(windows.watching());
    EXPECT_EQ(tracker.address(200), std::nullopt);
    send(Change::activated, firefox);
    EXPECT_EQ(lookup.lookups, 1);
}

TEST(BrowserURLProviderTest, OriginOnlyAddressesAndSameOrigins) {
    EXPECT_TRUE(BrowserURLProvider::isOriginOnly("http://localhost:8765"));
    EXPECT_TRUE(BrowserURLProvider::isOriginOnly("https://example.org/"));
    EXPECT_FALSE(BrowserURLProvider::isOriginOnly("https://example.org/code.html"));
    EXPECT_FALSE(BrowserURLProvider::isOriginOnly("https://example.org/?q=1"));
    EXPECT_FALSE(BrowserURLProvider::isOriginOnly("not an address"));
    EXPECT_TRUE(BrowserURLProvider::sameOrigin("HTTPS://Example.org", "https://example.org/a/b"));
    EXPECT_FALSE(BrowserURLProvider::sameOrigin("http://localhost:8765", "http://localhost:9000/x"));
    EXPECT_FALSE(BrowserURLProvider::sameOrigin("https://example.org", "http://example.org/"));
}

}  // namespace
}  // namespace dz
