#pragma once
// A minimal virtual clock for the tray's tests.

#include <map>
#include <utility>

#include "app/platform/Scheduler.h"

namespace dz::test {

class TestScheduler final : public Scheduler {
  public:
    static constexpr TimePoint start = 1767603600.0;  // 2026-01-05 09:00:00 UTC

    TimePoint now() const override { return now_; }
    TaskID after(double seconds, std::function<void()> task) override {
        tasks_[{now_ + seconds, next_}] = {next_, std::move(task)};
        return next_++;
    }
    TaskID every(double, std::function<void()>) override { return next_++; }
    void cancel(TaskID id) override {
        std::erase_if(tasks_, [&](const auto& entry) { return entry.second.first == id; });
    }
    void post(std::function<void()> task) override { after(0, std::move(task)); }

    void advance(double seconds) {
        TimePoint end = now_ + seconds;
        while (!tasks_.empty() && tasks_.begin()->first.first <= end) {
            auto node = tasks_.extract(tasks_.begin());
            now_ = node.key().first;
            node.mapped().second();
        }
        now_ = end;
    }
    size_t pending() const { return tasks_.size(); }

  private:
    TimePoint now_ = start;
    TaskID next_ = 1;
    std::map<std::pair<TimePoint, TaskID>, std::pair<TaskID, std::function<void()>>> tasks_;
};

}  // namespace dz::test
