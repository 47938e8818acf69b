#include <gtest/gtest.h>

#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

const std::string richHTML =
    "<p>Hello <b>world</b> and <a href=\"https://example.com/?utm_source=x\">a link</a></p>";

TEST(PasteSwitcherTest, DestinationRuleServesOnlyThatRequesterAndKeepOriginalSourceWins) {
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

TEST(PasteSwitcherTest, OneShotPutBackWaitsForASlowPasterAndANewCopyCancelsIt) {
    ControllerHarness h;
    h.copyHTML(richHTML, "Hello world and a link");
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    ASSERT_EQ(h.fakes.keystrokes.pressed.size(), 1u);
    EXPECT_EQ(h.clipboardText(), "Hello **world** and [a link](https://example.com/)");
    h.fakes.scheduler.advance(1.0);  // the editor has not fetched yet
    EXPECT_TRUE(h.controller->pastes().isPutBackPending());
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "Hello **world** and [a link](https://example.com/)");
    // The rest of that paste (its other types) still gets the rendition.
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "Hello **world** and [a link](https://example.com/)");
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_FALSE(h.controller->pastes().isPutBackPending());
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");

    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    h.fakes.scheduler.advance(0.3);
    h.copy({{std::string(pasteboardtype::string), "fresh"}});
    h.fakes.scheduler.advance(6);
    EXPECT_EQ(h.clipboardText(), "fresh");
}

TEST(PasteSwitcherTest, APutBackWaitsForThePastersDataNotItsLookAtTheTypesOrAnUnknownPaster) {
    ControllerHarness h;
    const std::string markdown = "Hello **world** and [a link](https://example.com/)";
    h.copyHTML(richHTML, "Hello world and a link");
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    // The editor looks at the types first; its paste comes after the usual wait.
    h.fakes.clipboard.paste(
        Clipboard::Party{"org.gnome.TextEditor", h.fakes.workspace.application("org.gnome.TextEditor").pid},
        {}, fake::FakeClipboard::Reading::types);
    h.fakes.scheduler.advance(1.0);
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), markdown);
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");

    // No front application known: the first paste is the one the key made,
    // however late within the limit.
    h.fakes.workspace.frontmost.reset();
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    h.fakes.scheduler.advance(2.0);
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), markdown);
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");
}

TEST(PasteSwitcherTest, APutBackFollowsThePastersProcessWhateverItsApplicationIsCalled) {
    ControllerHarness h;
    const std::string markdown = "Hello **world** and [a link](https://example.com/)";
    h.copyHTML(richHTML, "Hello world and a link");
    // The front window's app id names no running process.
    h.fakes.workspace.frontmost = "org.example.Window";
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    h.fakes.scheduler.advance(1.0);
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), markdown);
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_EQ(h.clipboardText(), "Hello world and a link") << "waited for the limit";

    // Known by its process: another application's paste is not the one.
    h.fakes.workspace.frontmost = "org.gnome.TextEditor";
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    h.fakes.scheduler.advance(1.0);
    EXPECT_EQ(h.paste("md.obsidian.Obsidian"), markdown);
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_EQ(h.clipboardText(), markdown);
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), markdown);
    h.fakes.scheduler.advance(PasteSwitcher::nextPasteGrace);
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");
}

TEST(PasteSwitcherTest, ARequestersOwnRenditionIsRenderedOnTheWorkerAndAnsweredWhenReady) {
    ControllerHarness h;
    h.edit([](SettingsData& d) {
        d.rules.push_back(AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian"));
        d.rules.back().format = RuleFormat::markdown;
    });
    h.copyHTML(richHTML, "Hello world and a link");
    h.fakes.worker.holdJobs = true;
    std::optional<std::string> got;
    h.fakes.clipboard.paste({"md.obsidian.Obsidian", 300}, [&](const fake::FakeClipboard::Served& served) {
        got = served.items.at(0).data;
    });
    EXPECT_FALSE(got) << "answered before its rendition was ready";
    h.fakes.worker.finishHeld();
    EXPECT_EQ(got, "Hello **world** and [a link](https://example.com/)");
    // From the cache from now on, without the worker.
    const int jobs = h.fakes.worker.jobs;
    EXPECT_EQ(h.paste("md.obsidian.Obsidian"), "Hello **world** and [a link](https://example.com/)");
    EXPECT_EQ(h.fakes.worker.jobs, jobs);
}

}  // namespace
}  // namespace dz::test
