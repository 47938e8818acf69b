#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "ui/QtScheduler.h"

namespace dz {
namespace {

// Runs the event loop until `done` or five seconds (a loaded machine is slow).
template <typename F>
bool runUntil(F done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

TEST(QtSchedulerTest, DelayedRepeatingAndCancelledTasksOnTheEventLoop) {
    QtScheduler scheduler;
    std::vector<std::string> log;
    scheduler.after(0, [&] { log.push_back("soon"); });
    EXPECT_TRUE(log.empty());  // never inside the call
    const auto cancelled = scheduler.after(0.01, [&] { log.push_back("cancelled"); });
    scheduler.cancel(cancelled);
    scheduler.cancel(cancelled);
    scheduler.cancel(12345);
    int ticks = 0;
    Scheduler::TaskID repeating = 0;
    repeating = scheduler.every(0.01, [&] {
        if (++ticks == 3)
            scheduler.cancel(repeating);  // a task may cancel itself
    });
    scheduler.after(0.05, [&] { log.push_back("later"); });
    ASSERT_TRUE(runUntil([&] { return log.size() == 2 && ticks >= 3; }));
    EXPECT_EQ(log, (std::vector<std::string>{"soon", "later"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

// Waits longer than a QTimer can hold are taken in steps; here a step is
// 50 ms, so that the steps show in a test.
TEST(QtSchedulerTest, WaitsLongerThanAStepRunOnTimeAndCanBeCancelledBetweenSteps) {
    QtScheduler scheduler(nullptr, 0.05);
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> once, repeated;
    scheduler.after(0.3, [&] { once.push_back(clock.elapsed()); });
    Scheduler::TaskID repeating = 0;
    repeating = scheduler.every(0.2, [&] {
        repeated.push_back(clock.elapsed());
        if (repeated.size() == 2)
            scheduler.cancel(repeating);
    });
    bool cancelledRan = false;
    const auto cancelled = scheduler.after(0.25, [&] { cancelledRan = true; });
    scheduler.after(0.12, [&] { scheduler.cancel(cancelled); });

    ASSERT_TRUE(runUntil([&] { return !once.empty() && repeated.size() == 2; }));
    ASSERT_TRUE(runUntil([&] { return clock.elapsed() > 600; }));
    ASSERT_EQ(once.size(), 1u);
    EXPECT_GE(once[0], 300);
    ASSERT_EQ(repeated.size(), 2u);
    EXPECT_GE(repeated[0], 200);
    EXPECT_GE(repeated[1], 400);
    EXPECT_FALSE(cancelledRan);
    EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

TEST(QtSchedulerTest, PostedWorkRunsOnTheMainThreadInOrder) {
    QtScheduler scheduler;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            scheduler.post([&, i] {
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
    });
    worker.join();
    ASSERT_TRUE(runUntil([&] { return order.size() == 100; }));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[size_t(i)], i);
    for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

}  // namespace
}  // namespace dz
