#include "linux/ThreadWorker.h"

#include <malloc.h>
#include <pthread.h>

#include <utility>

namespace dz {

ThreadWorker::ThreadWorker(Scheduler& scheduler)
    : scheduler_(scheduler), alive_(std::make_shared<bool>(true)), thread_([this] { loop(); }) {}

ThreadWorker::~ThreadWorker() {
    *alive_ = false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void ThreadWorker::run(std::function<void()> work, std::function<void()> done) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back([this, alive = alive_, work = std::move(work), done = std::move(done)]() mutable {
            work();
            // The completion checks on the main thread whether the worker,
            // and so the program that asked, is still there.
            scheduler_.post([alive, done = std::move(done)] {
                if (*alive)
                    done();
            });
        });
    }
    wake_.notify_one();
}

bool ThreadWorker::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return !busy_ && jobs_.empty(); });
}

void ThreadWorker::releaseMemory() {
    run([] { malloc_trim(0); }, [] {});
}

void ThreadWorker::loop() {
    pthread_setname_np(pthread_self(), "dz-worker");
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
        }
        job();
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

}  // namespace dz
