#pragma once
// A scheduler on a virtual clock: time moves only when the test says so, and
// due tasks run in time order (ties in the order they were scheduled).

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "app/platform/Scheduler.h"

namespace dz::fake {

class VirtualScheduler final : public Scheduler {
  public:
    // 2026-01-05 09:00:00 UTC, the start of every scenario.
    static constexpr TimePoint defaultStart = 1767603600.0;

    explicit VirtualScheduler(TimePoint start = defaultStart) : start_(start) {}

    TimePoint now() const override { return start_ + double(micros_) / 1e6; }
    TaskID after(double seconds, std::function<void()> task) override;
    TaskID every(double seconds, std::function<void()> task) override;
    void cancel(TaskID id) override;
    void post(std::function<void()> task) override;

    // Seconds since the start, exact to the microsecond.
    double elapsed() const { return double(micros_) / 1e6; }
    // Runs everything due now, including what those tasks schedule for now.
    void runDue();
    // Moves the clock forward, running every task due up to and including the
    // end in time order; the clock reads each task's due time while it runs.
    void advance(double seconds);
    // Tasks still waiting (repeating ones count once).
    size_t pendingCount() const { return tasks_.size(); }

  private:
    struct Task {
        int64_t due;
        uint64_t sequence;
        int64_t interval;  // 0: runs once
        std::function<void()> run;
    };
    static int64_t toMicros(double seconds);
    TaskID schedule(int64_t due, int64_t interval, std::function<void()> task);
    void drainPosted();
    // Runs the earliest task due at or before `limit`; false when there is none.
    bool runNext(int64_t limit);

    TimePoint start_;
    int64_t micros_ = 0;
    uint64_t nextID_ = 1;
    uint64_t nextSequence_ = 1;
    std::map<std::pair<int64_t, uint64_t>, TaskID> queue_;  // (due, sequence) -> id
    std::unordered_map<TaskID, Task> tasks_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace dz::fake
