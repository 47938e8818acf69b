// Serving against the compositor fake: readers that never read hold only
// their own transfer, for as long as their idle limit, and no more of them
// are served at once than the cap.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <thread>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/wayland/DataControlClipboard.h"
#include "tests/linux/wayland/FakeCompositor.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::wayland {
namespace {

using namespace std::chrono_literals;
using x11::test::Child;

TEST(DataControlClipboard, StalledReadersCostOnlyTheirOwnTransfersUpToTheCap) {
    test::FakeCompositor compositor;
    ASSERT_TRUE(compositor.running());
    setenv("WAYLAND_DISPLAY", compositor.socket().c_str(), 1);
    ClipboardLimits limits;
    limits.maxTransfers = 2;
    limits.servingIdleTimeout = 1s;
    auto clipboard = DataControlClipboard::create({}, nullptr, compositor.socket().c_str(), limits);
    ASSERT_TRUE(clipboard);
    // Larger than a pipe holds, so that a reader that never reads blocks its transfer.
    const std::string big(1 << 20, 'b');
    clipboard->own({{std::string(pasteboardtype::string), big}});
    for (int i = 0; i < 100 && !clipboard->holdsSelection(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(clipboard->holdsSelection());

    const std::string type = "text/plain;charset=utf-8";
    std::vector<std::unique_ptr<Child>> stalled;
    for (int i = 0; i < 2; ++i) {
        stalled.push_back(
            std::make_unique<Child>(std::vector<std::string>{DZ_WAYLAND_READER, "stall", type}));
        EXPECT_EQ(stalled.back()->line(), "asked");
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Child({DZ_WAYLAND_TOOL, "paste", type}).all().size(), 0u) << "over the cap: refused";
    // Past their idle limit the stalled transfers are dropped, and pastes are served again.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Child({DZ_WAYLAND_TOOL, "paste", type}).all().size(), big.size());
    clipboard->shutdown();
}

// With no time to scan /proc at all, a paste is still named when its process
// is the front application's, which is looked at first.
TEST(DataControlClipboard, TheFrontApplicationsProcessIsLookedAtFirst) {
    test::FakeCompositor compositor;
    ASSERT_TRUE(compositor.running());
    ClipboardLimits limits;
    limits.peerScanDeadline = std::chrono::nanoseconds(0);
    std::mutex mutex;
    std::vector<std::optional<int32_t>> pasters;
    DataControlClipboard::Callbacks callbacks;
    callbacks.pasteRequest = [&](const DataControlClipboard::Request& request,
                                 DataControlClipboard::Answer answer) {
        std::lock_guard lock(mutex);
        pasters.push_back(request.pid);
        answer(std::nullopt);
    };
    auto clipboard = DataControlClipboard::create(callbacks, nullptr, compositor.socket().c_str(), limits);
    ASSERT_TRUE(clipboard);
    clipboard->own({{std::string(pasteboardtype::string), "text"}});
    for (int i = 0; i < 100 && !clipboard->holdsSelection(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(clipboard->holdsSelection());
    auto asked = [&](size_t count) {
        for (int i = 0; i < 300; ++i) {
            {
                std::lock_guard lock(mutex);
                if (pasters.size() >= count)
                    return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };

    const std::string type = "text/plain;charset=utf-8";
    Child unnamed({DZ_WAYLAND_READER, "stall", type});
    EXPECT_EQ(unnamed.line(), "asked");
    ASSERT_TRUE(asked(1));
    Child front({DZ_WAYLAND_READER, "stall", type});
    clipboard->setFrontProcesses({front.pid()});
    EXPECT_EQ(front.line(), "asked");
    ASSERT_TRUE(asked(2));
    std::lock_guard lock(mutex);
    EXPECT_EQ(pasters[0], std::nullopt);
    EXPECT_EQ(pasters[1], front.pid());
    clipboard->shutdown();
}

}  // namespace
}  // namespace dz::wayland
