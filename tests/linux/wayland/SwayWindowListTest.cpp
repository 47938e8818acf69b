// The window list of a real compositor (headless Sway with Xwayland): an
// xterm appears in front, changes its title, and goes. Run by
// run-under-sway.sh with DZ_SWAY_XWAYLAND=1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "linux/wayland/AppProcesses.h"
#include "linux/wayland/ForeignToplevels.h"
#include "linux/wayland/WaylandWindowEvents.h"
#include "linux/wayland/WaylandWorkspace.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::wayland {
namespace {

using namespace std::chrono_literals;
using x11::test::Child;
using x11::test::PumpScheduler;

// X11 is left out: Xwayland admits Sway's user only, and the list must do without it.
class NoX11 final : public Workspace {
  public:
    std::optional<std::string> applicationLocation(std::string_view) const override { return std::nullopt; }
    std::vector<RunningApplication> runningApplications() const override { return {}; }
    std::optional<BundleInfo> bundleInfo(std::string_view) const override { return std::nullopt; }
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
};

TEST(SwayWindowList, AnXtermInFrontIsFollowedThroughItsTitleChangeToItsClose) {
    ASSERT_TRUE(std::getenv("DISPLAY")) << "run with DZ_SWAY_XWAYLAND=1";
    PumpScheduler scheduler;
    std::string error;
    auto toplevels = ForeignToplevels::create(scheduler, &error);
    ASSERT_TRUE(toplevels) << error;
    x11::AppIdentity identity;
    NoX11 x11;
    WaylandWorkspace workspace(*toplevels, x11, identity, AppProcesses(identity));
    WaylandWindowEvents events(*toplevels, scheduler, [&](const ForeignToplevels::Toplevel& toplevel) {
        return workspace.applicationOf(toplevel);
    });
    std::vector<std::pair<WindowEvents::Change, WindowEvents::Window>> seen;
    events.watch([&](WindowEvents::Change change, const WindowEvents::Window& window) {
        seen.emplace_back(change, window);
    });
    auto saw = [&](WindowEvents::Change change, uint64_t id) {
        return std::any_of(seen.begin(), seen.end(), [&](const auto& e) {
            return e.first == change && (id == 0 ? e.second.id != 0 : e.second.id == id);
        });
    };

    // The shell in the xterm changes the title, and then ends, when told
    // through files in a folder Sway's user can read.
    char made[] = "/tmp/dz-xterm-XXXXXX";
    ASSERT_TRUE(mkdtemp(made));
    const std::string dir = made;
    chmod(made, 0755);
    std::vector<std::string> command;
    if (const char* user = std::getenv("DZ_SWAY_USER"); user && *user)
        command = {"runuser", "-u", user, "--"};
    const std::string script = "until [ -e " + dir +
                               "/title ]; do sleep 0.05; done; printf '\\033]2;dz-second\\007'; " +
                               "until [ -e " + dir + "/end ]; do sleep 0.05; done";
    for (const std::string& word : {std::string("xterm"), std::string("-T"), std::string("dz-first"),
                                    std::string("-e"), std::string("sh"), std::string("-c"), script})
        command.push_back(word);
    auto tell = [&](const char* name) { std::ofstream(dir + "/" + name) << "\n"; };
    Child xterm(command);

    ASSERT_TRUE(scheduler.pumpUntil([&] { return saw(WindowEvents::Change::activated, 0); }, 15000ms))
        << "no window became active";
    const WindowEvents::Window window = std::find_if(seen.begin(), seen.end(), [](const auto& e) {
                                            return e.first == WindowEvents::Change::activated;
                                        })->second;
    auto active = toplevels->active();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->id, window.id);
    // Xwayland windows carry their WM_CLASS as app id; the desktop file names XTerm's class.
    EXPECT_EQ(active->appID, "XTerm");
    EXPECT_EQ(window.bundleID, "debian-xterm");
    auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleID, "debian-xterm");

    EXPECT_EQ(active->title, "dz-first");

    tell("title");
    ASSERT_TRUE(
        scheduler.pumpUntil([&] { return saw(WindowEvents::Change::titleChanged, window.id); }, 15000ms))
        << "the title change was not reported";
    EXPECT_EQ(toplevels->active()->title, "dz-second");

    tell("end");
    ASSERT_TRUE(scheduler.pumpUntil([&] { return saw(WindowEvents::Change::closed, window.id); }, 15000ms))
        << "the close was not reported";
    scheduler.pumpUntil([] { return false; }, 300ms);
    EXPECT_FALSE(workspace.frontmostApplication()) << "nothing is in front any more";
    EXPECT_EQ(seen.back().first, WindowEvents::Change::activated);
    EXPECT_EQ(seen.back().second.id, 0u);
    events.watch(nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dz::wayland
