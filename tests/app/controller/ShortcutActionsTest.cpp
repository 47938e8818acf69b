#include <gtest/gtest.h>

#include "app/input/KeyCombo.h"
#include "app/input/KeyboardSimulator.h"
#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

// What a conversion that finishes at once reported.
std::optional<CleanOutcome> convertNow(ShortcutActions& actions, const Written& target, bool pin) {
    std::optional<CleanOutcome> outcome;
    actions.convert(target, pin, [&outcome](CleanOutcome o) { outcome = o; });
    return outcome;
}

TEST(ShortcutActionsTest, ConversionsPinTheCopyOrMakeItsNewBaseAndAnEmptyClipboardBeeps) {
    ControllerHarness h;
    ShortcutActions& actions = h.controller->actions();
    EXPECT_EQ(convertNow(actions, Written{OutputFormat::markdown, false}, true),
              CleanOutcome::skipped(SkipReason::noText));
    EXPECT_EQ(h.fakes.system.beeps, 1) << "nothing to convert";

    h.copyHTML("<p>a <b>b</b></p>", "a b");
    EXPECT_EQ(convertNow(actions, Written{OutputFormat::markdown, false}, true), CleanOutcome::cleaned());
    EXPECT_EQ(h.clipboardText(), "a **b**");
    EXPECT_TRUE(h.controller->clip()->pinned);
    actions.setDefaultFormat(OutputFormat::plainWithLinks);
    EXPECT_EQ(h.clipboardText(), "a **b**") << "a pinned copy does not follow the default";

    actions.convert(Written{OutputFormat::plain, false}, false);
    EXPECT_FALSE(h.controller->clip()->pinned);
    EXPECT_EQ(h.controller->clip()->base, (Written{OutputFormat::plain, false}));
    EXPECT_EQ(h.controller->lastCopy.value()->detail, "Plain Text");
}

TEST(ShortcutActionsTest, ConversionsRenderOnTheWorkerAndANewerCopyDropsThem) {
    ControllerHarness h;
    ShortcutActions& actions = h.controller->actions();
    h.copyHTML("<p>a <b>b</b></p>", "a b");
    h.fakes.worker.holdJobs = true;
    const int writes = h.fakes.clipboard.writes();

    std::optional<CleanOutcome> outcome;
    actions.convert(Written{OutputFormat::markdown, false}, true,
                    [&outcome](CleanOutcome o) { outcome = o; });
    EXPECT_FALSE(outcome) << "not done while the render runs";
    EXPECT_EQ(h.fakes.clipboard.writes(), writes);
    h.fakes.worker.finishHeld();
    EXPECT_EQ(outcome, CleanOutcome::cleaned());
    EXPECT_EQ(h.clipboardText(), "a **b**");

    // The default format changes, then a copy comes before the rewrite is
    // rendered: the newer copy wins.
    h.fakes.worker.holdJobs = false;
    h.copyHTML("<p>c <i>d</i></p>", "c d");
    ASSERT_EQ(h.clipboardText(), "c d");
    h.fakes.worker.holdJobs = true;
    actions.setDefaultFormat(OutputFormat::markdown);
    actions.perform(ShortcutAction::pasteMarkdown);
    h.fakes.worker.holdJobs = false;
    h.copy({{std::string(pasteboardtype::string), "newer"}});
    h.fakes.worker.finishHeld();
    EXPECT_EQ(h.clipboardText(), "newer");
    EXPECT_TRUE(h.fakes.keystrokes.pressed.empty()) << "the one-shot was for the older copy";
}

TEST(ShortcutActionsTest, KeysAreNeverPressedWhereTheyCannotBeAndCopyAndCleanGivesUpWithABeep) {
    ControllerHarness h;
    h.copy({{std::string(pasteboardtype::string), "text"}});
    h.fakes.keystrokes.canSend = false;
    // The pastes wait for the user's own Ctrl+V; copying cannot be done for them.
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    h.controller->actions().perform(ShortcutAction::cleanAndPaste);
    h.controller->actions().perform(ShortcutAction::copyAndClean);
    EXPECT_TRUE(h.fakes.keystrokes.pressed.empty());
    EXPECT_EQ(h.fakes.system.notices,
              (std::vector<std::string>{"Press Ctrl+V to paste as Markdown.",
                                        "Press Ctrl+V to paste as plain text.",
                                        std::string(ShortcutActions::cannotPressKeysNotice)}));

    h.fakes.keystrokes.canSend = true;
    h.controller->actions().perform(ShortcutAction::copyAndClean);
    EXPECT_EQ(h.fakes.keystrokes.pressed.size(), 1u) << "Ctrl+C";
    h.fakes.scheduler.advance(ShortcutActions::copyLookInterval * ShortcutActions::copyLookAttempts + 0.1);
    EXPECT_EQ(h.fakes.system.beeps, 1) << "the application copied nothing";
}

TEST(ShortcutActionsTest, PauseTogglesAndEndsOnItsOwn) {
    ControllerHarness h;
    ShortcutActions& actions = h.controller->actions();
    actions.perform(ShortcutAction::pauseFiveMinutes);
    EXPECT_TRUE(actions.isPaused());
    actions.perform(ShortcutAction::pauseFiveMinutes);
    EXPECT_FALSE(actions.isPaused()) << "the same shortcut resumes";
    actions.pause(1);
    h.fakes.scheduler.advance(61);
    EXPECT_FALSE(actions.isPaused());
    EXPECT_FALSE(h.controller->pausedUntil.value());
    actions.perform(ShortcutAction::cycleFormat);
    EXPECT_EQ(h.settings.data().defaultFormat, OutputFormat::plainWithLinks);
}

TEST(ShortcutActionsTest, ThroughXwaylandAOneShotWithNoKnownFrontApplicationWaitsForTheUsersPaste) {
    ControllerHarness h;
    h.copyHTML("<p>a <b>b</b></p>", "a b");
    h.fakes.keystrokes.knownWindowsOnly = true;
    h.fakes.workspace.frontmost.reset();  // a native Wayland window has the focus
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    EXPECT_TRUE(h.fakes.keystrokes.pressed.empty());
    EXPECT_EQ(h.fakes.system.notices.back(), "Press Ctrl+V to paste as Markdown.");
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "a **b**");

    h.fakes.workspace.frontmost = "org.gnome.TextEditor";  // an X11 window
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    EXPECT_EQ(h.fakes.keystrokes.pressed.size(), 1u);
}

TEST(ShortcutActionsTest, WithKeysThatReachEveryWindowAnUnknownFrontApplicationGetsCtrlV) {
    ControllerHarness h;
    h.copyHTML("<p>a <b>b</b></p>", "a b");
    h.fakes.workspace.frontmost.reset();  // a native Wayland window, typed into by the compositor
    h.controller->actions().perform(ShortcutAction::pasteMarkdown);
    using Press = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(h.fakes.keystrokes.pressed,
              std::vector<Press>{Press(KeyboardSimulator::keyV, KeyCombo::control)});
    EXPECT_TRUE(h.fakes.system.notices.empty());
}

}  // namespace
}  // namespace dz::test
