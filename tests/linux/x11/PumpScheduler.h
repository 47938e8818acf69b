#pragma once
// A real-time scheduler whose "main thread" is the test thread: tasks run
// when the test pumps.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "app/platform/Scheduler.h"

namespace dz::x11::test {

class PumpScheduler final : public Scheduler {
  public:
    TimePoint now() const override {
        return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    }
    TaskID after(double seconds, std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        timers_[++next_] = {now() + seconds, 0, std::move(task)};
        return next_;
    }
    TaskID every(double seconds, std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        timers_[++next_] = {now() + seconds, seconds, std::move(task)};
        return next_;
    }
    void cancel(TaskID id) override {
        std::lock_guard lock(mutex_);
        timers_.erase(id);
    }
    void post(std::function<void()> task) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(std::move(task));
        cv_.notify_all();
    }
    // Runs what is due, waiting up to `timeout` for something to run; true if anything ran.
    bool pump(std::chrono::milliseconds timeout = std::chrono::milliseconds(50)) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, timeout, [&] { return !posted_.empty(); });
        bool ran = false;
        while (!posted_.empty()) {
            auto task = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            task();
            ran = true;
            lock.lock();
        }
        for (auto it = timers_.begin(); it != timers_.end();) {
            if (it->second.at > now()) {
                ++it;
                continue;
            }
            auto task = it->second.task;
            if (it->second.interval > 0) {
                it->second.at += it->second.interval;
                ++it;
            } else {
                it = timers_.erase(it);
            }
            lock.unlock();
            task();
            ran = true;
            lock.lock();
        }
        return ran;
    }
    // Pumps until `done()` or `timeout`.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            pump(std::chrono::milliseconds(10));
        }
        return true;
    }

  private:
    struct Timer {
        TimePoint at;
        double interval;
        std::function<void()> task;
    };
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
    std::map<TaskID, Timer> timers_;
    TaskID next_ = 0;
};

}  // namespace dz::x11::test
