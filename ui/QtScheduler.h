#pragma once
// The controller's scheduler on Qt's event loop: timers are QTimers on the
// main thread, and `post` queues work onto it from any thread.

#include <chrono>
#include <unordered_map>

#include <QObject>

#include "app/platform/Scheduler.h"

class QTimer;

namespace dz {

class QtScheduler : public QObject, public Scheduler {
  public:
    // A QTimer counts in int milliseconds (at most about 24.8 days), so
    // longer waits are taken in steps of this many seconds.
    static constexpr double defaultLongestStep = 86'400;

    // Lives on the thread that creates it (the main thread). `longestStep`
    // is only for tests.
    explicit QtScheduler(QObject* parent = nullptr, double longestStep = defaultLongestStep);
    ~QtScheduler() override;

    TimePoint now() const override;
    TaskID after(double seconds, std::function<void()> task) override;
    TaskID every(double seconds, std::function<void()> task) override;
    void cancel(TaskID id) override;
    void post(std::function<void()> task) override;

    size_t pendingTimers() const { return timers_.size(); }

  private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        QTimer* timer = nullptr;
        // Only for waits longer than one step: when the task is due, its
        // period (0: once), and whether the armed step ends at that time.
        Clock::time_point due;
        Clock::duration period{};
        bool stepped = false;
        bool lastStep = true;
    };

    TaskID start(double seconds, bool repeat, std::function<void()> task);
    void arm(Timer& timer);

    double longestStep_;
    TaskID nextID_ = 1;
    std::unordered_map<TaskID, Timer> timers_;
};

}  // namespace dz
