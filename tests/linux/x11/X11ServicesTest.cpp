// Services over the private session bus that run-under-x.sh provides.
#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

#include "linux/accessibility/AtspiFrontApplication.h"
#include "linux/accessibility/AtspiPageAddress.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::x11 {
namespace {

using namespace std::chrono_literals;

TEST(AtspiServiceTest, TheSwitchAndALookUpWithoutABrowser) {
    auto before = AtspiPageAddress::accessibilityEnabled();
    if (!before)
        GTEST_SKIP() << "no accessibility bus on this session bus (at-spi2-core missing)";
    ASSERT_TRUE(AtspiPageAddress::setAccessibilityEnabled(true));
    EXPECT_EQ(AtspiPageAddress::accessibilityEnabled(), true);
    ASSERT_TRUE(AtspiPageAddress::setAccessibilityEnabled(false));
    EXPECT_EQ(AtspiPageAddress::accessibilityEnabled(), false);

    // No application of that process is registered: nothing, promptly, on the main thread.
    test::PumpScheduler scheduler;
    AtspiPageAddress lookup(scheduler);
    std::optional<std::optional<std::string>> answer;
    auto start = std::chrono::steady_clock::now();
    lookup.lookUp("firefox-esr", 1, [&](std::optional<std::string> a) { answer = a; });
    EXPECT_FALSE(answer);  // never inside the call
    ASSERT_TRUE(scheduler.pumpUntil([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(AtspiServiceTest, TheApplicationInFrontIsTheOneWhoseWindowIsActive) {
    if (!AtspiPageAddress::accessibilityEnabled())
        GTEST_SKIP() << "no accessibility bus on this session bus (at-spi2-core missing)";
    ASSERT_TRUE(AtspiPageAddress::setAccessibilityEnabled(true));
    test::Child window({DZ_ATSPI_WINDOW});
    ASSERT_EQ(window.line(20000ms), "active");

    using Clock = std::chrono::steady_clock;
    AtspiFrontApplication front({int32_t(getpid())});
    // The window registers on the bus on its own time.
    std::optional<int32_t> found;
    for (auto until = Clock::now() + 15s; Clock::now() < until && found != window.pid();) {
        found = front.find(Clock::now() + 500ms);
        if (found != window.pid())
            std::this_thread::sleep_for(100ms);
    }
    EXPECT_EQ(found, window.pid());

    // Its process ignored (as the compositor's shell is), nothing is in front.
    AtspiFrontApplication ignoring({int32_t(getpid()), window.pid()});
    EXPECT_EQ(ignoring.find(Clock::now() + 500ms), std::nullopt);
    // A deadline already past asks nothing.
    auto start = Clock::now();
    EXPECT_EQ(front.find(start), std::nullopt);
    EXPECT_LT(Clock::now() - start, 50ms);
    AtspiPageAddress::setAccessibilityEnabled(false);
}

}  // namespace
}  // namespace dz::x11

#include "linux/X11Desktop.h"

namespace dz::x11 {
namespace {

TEST(X11DesktopTest, OpensEveryServiceOnAnXDisplay) {
    test::PumpScheduler scheduler;
    std::string error;
    auto desktop = X11Desktop::open(scheduler, &error);
    ASSERT_TRUE(desktop) << error;
    EXPECT_EQ(desktop->status.kind, DisplayKind::x11);
    EXPECT_TRUE(desktop->keyboard->canSendKeystrokes());
    EXPECT_TRUE(desktop->clipboard->canIdentifyRequesters());
    desktop->system->beep();
    desktop->shutdown();
}

}  // namespace
}  // namespace dz::x11

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "linux/x11/SystemTrayColors.h"

namespace dz::x11 {
namespace {

// A stand-in XEmbed tray manager: a window owning the tray selection, with
// whatever colours property the case sets.
class FakeTrayManager {
  public:
    FakeTrayManager() : c_(xcb_connect(nullptr, &screen_), xcb_disconnect) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_.get()));
        for (int i = 0; i < screen_; ++i) xcb_screen_next(&it);
        window_ = xcb_generate_id(c_.get());
        xcb_create_window(c_.get(), XCB_COPY_FROM_PARENT, window_, it.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        colors_ = atom("_NET_SYSTEM_TRAY_COLORS");
        xcb_set_selection_owner(c_.get(), window_, atom("_NET_SYSTEM_TRAY_S" + std::to_string(screen_)),
                                XCB_CURRENT_TIME);
        xcb_flush(c_.get());
    }
    ~FakeTrayManager() {
        xcb_destroy_window(c_.get(), window_);
        xcb_flush(c_.get());
    }

    void setColors(xcb_atom_t type, uint8_t format, const std::vector<uint32_t>& values) {
        xcb_change_property(c_.get(), XCB_PROP_MODE_REPLACE, window_, colors_, type, format,
                            uint32_t(values.size() * 32 / format), values.data());
        // A round trip: the server has the property before anyone reads it.
        std::free(xcb_get_input_focus_reply(c_.get(), xcb_get_input_focus(c_.get()), nullptr));
    }

  private:
    xcb_atom_t atom(const std::string& name) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(c_.get(), xcb_intern_atom(c_.get(), 0, uint16_t(name.size()), name.c_str()),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

    int screen_ = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> c_;
    xcb_window_t window_ = 0;
    xcb_atom_t colors_ = XCB_ATOM_NONE;
};

TEST(SystemTrayColorsTest, TheTraysForegroundWhenItSetsOneAndNothingForJunk) {
    EXPECT_EQ(systemTrayForeground(), std::nullopt);  // no tray at all
    FakeTrayManager tray;
    EXPECT_EQ(systemTrayForeground(), std::nullopt);  // a tray without colours

    tray.setColors(XCB_ATOM_CARDINAL, 32,
                   {0xEEEE, 0xDDDD, 0xCCCC, 0xFFFF, 0, 0, 0xFFFF, 0xFFFF, 0, 0, 0xFFFF, 0});
    EXPECT_EQ(systemTrayForeground(), (TrayColor{0xEEEE, 0xDDDD, 0xCCCC}));

    // Another client wrote it: values past 16 bits are clamped, and a short,
    // mistyped or 8-bit property is ignored.
    tray.setColors(XCB_ATOM_CARDINAL, 32, {0x1FFFF, 0, 0x8000});
    EXPECT_EQ(systemTrayForeground(), (TrayColor{0xFFFF, 0, 0x8000}));
    tray.setColors(XCB_ATOM_CARDINAL, 32, {0xFFFF, 0xFFFF});
    EXPECT_EQ(systemTrayForeground(), std::nullopt);
    tray.setColors(XCB_ATOM_INTEGER, 32, {0xFFFF, 0xFFFF, 0xFFFF});
    EXPECT_EQ(systemTrayForeground(), std::nullopt);
    tray.setColors(XCB_ATOM_CARDINAL, 8, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
    EXPECT_EQ(systemTrayForeground(), std::nullopt);
}

}  // namespace
}  // namespace dz::x11
