#include <gtest/gtest.h>

#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

const std::string richHTML =
    "<p>Hello <b>world</b> and <a href=\"https://example.com/?utm_source=x\">a link</a></p>";

TEST(CopyHandlerTest, CopyIsCleanedAndRecordedOwnWritesAreNotReportedAgain) {
    ControllerHarness h;
    h.copyHTML(richHTML, "Hello world and a link");
    ASSERT_TRUE(h.controller->lastCopy.value());
    EXPECT_EQ(h.controller->lastCopy.value()->outcome, CleanOutcome::cleaned());
    EXPECT_EQ(h.controller->lastCopy.value()->detail, "Plain Text");
    EXPECT_EQ(h.clipboardText(), "Hello world and a link");

    h.controller->actions().setDefaultFormat(OutputFormat::markdown);
    // The copy followed the new default at once.
    EXPECT_EQ(h.clipboardText(), "Hello **world** and [a link](https://example.com/)");
    EXPECT_EQ(h.controller->clip()->written, (Written{OutputFormat::markdown, false}));
    const int64_t written = h.fakes.clipboard.changeCount();
    h.fakes.scheduler.advance(1);
    EXPECT_EQ(h.controller->clip()->changeCount, written) << "the program's own write came back as a copy";
}

TEST(CopyHandlerTest, TheSameTargetTwiceWritesNothingAndAnUnchangedCopyIsTakenOverOnlyToServeRequesters) {
    ControllerHarness h;
    h.copyHTML("<p>a <b>b</b></p>", "a b");
    const int writes = h.fakes.clipboard.writes();
    ClipState state = *h.controller->clip();
    EXPECT_EQ(h.controller->copies().write(state, state.written), CleanOutcome::cleaned());
    EXPECT_EQ(h.fakes.clipboard.writes(), writes) << "the same target twice writes nothing";

    h.copy({{std::string(pasteboardtype::string), "already plain"}});
    EXPECT_EQ(h.controller->lastCopy.value()->outcome, CleanOutcome::unchanged());
    EXPECT_FALSE(h.fakes.clipboard.ownedByProgram()) << "nothing to serve: the copier keeps it";

    h.edit([](SettingsData& d) {
        d.rules.push_back(AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian"));
        d.rules.back().format = RuleFormat::markdown;
    });
    h.copy({{std::string(pasteboardtype::string), "already plain"}});
    EXPECT_TRUE(h.fakes.clipboard.ownedByProgram());
    EXPECT_EQ(h.fakes.clipboard.item(pasteboardtype::originalMarkerType), "") << "taken over as the original";
    EXPECT_EQ(h.clipboardText(), "already plain");
}

TEST(CopyHandlerTest, RendersAwayFromTheMainThreadAndANewerCopyWinsOverARenderInProgress) {
    ControllerHarness h;
    h.fakes.worker.holdJobs = true;
    h.copyHTML("<p>first <b>copy</b></p>", "first copy");
    EXPECT_EQ(h.fakes.worker.heldCount(), 1u);
    EXPECT_EQ(h.fakes.clipboard.writes(), 0) << "nothing is written before the render is done";
    EXPECT_TRUE(h.controller->clip()->written.isOriginal()) << "meanwhile the clip is the copy as copied";
    EXPECT_EQ(h.paste("org.gnome.TextEditor"), "first copy") << "the copier still serves it";

    h.copyHTML("<p>second <b>copy</b></p>", "second copy");
    h.fakes.worker.finishHeld();
    EXPECT_EQ(h.fakes.clipboard.writes(), 1) << "the first render's result is dropped";
    EXPECT_EQ(h.clipboardText(), "second copy");
    EXPECT_EQ(h.controller->lastCopy.value()->detail, "Plain Text");

    // A render that finishes after the user converted the copy is dropped too.
    h.copyHTML("<p>third <b>copy</b></p>", "third copy");
    h.controller->actions().convert(Written{OutputFormat::markdown, false}, true);
    h.fakes.worker.finishHeld();
    EXPECT_EQ(h.clipboardText(), "third **copy**") << "the user's conversion wins";
}

TEST(CopyHandlerTest, ALargeCopyGivesItsMemoryBackOnceHandled) {
    ControllerHarness h;
    h.copy({{std::string(pasteboardtype::string), "small"}});
    EXPECT_EQ(h.fakes.worker.releases, 0);
    h.copyHTML("<p>" + std::string(CopyHandler::largeCopyBytes, 'x') + "</p>", "x");
    EXPECT_EQ(h.fakes.worker.releases, 1);
}

}  // namespace
}  // namespace dz::test
