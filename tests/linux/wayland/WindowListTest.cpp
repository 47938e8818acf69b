// The compositor's window list against the compositor fake: the window
// changes and the front application for each sequence in
// tests/fixtures/linux/window-list/sequences.txt, and the process scan that
// finds an application's process from its id.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "linux/wayland/AppProcesses.h"
#include "linux/wayland/ForeignToplevels.h"
#include "linux/wayland/WaylandWindowEvents.h"
#include "linux/wayland/WaylandWorkspace.h"
#include "tests/linux/wayland/FakeCompositor.h"
#include "tests/linux/x11/PumpScheduler.h"

namespace dz::wayland {
namespace {

using namespace std::chrono_literals;
using x11::test::PumpScheduler;

const std::string fixtures = DZ_FIXTURES_DIR "/linux";

x11::AppIdentity fixtureIdentity() {
    return x11::AppIdentity(fixtures + "/proc",
                            std::vector<std::filesystem::path>{fixtures + "/apps/applications"}, "C");
}

// X11's view through Xwayland: an xterm in front, and a LibreOffice Writer.
class X11Front final : public Workspace {
  public:
    std::optional<std::string> applicationLocation(std::string_view) const override { return std::nullopt; }
    std::vector<RunningApplication> runningApplications() const override {
        return {{"xterm", std::nullopt, 77}, {"libreoffice-writer", std::nullopt, 88}};
    }
    std::optional<BundleInfo> bundleInfo(std::string_view) const override { return std::nullopt; }
    std::optional<RunningApplication> frontmostApplication() const override {
        return RunningApplication{"xterm", std::nullopt, 77};
    }
};

bool number(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Words split at spaces, "quoted" ones whole, "x*N" as N copies of x.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string word;
    while (in >> std::ws && !in.eof()) {
        if (in.peek() == '"') {
            in.get();
            std::getline(in, word, '"');
        } else {
            in >> word;
        }
        if (auto star = word.rfind('*');
            star != std::string::npos && star > 0 && number(word.substr(star + 1))) {
            std::string unit = word.substr(0, star), all;
            for (int i = std::stoi(word.substr(star + 1)); i > 0; --i) all += unit;
            word = all;
        }
        out.push_back(word);
    }
    return out;
}

struct Sequence {
    std::string name;
    std::vector<std::vector<std::string>> actions, expected;
};

std::vector<Sequence> sequences() {
    std::ifstream in(fixtures + "/window-list/sequences.txt");
    std::vector<Sequence> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("== ")) {
            out.push_back({line.substr(3), {}, {}});
        } else if (!line.empty() && line[0] != '#' && !out.empty()) {
            auto w = words(line);
            bool expectation = w[0] == ">" || w[0] == "front" || w[0] == "windows" || w[0] == "running" ||
                               ((w[0] == "title" || w[0] == "appid") && w.size() == 3 && number(w[2]));
            (expectation ? out.back().expected : out.back().actions).push_back(w);
        }
    }
    return out;
}

std::string shown(const std::optional<std::string>& s) {
    return s ? *s : "-";
}
std::string shown(const std::optional<int32_t>& pid) {
    return pid ? std::to_string(*pid) : "-";
}

// Runs one sequence; the outcomes as lines in the fixture's own words.
std::vector<std::string> run(const Sequence& sequence) {
    test::FakeCompositor compositor;
    EXPECT_TRUE(compositor.running());
    PumpScheduler scheduler;
    ToplevelLimits limits;
    for (const auto& a : sequence.actions)
        if (a[0] == "limit")
            limits.maxToplevels = std::stoul(a[1]);
    std::string error;
    auto toplevels = ForeignToplevels::create(scheduler, &error, compositor.socket().c_str(), limits);
    if (!toplevels) {
        ADD_FAILURE() << error;
        return {};
    }
    auto identity = fixtureIdentity();
    X11Front x11;
    WaylandWorkspace workspace(*toplevels, x11, identity, AppProcesses(identity, fixtures + "/proc", {}));
    WaylandWindowEvents events(*toplevels, scheduler, [&](const ForeignToplevels::Toplevel& toplevel) {
        return workspace.applicationOf(toplevel);
    });

    std::map<std::string, int> keys;      // the fixture's window names, as the compositor's keys
    std::map<uint64_t, std::string> ids;  // our window ids, by the fixture's names
    int changes = 0;
    toplevels->listen([&](const ForeignToplevels::Change&) { ++changes; });
    std::vector<std::string> out;
    auto watch = [&] {
        events.watch([&](WindowEvents::Change change, const WindowEvents::Window& window) {
            static const char* names[] = {"activated", "titleChanged", "closed"};
            std::string line = std::string("> ") + names[int(change)] + " ";
            if (window.id == 0)
                line += "none";
            else
                line += ids[window.id] + " " + shown(window.bundleID) + " " + shown(window.pid);
            out.push_back(line);
        });
    };
    if (std::none_of(sequence.actions.begin(), sequence.actions.end(),
                     [](const auto& a) { return a[0] == "unwatched"; }))
        watch();
    for (const auto& a : sequence.actions) {
        const int before = changes;
        auto key = [&] {
            auto [it, added] = keys.try_emplace(a[1], int(keys.size()) + 1);
            if (added)
                ids[uint64_t(it->second)] = a[1];  // numbered in the order opened, as the list numbers them
            return it->second;
        };
        if (a[0] == "open")
            compositor.openWindow(key(), a[2], a[3]);
        else if (a[0] == "title")
            compositor.setTitle(key(), a[2]);
        else if (a[0] == "appid")
            compositor.setAppID(key(), a[2]);
        else if (a[0] == "activate")
            compositor.activate(a[1] == "none" ? 0 : key());
        else if (a[0] == "close")
            compositor.closeWindow(key());
        else if (a[0] == "withdraw")
            compositor.withdrawWindowList();
        else if (a[0] == "watch")
            watch();
        else if (a[0] != "limit" && a[0] != "unwatched")
            ADD_FAILURE() << "unknown action " << a[0];
        // Each action is one change or two (a focus switch), unless the
        // window is not followed. A window active for less than a turn of the
        // main loop is not reported, so the next action waits for quiet.
        scheduler.pumpUntil([&] { return changes > before; }, 500ms);
        scheduler.pumpUntil([] { return false; }, 30ms);
    }
    // Past the wait before "nothing in front" is told.
    scheduler.pumpUntil([] { return false; }, 300ms);

    for (const auto& e : sequence.expected) {
        if (e[0] == "front") {
            auto front = workspace.frontmostApplication();
            out.push_back(front ? "front " + front->bundleID + " " + shown(front->pid) : "front none");
        } else if (e[0] == "running") {
            std::string line = "running";
            for (const auto& app : workspace.runningApplications())
                line += (line == "running" ? " " : ", ") + app.bundleID + " " + shown(app.pid);
            out.push_back(line);
        } else if (e[0] == "windows") {
            out.push_back("windows " + std::to_string(toplevels->toplevels().size()));
        } else if (e[0] == "title" || e[0] == "appid") {
            for (const auto& toplevel : toplevels->toplevels())
                if (ids[toplevel.id] == e[1])
                    out.push_back(e[0] + " " + e[1] + " " +
                                  std::to_string((e[0] == "title" ? toplevel.title : toplevel.appID).size()));
        }
    }
    events.watch(nullptr);
    return out;
}

TEST(WindowList, SequencesGiveTheirWindowChangesAndFrontApplication) {
    auto all = sequences();
    ASSERT_GE(all.size(), 10u);
    for (const auto& sequence : all) {
        std::vector<std::string> expected;
        for (const auto& e : sequence.expected) {
            std::string line;
            for (const auto& w : e) line += (line.empty() ? "" : " ") + w;
            expected.push_back(line);
        }
        EXPECT_EQ(run(sequence), expected) << sequence.name;
    }
}

TEST(WindowList, TitlesAreCutAtCharacterBoundaries) {
    EXPECT_EQ(ForeignToplevels::bounded("abcdef", 4), "abcd");
    EXPECT_EQ(ForeignToplevels::bounded("ab€", 4), "ab") << "no half of a three-byte character";
    EXPECT_EQ(ForeignToplevels::bounded("ab€", 5), "ab€");
    EXPECT_EQ(ForeignToplevels::bounded("a\tb\nc", 10, true), "abc");
    EXPECT_EQ(ForeignToplevels::bounded("\x80\x80\x80\x80", 2), "") << "nothing but continuation bytes";
}

// The process scan over the fixture's processes: 100 is a Flatpak Evince, 150
// and 200 a Firefox (a helper and its parent, in one systemd scope), 300
// Okular by its executable, 400 an unknown "mystery".
TEST(AppProcesses, FindsTheApplicationsTopmostProcessWithinItsBounds) {
    auto identity = fixtureIdentity();
    const struct {
        std::string bundleID;
        std::vector<pid_t> excluded;
        std::chrono::milliseconds deadline;
        std::optional<pid_t> pid;
        bool complete;
    } cases[] = {
        {"org.gnome.Evince", {}, 1000ms, 100, true},
        {"firefox-esr", {}, 1000ms, 200, true},  // the helper 150 comes first, and stands for its parent
        {"Firefox-ESR", {}, 1000ms, 200, true},
        {"kde-org.kde.okular", {}, 1000ms, 300, true},
        {"mystery", {}, 1000ms, 400, true},
        {"mystery", {400}, 1000ms, std::nullopt, true},
        {"firefox-esr", {200}, 1000ms, 150, true},
        {"nothing.Here", {}, 1000ms, std::nullopt, true},
        {"mystery", {}, 0ms, std::nullopt, false},
        {"", {}, 1000ms, std::nullopt, true},
    };
    for (const auto& c : cases) {
        AppProcesses processes(identity, fixtures + "/proc", c.excluded, ::getuid(), {c.deadline, 100});
        auto scan = processes.find(c.bundleID);
        EXPECT_EQ(scan.pid, c.pid) << c.bundleID;
        EXPECT_EQ(scan.complete, c.complete) << c.bundleID;
    }
    AppProcesses capped(identity, fixtures + "/proc", {}, ::getuid(), {1000ms, 2});
    auto scan = capped.find("kde-org.kde.okular");
    EXPECT_FALSE(scan.pid) << "past the cap";
    EXPECT_FALSE(scan.complete);
    EXPECT_EQ(scan.processesSeen, 2u);
}

// On this machine's own /proc, the scan ends at its deadline whatever it finds.
TEST(AppProcesses, AScanOfThisMachineKeepsToItsDeadline) {
    x11::AppIdentity identity;
    identity.installed();  // the desktop files are read once, before any scan
    AppProcesses processes(identity);
    const auto start = std::chrono::steady_clock::now();
    auto scan = processes.find("no.such.Application");
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(scan.pid);
    EXPECT_LT(spent, AppProcessLimits{}.deadline + 50ms) << scan.processesSeen << " processes";
    std::printf("scanned %zu processes in %.1f ms (%s)\n", scan.processesSeen,
                std::chrono::duration<double, std::milli>(spent).count(), scan.complete ? "all" : "cut");
}

}  // namespace
}  // namespace dz::wayland
