// Keystrokes through the virtual keyboard into a native Wayland window on a
// real compositor (headless Sway): the window pastes on Ctrl+V and prints
// what it got. Run by run-under-sway.sh.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <wayland-client.h>

#include <fstream>
#include <sstream>

#include "app/input/KeyCombo.h"
#include "app/input/KeyboardSimulator.h"
#include "linux/wayland/VirtualKeyboard.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::wayland {
namespace {

using namespace std::chrono_literals;
using x11::test::Child;
using Clock = std::chrono::steady_clock;
constexpr uint32_t keyV = KeyboardSimulator::keyV;
constexpr uint32_t keyC = KeyboardSimulator::keyC;

pid_t parentOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // pid (comm) state ppid ...: the name may hold spaces and parentheses.
    const size_t close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(line.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    rest >> state >> parent;
    return parent;
}

class SwayVirtualKeyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        // Headless Sway has no keyboard of its own: the seat gets one with
        // ours, and Sway focuses the new window.
        keys = keyboard();
        ASSERT_TRUE(keys);
        client = std::make_unique<Child>(std::vector<std::string>{DZ_PASTE_CLIENT, "dz-keys"});
        ASSERT_EQ(client->line(10000ms), "focused");
    }
    // wl-copy keeps serving from the background once it holds the selection.
    static void wlCopy(const std::string& text) {
        Child copier({"wl-copy", text});
        EXPECT_EQ(copier.wait(), 0) << "wl-copy failed";
    }
    static std::unique_ptr<VirtualKeyboard> keyboard() {
        std::string error;
        auto keyboard = VirtualKeyboard::create(&error);
        EXPECT_TRUE(keyboard) << error;
        return keyboard;
    }
    // The window's next paste, past its focus reports (each keyboard that
    // comes or goes on the seat focuses it again).
    std::optional<std::string> nextLine() {
        for (;;) {
            auto line = client->line(5000ms);
            if (line != "focused")
                return line;
        }
    }

    std::unique_ptr<VirtualKeyboard> keys;
    std::unique_ptr<Child> client;
};

TEST_F(SwayVirtualKeyboard, CtrlVPastesIntoTheFocusedWindowAndOtherModifiersAreTypedAsGiven) {
    wlCopy("typed into a native window");
    EXPECT_TRUE(keys->canSendKeystrokes());
    keys->press(keyV, KeyCombo::control);
    EXPECT_EQ(nextLine(), "paste:typed into a native window");

    // Neither Ctrl+Alt+V nor Ctrl+C is a paste here; a terminal's Ctrl+Shift+V is.
    keys->press(keyV, KeyCombo::control | KeyCombo::option);
    keys->press(keyC, KeyCombo::control);
    wlCopy("second");
    keys->press(keyV, KeyCombo::control | KeyCombo::shift);
    EXPECT_EQ(nextLine(), "paste:second");
}

TEST_F(SwayVirtualKeyboard, ModifiersHeldOnAnotherKeyboardDoNotReachOurKeystroke) {
    wlCopy("no Alt");
    // Another keyboard (standing in for the user's) holds Alt for a while.
    Child other({"wtype", "-M", "alt", "-s", "4000", "-m", "alt"});
    std::this_thread::sleep_for(500ms);
    keys->press(keyV, KeyCombo::control);
    EXPECT_EQ(nextLine(), "paste:no Alt") << "the window saw Ctrl+Alt+V";
    EXPECT_EQ(other.wait(8000ms), 0) << "wtype failed";
}

TEST_F(SwayVirtualKeyboard, AStalledCompositorHoldsUpNeitherPressNorSetUpNorQuit) {
    wl_display* probe = wl_display_connect(nullptr);
    ASSERT_TRUE(probe);
    ucred cred{};
    socklen_t length = sizeof cred;
    ASSERT_EQ(getsockopt(wl_display_get_fd(probe), SOL_SOCKET, SO_PEERCRED, &cred, &length), 0);
    wl_display_disconnect(probe);
    const pid_t compositor = cred.pid;
    ASSERT_GT(compositor, 0);
    // A second keyboard keeps the seat's keyboard while the first goes.
    auto spare = keyboard();
    ASSERT_TRUE(spare);

    ASSERT_EQ(kill(compositor, SIGSTOP), 0);
    auto start = Clock::now();
    for (int i = 0; i < 50; ++i) keys->press(keyC, KeyCombo::control);
    EXPECT_LT(Clock::now() - start, 200ms);

    start = Clock::now();
    std::string error;
    EXPECT_FALSE(VirtualKeyboard::create(&error));
    EXPECT_EQ(error, "the Wayland display does not answer");
    EXPECT_LT(Clock::now() - start, VirtualKeyboard::setUpTimeout + 1s);

    start = Clock::now();
    keys.reset();
    EXPECT_LT(Clock::now() - start, 500ms);
    ASSERT_EQ(kill(compositor, SIGCONT), 0);
    // runuser, when it started the compositor, stops itself as its child
    // stops, and would then never pass on the end of the test run.
    if (pid_t parent = parentOf(compositor); parent > 1)
        kill(parent, SIGCONT);

    wlCopy("after the stall");
    keys = keyboard();
    ASSERT_TRUE(keys);
    keys->press(keyV, KeyCombo::control);
    EXPECT_EQ(nextLine(), "paste:after the stall");
}

}  // namespace
}  // namespace dz::wayland
