#pragma once
// The program's worker: one thread that runs long jobs in order and hands
// their completions to the main thread through the scheduler.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "app/platform/Scheduler.h"
#include "app/platform/Worker.h"

namespace dz {

class ThreadWorker final : public Worker {
  public:
    // `scheduler` must outlive the worker.
    explicit ThreadWorker(Scheduler& scheduler);
    // Drops the jobs not yet started and waits for the one running; no
    // completion runs after this.
    ~ThreadWorker() override;
    ThreadWorker(const ThreadWorker&) = delete;
    ThreadWorker& operator=(const ThreadWorker&) = delete;

    void run(std::function<void()> work, std::function<void()> done) override;
    // Whether no job is waiting or running, waiting at most `timeout` for it.
    bool waitIdle(std::chrono::milliseconds timeout);
    void releaseMemory() override;

  private:
    void loop();

    Scheduler& scheduler_;
    std::shared_ptr<bool> alive_;  // read and cleared on the main thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    bool busy_ = false;  // a job is running
    std::condition_variable idle_;
    std::thread thread_;
};

}  // namespace dz
