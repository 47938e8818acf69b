#include "app/controller/AppController.h"

#include <gtest/gtest.h>

#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

const std::string richHTML =
    "<p>Hello <b>world</b> and <a href=\"https://example.com/?utm_source=x\">a link</a></p>";

TEST(AppControllerTest, CopyIsCleanedAndRecordedOwnWritesAreNotReportedAgain) {
    ControllerHarness h;
    h.copyHTML(richHTML, "Hello world and a link");
    ASSERT_TRUE(h.controller->lastCopy.value());
    EXPECT_EQ(h.controller->lastCopy.value()->outcome, CleanOutcome::cleaned());
    EXPECT_EQ(h.controller->lastCopy.value()->detail, "Plain Text");
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");

    h.controller->setDefaultFormat(OutputFormat::markdown);
    // The copy followed the new default at once.
    EXPECT_EQ(h.clipboardText(), "Hello **world** and [a link](https://example.com/)");
    EXPECT_EQ(h.controller->clip()->written, (Written{OutputFormat::markdown, false}));
    const int64_t written = h.fakes.clipboard.changeCount();
    h.fakes.scheduler.advance(1);
    EXPECT_EQ(h.controller->clip()->changeCount, written) << "the program's own write came back as a copy";
}

TEST(AppControllerTest, DestinationRuleServesOnlyThatRequesterAndKeepOriginalSourceWins) {
    ControllerHarness h;
    h.edit([](SettingsData& d) {
        d.rules.push_back(AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian"));
        d.rules.back().format = RuleFormat::markdown;
    });
    EXPECT_TRUE(h.controller->interceptorActive.value());
    h.copyHTML(richHTML, "Hello world and a link");
    EXPECT_EQ(h.paste("md.obsidian.Obsidian"), "Hello **world** and [a link](https://example.com/)");
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "Hello world and a link");
    EXPECT_EQ(h.paste("md.obsidian.Obsidian"), "Hello **world** and [a link](https://example.com/)");

    h.edit([](SettingsData& d) {
        d.rules.push_back(AppRule::forApp(RuleDirection::source, "firefox-esr", "Firefox"));
        d.rules.back().format = RuleFormat::original;
    });
    h.copyHTML(richHTML, "Hello world and a link", "firefox-esr");
    EXPECT_TRUE(h.controller->clip()->pinned);
    EXPECT_EQ(h.paste("md.obsidian.Obsidian"), "Hello world and a link");
}

TEST(AppControllerTest, OneShotPutBackWaitsForASlowPasterAndANewCopyCancelsIt) {
    ControllerHarness h;
    h.copyHTML(richHTML, "Hello world and a link");
    h.controller->perform(ShortcutAction::pasteMarkdown);
    ASSERT_EQ(h.fakes.keystrokes.pressed.size(), 1u);
    EXPECT_EQ(h.clipboardText(), "Hello **world** and [a link](https://example.com/)");
    h.fakes.scheduler.advance(1.0);  // the editor has not fetched yet
    EXPECT_TRUE(h.controller->isPutBackPending());
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "Hello **world** and [a link](https://example.com/)");
    EXPECT_FALSE(h.controller->isPutBackPending());
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");

    h.controller->perform(ShortcutAction::pasteMarkdown);
    h.fakes.scheduler.advance(0.3);
    h.copy({{std::string(pasteboardtype::string), "fresh"}});
    h.fakes.scheduler.advance(6);
    EXPECT_EQ(h.clipboardText(), "fresh");
}

TEST(AppControllerTest, AutomationAddresses) {
    ControllerHarness h;
    h.controller->handle("DOZUZAVUVU://TOGGLE");
    EXPECT_FALSE(h.settings.data().autoClean);
    h.controller->handle("dozuzavuvu:toggle");
    EXPECT_TRUE(h.settings.data().autoClean);
    h.controller->handle("dozuzavuvu://format?set=Links&set=markdown");
    EXPECT_EQ(h.settings.data().defaultFormat, OutputFormat::plainWithLinks);
    h.controller->handle("dozuzavuvu://pause?minutes=abc");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 300);
    h.controller->handle("dozuzavuvu://pause?minutes=1e999");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 300);
    h.controller->handle("dozuzavuvu://pause?minutes=99999999");
    EXPECT_DOUBLE_EQ(*h.controller->pausedUntil.value(), h.fakes.scheduler.now() + 525600 * 60.0);
    h.controller->handle("https://toggle");
    h.controller->handle("dozuzavuvu://nonsense");
    EXPECT_EQ(h.fakes.system.beeps, 1);
}

}  // namespace
}  // namespace dz::test
