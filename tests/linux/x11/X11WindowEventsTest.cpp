// Window events under a window manager: the page address a tracker keeps
// for the window in front follows the window's title, and goes with it.
#include <gtest/gtest.h>

#include "app/controller/PageAddressTracker.h"
#include "app/platform/PageAddressLookup.h"
#include "linux/workspace/X11WindowEvents.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::x11 {
namespace {

using namespace test;

constexpr int32_t browserPID = 4242;

// A browser whose page address is its window's title, read from the server.
class TitleLookup final : public PageAddressLookup {
  public:
    TitleLookup(XcbConnection& conn, Scheduler& scheduler) : conn_(conn), scheduler_(scheduler) {}
    void lookUp(const std::string&, int32_t, Completion done) override {
        ++lookups;
        auto title = conn_.property(window, conn_.atom("_NET_WM_NAME"));
        scheduler_.post([done = std::move(done), title] { done(title); });
    }
    xcb_window_t window = 0;
    int lookups = 0;

  private:
    XcbConnection& conn_;
    Scheduler& scheduler_;
};

TEST(X11WindowEventsTest, TrackedAddressFollowsTheTitleOfTheWindowInFront) {
    std::string error;
    auto conn = XcbConnection::open(nullptr, &error);
    ASSERT_TRUE(conn) << error;
    xcb_connection_t* c = conn->get();
    xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, conn->root(), 10, 10, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, conn->screen()->root_visual, 0, nullptr);
    auto setTitle = [&](const std::string& title) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, conn->atom("_NET_WM_NAME"),
                            conn->atom("UTF8_STRING"), 8, uint32_t(title.size()), title.data());
        xcb_flush(c);
    };
    setTitle("https://a.example/one");
    xcb_map_window(c, window);
    xcb_client_message_event_t activate{};
    activate.response_type = XCB_CLIENT_MESSAGE;
    activate.format = 32;
    activate.window = window;
    activate.type = conn->atom("_NET_ACTIVE_WINDOW");
    activate.data.data32[0] = 2;
    xcb_send_event(c, 0, conn->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&activate));
    xcb_flush(c);

    PumpScheduler scheduler;
    auto events = X11WindowEvents::create(
        scheduler,
        [window](xcb_window_t w) -> std::optional<Workspace::RunningApplication> {
            if (w != window)
                return std::nullopt;
            return Workspace::RunningApplication{"firefox-esr", "Firefox", browserPID};
        },
        &error);
    ASSERT_TRUE(events) << error;
    TitleLookup lookup(*conn, scheduler);
    lookup.window = window;
    PageAddressTracker tracker(*events, lookup, scheduler);
    tracker.setActive(true);

    auto waitFor = [&](const std::optional<std::string>& expected) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < until) {
            scheduler.pump();
            if (tracker.address(browserPID) == expected)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(waitFor("https://a.example/one"));
    setTitle("https://a.example/two");
    EXPECT_TRUE(waitFor("https://a.example/two"));
    // Titles that change in a burst cost few look-ups, and the last one counts.
    int before = lookup.lookups;
    for (int i = 3; i <= 20; ++i) setTitle("https://a.example/" + std::to_string(i));
    EXPECT_TRUE(waitFor("https://a.example/20"));
    EXPECT_LE(lookup.lookups - before, 3);

    xcb_destroy_window(c, window);
    xcb_flush(c);
    EXPECT_TRUE(waitFor(std::nullopt));
    tracker.setActive(false);
}

}  // namespace
}  // namespace dz::x11
