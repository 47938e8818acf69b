#include <gtest/gtest.h>

#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

TEST(AutomationCommandsTest, AutomationAddresses) {
    ControllerHarness h;
    h.controller->commands().handle("DOZUZAVUVU://TOGGLE");
    EXPECT_FALSE(h.settings.data().autoClean);
    h.controller->commands().handle("dozuzavuvu:toggle");
    EXPECT_TRUE(h.settings.data().autoClean);
    h.controller->commands().handle("dozuzavuvu://format?set=Links&set=markdown");
    EXPECT_EQ(h.settings.data().defaultFormat, OutputFormat::plainWithLinks);
    h.controller->commands().handle("dozuzavuvu://pause?minutes=abc");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 300);
    h.controller->commands().handle("dozuzavuvu://pause?minutes=1e999");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 300);
    h.controller->commands().handle("dozuzavuvu://pause?minutes=99999999");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 525600 * 60.0);
    h.controller->commands().handle("https://toggle");
    h.controller->commands().handle("dozuzavuvu://nonsense");
    EXPECT_EQ(h.fakes.system.beeps, 1);
}

// Addresses come from anyone who can start the program: each costs little
// however large it is, and a request runs a bounded number of them.
TEST(AutomationCommandsTest, LongAddressesAndLongRequestsAreCutShortWithABeep) {
    ControllerHarness h;
    auto padded = [](size_t size) {
        std::string url = "dozuzavuvu://toggle?x=";
        url.resize(size, 'a');
        return url;
    };
    h.controller->commands().handle(padded(AutomationCommands::longestAddress));
    EXPECT_FALSE(h.settings.data().autoClean);
    EXPECT_EQ(h.fakes.system.beeps, 0);
    h.controller->commands().handle(padded(AutomationCommands::longestAddress + 1));
    EXPECT_FALSE(h.settings.data().autoClean) << "an address over 64 KiB is not run";
    EXPECT_EQ(h.fakes.system.beeps, 1);

    // 18 pauses of 1 to 18 minutes: the 16th is the last that runs, and the
    // two left over cost one beep.
    std::vector<std::string> urls;
    for (int minutes = 1; minutes <= 18; ++minutes)
        urls.push_back("dozuzavuvu://pause?minutes=" + std::to_string(minutes));
    h.controller->commands().open(urls, AutomationCommands::Origin::user);
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 16 * 60);
    EXPECT_EQ(h.fakes.system.beeps, 2);

    // Exactly 16 is no reason to beep.
    urls.resize(AutomationCommands::addressesPerRequest);
    h.controller->commands().open(urls, AutomationCommands::Origin::user);
    EXPECT_EQ(h.fakes.system.beeps, 2);
}

}  // namespace
}  // namespace dz::test
