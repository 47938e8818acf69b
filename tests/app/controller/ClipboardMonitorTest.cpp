#include "app/controller/ClipboardMonitor.h"

#include <gtest/gtest.h>

#include "app/platform/fakes/FakePlatform.h"

namespace dz {
namespace {

struct MonitorHarness {
    fake::FakePlatform fakes;
    std::vector<ClipboardChange> reported;
    std::vector<Clipboard::Rendition> items;
    std::unique_ptr<ClipboardMonitor> monitor;

    void start() {
        monitor =
            std::make_unique<ClipboardMonitor>(fakes.clipboard, fakes.workspace, fakes.keys, fakes.scheduler);
        monitor->start([this](const ClipboardChange& change, const Clipboard::Rendition& copied) {
            reported.push_back(change);
            items.push_back(copied);
        });
    }
};

TEST(ClipboardMonitorTest, ReportsForeignCopiesWithTheirItemsButNeitherTheStartContentNorOwnWrites) {
    MonitorHarness h;
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "there before us"}}, std::nullopt);
    h.start();
    h.monitor->checkPasteboard();
    EXPECT_TRUE(h.reported.empty()) << "what was there at start is not a copy";

    h.fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100}};
    h.fakes.workspace.frontmost = "org.gnome.TextEditor";
    h.fakes.clipboard.copy({{"public.html", "<p>a</p>"}, {"public.utf8-plain-text", "a"}}, std::nullopt);
    ASSERT_EQ(h.reported.size(), 1u);
    EXPECT_EQ(h.items[0], h.fakes.clipboard.contents().items);
    EXPECT_EQ(h.reported[0].changeCount, h.fakes.clipboard.changeCount());
    EXPECT_EQ(h.reported[0].sourcePID, 100) << "without an owner the frontmost application copied";

    // The program writes; the backend's later notice of it is not reported,
    // nor is asking again on demand.
    h.fakes.clipboard.publish({{"public.utf8-plain-text", "clean"}});
    h.monitor->noteOwnWrite(h.fakes.clipboard.changeCount());
    h.fakes.scheduler.runDue();
    h.monitor->checkPasteboard();
    EXPECT_EQ(h.reported.size(), 1u);
}

TEST(ClipboardMonitorTest, TheSourceIsTheDeclaredAppElseTheOwnerElseTheFrontmostOne) {
    MonitorHarness h;
    h.fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100}, {"org.kde.kate", "Kate", 200}};
    h.fakes.workspace.frontmost = "org.gnome.TextEditor";
    h.start();

    h.fakes.clipboard.copy({{"public.utf8-plain-text", "x"}}, Clipboard::Party{"org.kde.kate", std::nullopt});
    ASSERT_EQ(h.reported.size(), 1u);
    EXPECT_EQ(h.reported.back().sourceBundleID, "org.kde.kate");
    EXPECT_EQ(h.reported.back().sourceName, "Kate");
    EXPECT_EQ(h.reported.back().sourcePID, 200) << "the running application fills in the process";

    // A copy that names its maker, even one not running, is believed.
    h.fakes.clipboard.copy(
        {{"public.utf8-plain-text", "y"}, {"org.nspasteboard.source", "com.example.Notes"}},
        Clipboard::Party{"org.kde.kate", 200});
    EXPECT_EQ(h.reported.back().sourceBundleID, "com.example.Notes");
    EXPECT_EQ(h.reported.back().sourceName, "com.example.Notes");
    EXPECT_FALSE(h.reported.back().sourcePID);
}

TEST(ClipboardMonitorTest, AnAltTapJustBeforeACopyAsksToKeepIt) {
    MonitorHarness h;
    h.start();
    const TimePoint t = h.fakes.scheduler.now();
    h.fakes.keys.send({KeyStateEvent::Key::alt, true, t});
    h.fakes.keys.send({KeyStateEvent::Key::alt, false, t + 0.1});
    h.fakes.scheduler.advance(1);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "kept"}}, std::nullopt);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "cleaned"}}, std::nullopt);
    ASSERT_EQ(h.reported.size(), 2u);
    EXPECT_TRUE(h.reported[0].bypassRequested);
    EXPECT_FALSE(h.reported[1].bypassRequested) << "one tap keeps one copy";
}

// Key events can go missing (another client's grab): an Alt release never
// reported must not bypass every later copy, and a mark is used up by one.
TEST(ClipboardMonitorTest, TheDesktopsWordOnAltBeatsAMissingReleaseAndAMarkKeepsOneCopy) {
    MonitorHarness h;
    h.start();
    h.fakes.keys.send({KeyStateEvent::Key::alt, true, h.fakes.scheduler.now()});
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "Alt held: kept"}}, std::nullopt);
    h.fakes.keys.altHeld = false;  // let go, though no event said so
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "cleaned"}}, std::nullopt);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "cleaned too"}}, std::nullopt);

    h.monitor->bypassNextCopy(10);
    h.fakes.scheduler.advance(9);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "marked: kept"}}, std::nullopt);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "after the mark: cleaned"}}, std::nullopt);
    h.monitor->bypassNextCopy(10);
    h.fakes.scheduler.advance(10.5);
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "the mark ran out: cleaned"}}, std::nullopt);

    std::vector<bool> bypassed;
    for (const auto& change : h.reported) bypassed.push_back(change.bypassRequested);
    EXPECT_EQ(bypassed, (std::vector<bool>{true, false, false, true, false, false}));
}

}  // namespace
}  // namespace dz
