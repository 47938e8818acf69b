#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/platform/fakes/VirtualScheduler.h"
#include "linux/clipboard/CompositorPastes.h"

namespace dz::x11 {
namespace {

using namespace std::chrono_literals;
using Party = Clipboard::Party;

TEST(CompositorPastes, TheCompositorsOwnRequests) {
    struct Case {
        int32_t pid;
        std::optional<int32_t> compositor;
        std::optional<std::string> executable;
        bool expected;
    };
    const Case cases[] = {
        {812, 812, "sway", true},  // the compositor, as its socket tells
        {812, std::nullopt, "gnome-shell", true},
        {812, std::nullopt, "mutter", true},
        {813, 812, "Xwayland", true},  // the X server's own windows
        {900, 812, "gedit", false},    // an X11 application names itself
        {900, std::nullopt, std::nullopt, false},
        {900, 812, "gnome-shell-calendar-server", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompositorPastes::isCompositor(c.pid, c.compositor, c.executable), c.expected)
            << c.pid << " " << c.executable.value_or("?");
}

// Identifies as the desktop would: the front application's desktop id.
Party identify(int32_t pid) {
    return {"app-" + std::to_string(pid), pid};
}

class CompositorPastesTest : public ::testing::Test {
  protected:
    // Runs what the worker posted until `done`, in real time (the worker is a thread).
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        for (auto until = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < until;) {
            scheduler.runDue();
            if (done())
                return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    fake::VirtualScheduler scheduler;
    std::vector<Party> answers;
    std::function<void(Party)> record = [this](Party p) { answers.push_back(std::move(p)); };
};

TEST_F(CompositorPastesTest, TheFrontApplicationAnswersWithinTheBudget) {
    std::atomic<double> budgetSeen{0};
    CompositorPastes pastes(
        scheduler, 812,
        [&](CompositorPastes::Clock::time_point deadline) -> std::optional<int32_t> {
            budgetSeen = std::chrono::duration<double>(deadline - CompositorPastes::Clock::now()).count();
            return 4242;
        },
        identify);
    pastes.identify(record);
    EXPECT_TRUE(answers.empty()) << "never inside the call";
    ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
    EXPECT_EQ(answers, std::vector<Party>{identify(4242)});
    EXPECT_GT(budgetSeen, 0.0);
    EXPECT_LE(budgetSeen, CompositorPastes::defaultBudget);
    // The budget's timer was cancelled: nothing answers twice.
    scheduler.advance(1);
    EXPECT_EQ(answers.size(), 1u);
}

TEST_F(CompositorPastesTest, NoFrontApplicationIsAnUnknownPaster) {
    CompositorPastes pastes(
        scheduler, 812, [](auto) { return std::nullopt; }, identify);
    pastes.identify(record);
    ASSERT_TRUE(pumpUntil([&] { return !answers.empty(); }));
    EXPECT_EQ(answers, std::vector<Party>{Party{}});
    EXPECT_LT(scheduler.elapsed(), CompositorPastes::defaultBudget) << "without waiting for the budget";
}

TEST_F(CompositorPastesTest, ASlowBusIsGivenUpOnAtTheBudgetAndLaterPastesStillAnswer) {
    std::mutex mutex;
    std::condition_variable cv;
    bool released = false;
    std::atomic<int> asked{0};
    CompositorPastes pastes(
        scheduler, 812,
        [&](auto) -> std::optional<int32_t> {
            // Ignores its deadline, as a hung bus call would.
            if (asked++ == 0) {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return released; });
            }
            return 4242;
        },
        identify);
    pastes.identify(record);
    ASSERT_TRUE(pumpUntil([&] { return asked > 0; }));
    scheduler.advance(CompositorPastes::defaultBudget - 0.01);
    EXPECT_TRUE(answers.empty());
    scheduler.advance(0.01);
    ASSERT_EQ(answers, std::vector<Party>{Party{}}) << "unknown, at the budget";

    // A paste queued behind the hung one, past its own budget by the time
    // the worker is free, is not looked up.
    pastes.identify(record);
    scheduler.advance(CompositorPastes::defaultBudget);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1], Party{});
    std::this_thread::sleep_for(CompositorPastes::Clock::duration(std::chrono::milliseconds(350)));
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    cv.notify_all();
    // The late answer is dropped; the next paste is answered from the bus.
    pumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(answers.size(), 2u);
    EXPECT_EQ(asked, 1) << "the stale paste was skipped";
    pastes.identify(record);
    ASSERT_TRUE(pumpUntil([&] { return answers.size() == 3; }));
    EXPECT_EQ(answers[2], identify(4242));
}

TEST_F(CompositorPastesTest, GoneWithALookUpUnderWay) {
    std::atomic<bool> started{false};
    {
        CompositorPastes pastes(
            scheduler, 812,
            [&](auto) -> std::optional<int32_t> {
                started = true;
                std::this_thread::sleep_for(50ms);
                return 4242;
            },
            identify);
        pastes.identify(record);
        while (!started) std::this_thread::yield();
    }
    scheduler.advance(1);
    EXPECT_TRUE(answers.empty()) << "nothing reaches a service that is gone";
}

}  // namespace
}  // namespace dz::x11
