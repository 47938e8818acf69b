#include <gtest/gtest.h>

#include <map>

#include "linux/accessibility/ActiveApplication.h"

namespace dz::x11 {
namespace {

constexpr uint64_t active = 1ull << atspi::stateActive;
constexpr uint64_t showing = 1ull << atspi::stateShowing;

// Applications by process, each with its windows' states; a missing state
// list stands for an application that does not answer.
struct Desktop {
    std::map<int32_t, std::optional<std::vector<uint64_t>>> apps;
};

class DesktopTree final : public AccessibleTree {
  public:
    explicit DesktopTree(Desktop desktop) : desktop_(std::move(desktop)) {}
    std::vector<AccessibleRef> applications() const {
        std::vector<AccessibleRef> out;
        for (const auto& [pid, windows] : desktop_.apps) out.push_back({":1." + std::to_string(pid), "/app"});
        return out;
    }
    std::optional<int32_t> processOf(const AccessibleRef& app) const { return std::stoi(app.bus.substr(3)); }

    std::optional<std::vector<AccessibleRef>> children(const AccessibleRef& n) override {
        ++calls;
        const auto& windows = desktop_.apps.at(*processOf(n));
        if (n.path != "/app" || !windows)
            return std::nullopt;
        std::vector<AccessibleRef> out;
        for (size_t i = 0; i < windows->size(); ++i) out.push_back({n.bus, "/w" + std::to_string(i)});
        return out;
    }
    std::optional<uint32_t> role(const AccessibleRef&) override { return 23; }
    std::optional<uint64_t> states(const AccessibleRef& n) override {
        ++calls;
        return desktop_.apps.at(*processOf(n))->at(std::stoul(n.path.substr(2)));
    }
    std::optional<std::map<std::string, std::string>> documentAttributes(const AccessibleRef&) override {
        return std::nullopt;
    }
    int calls = 0;

  private:
    Desktop desktop_;
};

std::optional<int32_t> front(const Desktop& desktop, std::set<int32_t> ignored = {},
                             ActiveApplicationLimits limits = {}) {
    DesktopTree tree(desktop);
    return findActiveApplication(
        tree, tree.applications(), [&](const AccessibleRef& app) { return tree.processOf(app); }, ignored,
        limits);
}

TEST(ActiveApplication, TheOneProcessWithAnActiveWindow) {
    const int32_t shell = 100;
    struct Case {
        const char* what;
        Desktop desktop;
        std::set<int32_t> ignored;
        std::optional<int32_t> expected;
    };
    const Case cases[] = {
        {"an editor's second window is active",
         {{{200, {{showing}}}, {300, {{showing, showing | active}}}}},
         {},
         300},
        {"no window is active", {{{200, {{showing}}}, {300, {{0}}}}}, {}, std::nullopt},
        {"no application at all", {}, {}, std::nullopt},
        {"two processes claim the front", {{{200, {{active}}}, {300, {{active}}}}}, {}, std::nullopt},
        {"the shell's own active stage does not count",
         {{{shell, {{active}}}, {300, {{active}}}}},
         {shell},
         300},
        {"only the shell is active", {{{shell, {{active}}}, {300, {{0}}}}}, {shell}, std::nullopt},
        {"an application that does not answer is passed over",
         {{{200, std::nullopt}, {300, {{active}}}}},
         {},
         300},
    };
    for (const auto& c : cases) EXPECT_EQ(front(c.desktop, c.ignored), c.expected) << c.what;
}

TEST(ActiveApplication, BoundedByApplicationsWindowsAndTime) {
    Desktop crowded;
    for (int32_t pid = 1; pid <= 500; ++pid) crowded.apps[pid] = std::vector<uint64_t>(100, showing);
    crowded.apps[1000] = {{active}};  // listed last
    DesktopTree tree(crowded);
    auto apps = tree.applications();
    auto processOf = [&](const AccessibleRef& app) { return tree.processOf(app); };
    EXPECT_EQ(findActiveApplication(tree, apps, processOf, {}), std::nullopt);
    // 128 applications of 32 windows each at most, one call for each and for each list.
    EXPECT_LE(tree.calls, 128 * 33);

    int checks = 0;
    ActiveApplicationLimits limits;
    limits.outOfTime = [&] { return ++checks > 5; };
    const Desktop late{{{200, {{0, 0, 0, 0, 0, 0, active}}}}};
    EXPECT_EQ(front(late, {}, limits), std::nullopt);
    EXPECT_EQ(front(late), 200) << "found with time to spare";
}

}  // namespace
}  // namespace dz::x11
