#include <gtest/gtest.h>

#include "app/controller/StatusItemBridge.h"
#include "tests/app/controller/ControllerHarness.h"

using namespace dz;

namespace {

// The tray on a controller with fake desktop services.
struct TrayHarness : test::ControllerHarness {
    std::vector<std::string> requests;
    std::vector<StatusItemController::Appearance> rendered;
    StatusItemController status{
        settings, fakes.scheduler, [this] { return statusItemState(*controller); },
        statusItemActions(
            *controller, [this] { requests.push_back("settings"); }, [this] { requests.push_back("quit"); }),
        shorttime::pattern("HH:mm", "UTC")};

    TrayHarness() {
        status.setRenderer([this](const StatusItemController::Appearance& a) { rendered.push_back(a); });
        status.install(controller->stateChanged);
    }

    void choose(std::vector<std::string> path) {
        Menu menu = status.buildMenu();
        const MenuItem* item = menu::find(menu, path);
        ASSERT_TRUE(item) << path.back();
        status.perform(*item);
        fakes.scheduler.runDue();
    }
    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const MenuItem& item : status.buildMenu())
            if (!item.separator)
                out.push_back(item.title);
        return out;
    }
};

bool contains(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

TEST(StatusItemBridgeTest, MenuFollowsTheControllersState) {
    TrayHarness h;
    ASSERT_EQ(h.rendered.size(), 1u);  // installing refreshes once
    auto titles = h.titles();
    EXPECT_FALSE(
        std::any_of(titles.begin(), titles.end(), [](auto& t) { return t.starts_with("Last copy"); }));
    EXPECT_TRUE(contains(titles, "Add Rule: Pasting into \u201CText Editor\u201D"));

    h.copyHTML("<p>Hello <b>world</b></p>", "Hello world", "firefox-esr");
    h.fakes.scheduler.advance(0.2);  // the page address is looked up first
    titles = h.titles();
    EXPECT_TRUE(contains(titles, "Last copy: Firefox \u2014 Plain Text")) << titles.size();
    EXPECT_TRUE(contains(titles, "Add Rule: Copying from \u201CFirefox\u201D"));

    // Pausing from the menu is a state change: the icon dims at once.
    h.choose({"Pause", "For 15 Minutes"});
    EXPECT_EQ(h.rendered.back().stateText, "Dozuzavuvu (paused)");
    EXPECT_TRUE(h.rendered.back().dimmed);
    EXPECT_TRUE(contains(h.titles(), "Resume (Paused Until 09:15)"));
    h.fakes.scheduler.advance(15 * 60);
    EXPECT_FALSE(h.rendered.back().dimmed);
    EXPECT_TRUE(contains(h.titles(), "Pause"));

    h.choose({"Settings\u2026"});
    h.choose({"Quit Dozuzavuvu"});
    EXPECT_EQ(h.requests, (std::vector<std::string>{"settings", "quit"}));
}

TEST(StatusItemBridgeTest, ConversionsReachTheClipboard) {
    TrayHarness h;
    h.copyHTML("<h1>Title</h1><p>Some <i>text</i></p>", "Title\nSome text");
    h.choose({"Convert Clipboard to Markdown"});
    EXPECT_EQ(h.clipboardText(), "# Title\n\nSome *text*");
    ASSERT_TRUE(h.controller->clip());
    EXPECT_TRUE(h.controller->clip()->pinned);

    h.choose({"Restore Original Formatting"});
    EXPECT_EQ(h.clipboardText(), "Title\nSome text");

    // Nothing usable on the clipboard: cleaning now beeps.
    h.fakes.clipboard.copy({{"public.png", "\x89PNG"}}, std::nullopt);
    h.fakes.scheduler.runDue();
    int beeps = h.fakes.system.beeps;
    h.choose({"Clean Clipboard Now"});
    EXPECT_GT(h.fakes.system.beeps, beeps);

    // The toggle click turns cleaning off and the tool tip says so at once.
    h.status.toggleClicked();
    EXPECT_FALSE(h.settings.data().autoClean);
    EXPECT_EQ(h.rendered.back().stateText, "Dozuzavuvu (automatic cleaning off)");
}
