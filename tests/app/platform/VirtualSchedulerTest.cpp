#include "app/platform/fakes/FakePlatform.h"
#include "app/platform/fakes/VirtualScheduler.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace dz::fake {
namespace {

TEST(VirtualSchedulerTest, RunsDueTasksInTimeOrderWithTheClockAtEachDueTime) {
    VirtualScheduler scheduler;
    std::vector<std::string> log;
    auto at = [&](const char* name) {
        return [&, name] { log.push_back(std::string(name) + "@" + std::to_string(scheduler.elapsed())); };
    };
    scheduler.after(0.6, at("c"));
    scheduler.after(0.1, at("a"));
    scheduler.after(0.1, at("b"));  // same instant: scheduling order
    scheduler.after(0.0, at("now"));
    EXPECT_TRUE(log.empty()) << "nothing runs inside after()";
    scheduler.advance(0.3);
    scheduler.advance(0.3);  // 0.1 + 0.2 style sums must still reach 0.6 exactly
    EXPECT_EQ(log, (std::vector<std::string>{"now@0.000000", "a@0.100000", "b@0.100000", "c@0.600000"}));
    EXPECT_DOUBLE_EQ(scheduler.now(), VirtualScheduler::defaultStart + 0.6);
}

TEST(VirtualSchedulerTest, CancelRepeatAndSelfCancel) {
    VirtualScheduler scheduler;
    int ticks = 0, cancelled = 0;
    Scheduler::TaskID repeating = 0;
    repeating = scheduler.every(1.0, [&] {
        if (++ticks == 3)
            scheduler.cancel(repeating);
    });
    Scheduler::TaskID doomed = scheduler.after(2.0, [&] { ++cancelled; });
    scheduler.after(1.5, [&] { scheduler.cancel(doomed); });
    scheduler.advance(10);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(cancelled, 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.cancel(doomed);  // unknown ids are ignored
    scheduler.cancel(12345);
}

TEST(VirtualSchedulerTest, PostedTasksFromOtherThreadsRunInOrderOnTheNextTurn) {
    VirtualScheduler scheduler;
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) scheduler.post([&order, i] { order.push_back(i); });
    });
    worker.join();
    scheduler.after(0, [&] {
        order.push_back(10);
        scheduler.after(0, [&] { order.push_back(11); });  // chained at the same instant
    });
    scheduler.runDue();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 10, 11}));
}

}  // namespace
}  // namespace dz::fake
