#include "linux/ThreadWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "tests/linux/x11/PumpScheduler.h"

namespace dz {
namespace {

using namespace std::chrono_literals;

TEST(ThreadWorkerTest, JobsRunInOrderAwayFromTheMainThreadAndCompleteOnIt) {
    x11::test::PumpScheduler scheduler;
    ThreadWorker worker(scheduler);
    const auto main = std::this_thread::get_id();
    std::vector<int> order;
    std::vector<bool> offMain;
    std::vector<int> completed;
    for (int i = 0; i < 3; ++i)
        worker.run(
            [&, i] {
                order.push_back(i);
                offMain.push_back(std::this_thread::get_id() != main);
            },
            [&, i] {
                EXPECT_EQ(std::this_thread::get_id(), main);
                completed.push_back(i);
            });
    ASSERT_TRUE(scheduler.pumpUntil([&] { return completed.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(offMain, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(completed, (std::vector<int>{0, 1, 2}));
}

TEST(ThreadWorkerTest, StoppingDropsWaitingJobsAndNoCompletionRunsAfterwards) {
    x11::test::PumpScheduler scheduler;
    std::atomic<int> ran{0};
    int completed = 0;
    std::promise<void> started, release;
    std::thread letGo;
    {
        ThreadWorker worker(scheduler);
        worker.run(
            [&] {
                started.set_value();
                release.get_future().wait();
                ++ran;
            },
            [&] { ++completed; });
        worker.run([&] { ++ran; }, [&] { ++completed; });
        started.get_future().wait();
        EXPECT_FALSE(worker.waitIdle(10ms)) << "a job is running";
        letGo = std::thread([&] {
            std::this_thread::sleep_for(50ms);
            release.set_value();
        });
    }  // waits for the running job only
    letGo.join();
    scheduler.pump(100ms);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_EQ(completed, 0);
}

}  // namespace
}  // namespace dz
