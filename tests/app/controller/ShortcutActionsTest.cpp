#include <gtest/gtest.h>

#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

TEST(ShortcutActionsTest, ConversionsPinTheCopyOrMakeItsNewBaseAndAnEmptyClipboardBeeps) {
    ControllerHarness h;
    ShortcutActions& actions = h.controller->actions();
    EXPECT_EQ(actions.convert(Written{OutputFormat::markdown, false}, true),
              CleanOutcome::skipped(SkipReason::noText));
    EXPECT_EQ(h.fakes.system.beeps, 1) << "nothing to convert";

    h.copyHTML("<p>a <b>b</b></p>", "a b");
    EXPECT_EQ(actions.convert(Written{OutputFormat::markdown, false}, true), CleanOutcome::cleaned());
    EXPECT_EQ(h.clipboardText(), "a **b**");
    EXPECT_TRUE(h.controller->clip()->pinned);
    actions.setDefaultFormat(OutputFormat::plainWithLinks);
    EXPECT_EQ(h.clipboardText(), "a **b**") << "a pinned copy does not follow the default";

    actions.convert(Written{OutputFormat::plain, false}, false);
    EXPECT_FALSE(h.controller->clip()->pinned);
    EXPECT_EQ(h.controller->clip()->base, (Written{OutputFormat::plain, false}));
    EXPECT_EQ(h.controller->lastCopy.value()->detail, "Plain Text");
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

}  // namespace
}  // namespace dz::test
