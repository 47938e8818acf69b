// The primary selection for one paste, on a real X server: the old text comes
// back after the paste, after the wait, or not at all when the user selected
// something else; and a real xterm pastes it with Shift+Insert.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "app/input/KeyCombo.h"
#include "app/input/KeyboardSimulator.h"
#include "core/clipboard/PasteboardTypes.h"
#include "linux/clipboard/X11PrimarySelection.h"
#include "linux/input/X11Keyboard.h"
#include "tests/linux/x11/PumpScheduler.h"

namespace dz::x11 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// What a command prints; nothing when it fails.
std::optional<std::string> output(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return out;
}

std::optional<std::string> readPrimary() {
    return output("xclip -selection primary -o 2>/dev/null");
}

// Another application selects `text` (xclip serves it until it loses PRIMARY).
void selectElsewhere(const std::string& text) {
    ASSERT_EQ(std::system(("printf '%s' '" + text + "' | xclip -selection primary -i").c_str()), 0);
    const auto until = Clock::now() + 3s;
    while (readPrimary() != text && Clock::now() < until) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(readPrimary(), text);
}

// PRIMARY without an owner: a window takes it and goes away at once (the
// previous owner, losing it, ends by itself).
void clearPrimary() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(c, window, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
}

template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds limit = 3000ms) {
    const auto until = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<ClipboardSnapshot::Entry> text(const std::string& s) {
    return {{std::string(pasteboardtype::string), s}};
}

class X11PrimarySelectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!output("command -v xclip"))
            GTEST_SKIP() << "xclip is not installed";
        X11PrimarySelection::Limits limits;
        limits.pasteWait = 1500ms;
        std::string error;
        primary = X11PrimarySelection::create(&error, nullptr, limits);
        ASSERT_TRUE(primary) << error;
    }
    // Offers `s` and waits for the answer.
    bool offer(const std::string& s) {
        std::promise<bool> answered;
        auto future = answered.get_future();
        primary->offerOnce(text(s), [&](bool owned) { answered.set_value(owned); });
        return future.wait_for(3s) == std::future_status::ready && future.get();
    }
    std::unique_ptr<X11PrimarySelection> primary;
};

TEST_F(X11PrimarySelectionTest, TheOldTextComesBackAfterThePaste) {
    selectElsewhere("old text");
    ASSERT_TRUE(offer("clean text"));
    EXPECT_EQ(readPrimary(), "clean text");  // the paste
    EXPECT_TRUE(eventually([&] { return readPrimary() == "old text"; }, 1000ms))
        << "back within the grace after the paste, well before the wait runs out";
    EXPECT_FALSE(primary->restorePending());

    // One-shots in a row give back the text from before the first.
    ASSERT_TRUE(offer("first"));
    ASSERT_TRUE(offer("second"));
    EXPECT_EQ(readPrimary(), "second");
    EXPECT_TRUE(eventually([&] { return readPrimary() == "old text"; }));
}

TEST_F(X11PrimarySelectionTest, WithoutAPasteTheOldTextComesBackAfterTheWait) {
    selectElsewhere("kept");
    ASSERT_TRUE(offer("never pasted"));
    std::this_thread::sleep_for(1000ms);
    EXPECT_TRUE(primary->restorePending());
    EXPECT_TRUE(eventually([&] { return !primary->restorePending(); }));
    EXPECT_EQ(readPrimary(), "kept");
}

TEST_F(X11PrimarySelectionTest, ASelectionMadeMeanwhileStaysAndAnEmptyOneStaysEmpty) {
    selectElsewhere("before");
    ASSERT_TRUE(offer("offered"));
    selectElsewhere("the new selection");
    std::this_thread::sleep_for(1800ms);
    EXPECT_EQ(readPrimary(), "the new selection");

    // Nobody owns PRIMARY once the last owner has gone: after the paste, still nobody.
    clearPrimary();
    ASSERT_TRUE(eventually([] { return !readPrimary(); }));
    ASSERT_TRUE(offer("into nothing"));
    EXPECT_EQ(readPrimary(), "into nothing");
    EXPECT_TRUE(eventually([] { return !readPrimary(); }));
}

TEST_F(X11PrimarySelectionTest, TextTooLargeForOneRequestIsNotOffered) {
    EXPECT_FALSE(offer(std::string(64u << 20, 'x')));
    EXPECT_FALSE(primary->ownsSelection());
}

// A real xterm running `cat`: the paste arrives as text (not ^V), and the
// selection it had before is back afterwards.
TEST(XtermPasteTest, ShiftInsertPastesThroughPrimaryAndTheOldSelectionReturns) {
    if (!output("command -v xterm") || !output("command -v xclip") || !output("command -v xdotool"))
        GTEST_SKIP() << "xterm, xclip or xdotool is not installed";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dz-xterm-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "typed").string();
    pid_t xterm = fork();
    if (xterm == 0) {
        execlp("xterm", "xterm", "-class", "DzTestXTerm", "-e", "sh", "-c",
               ("stty -echo; cat > " + out).c_str(), nullptr);
        _exit(127);
    }
    ASSERT_GT(xterm, 0);
    ASSERT_TRUE(eventually(
        [] { return output("xdotool search --sync --class DzTestXTerm 2>/dev/null").has_value(); }, 10000ms));
    std::system("xdotool search --class DzTestXTerm windowactivate --sync >/dev/null 2>&1");
    selectElsewhere("the old selection");

    test::PumpScheduler scheduler;
    auto keyboard = X11Keyboard::create(scheduler);
    ASSERT_TRUE(keyboard);
    X11PrimarySelection::Limits limits;
    auto primary = X11PrimarySelection::create(nullptr, nullptr, limits);
    ASSERT_TRUE(primary);
    std::promise<bool> answered;
    primary->offerOnce(text("pasted through primary\n"), [&](bool owned) { answered.set_value(owned); });
    ASSERT_TRUE(answered.get_future().get());
    keyboard->press(KeyboardSimulator::keyInsert, KeyCombo::shift);

    auto typed = [&] {
        std::ifstream in(out);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    EXPECT_TRUE(eventually([&] { return typed() == "pasted through primary\n"; }, 5000ms)) << typed();
    EXPECT_EQ(typed().find('\x16'), std::string::npos) << "no literal Ctrl+V";
    EXPECT_TRUE(eventually([] { return readPrimary() == "the old selection"; }));
    kill(xterm, SIGTERM);
    waitpid(xterm, nullptr, 0);
    clearPrimary();
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dz::x11
