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

}  // namespace
}  // namespace dz::test
