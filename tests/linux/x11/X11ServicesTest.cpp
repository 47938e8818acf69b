// Services over the private session bus that run-under-x.sh provides.
#include <gtest/gtest.h>

#include "linux/accessibility/AtspiPageAddress.h"
#include "tests/linux/x11/PumpScheduler.h"

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
