// The workspace under a window manager: the active window's application.
#include <gtest/gtest.h>

#include "linux/workspace/X11Workspace.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::x11 {
namespace {

using namespace test;

TEST(X11WorkspaceTest, FrontmostAndRunningApplicationsFromTheWindowManager) {
    AppIdentity identity("/proc",
                         std::vector<std::filesystem::path>{DZ_FIXTURES_DIR "/linux/apps/applications"}, "C");
    std::string error;
    auto workspace = X11Workspace::create(identity, &error);
    ASSERT_TRUE(workspace) << error;

    // One process, two windows of different applications: each window's class decides.
    Child calc({DZ_CLIPBOARD_TOOL, "window", "libreoffice", "libreoffice-calc"});
    ASSERT_EQ(calc.line(), "mapped");
    auto waitFront = [&](const std::string& id) {
        auto until = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < until) {
            if (auto front = workspace->frontmostApplication(); front && front->bundleID == id)
                return *front;
            std::this_thread::sleep_for(20ms);
        }
        return Workspace::RunningApplication{};
    };
    auto front = waitFront("libreoffice-calc");
    EXPECT_EQ(front.localizedName, "LibreOffice Calc");
    EXPECT_EQ(front.pid, calc.pid());

    Child other({DZ_CLIPBOARD_TOOL, "window", "tool", "NoSuchClass"});
    ASSERT_EQ(other.line(), "mapped");
    EXPECT_EQ(waitFront("dz_clipboard_tool").pid, other.pid());

    auto running = workspace->runningApplications();
    std::vector<std::string> ids;
    for (auto& app : running) ids.push_back(app.bundleID);
    EXPECT_NE(std::find(ids.begin(), ids.end(), "libreoffice-calc"), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), "dz_clipboard_tool"), ids.end());

    auto location = workspace->applicationLocation("libreoffice-calc");
    ASSERT_TRUE(location);
    EXPECT_EQ(workspace->bundleInfo(*location)->displayName, "LibreOffice Calc");
    EXPECT_FALSE(workspace->applicationLocation("not-installed"));
}

}  // namespace
}  // namespace dz::x11
