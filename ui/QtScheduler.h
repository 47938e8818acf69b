#pragma once
// The controller's scheduler on Qt's event loop: timers are QTimers on the
// main thread, and `post` queues work onto it from any thread.

#include <unordered_map>

#include <QObject>

#include "app/platform/Scheduler.h"

class QTimer;

namespace dz {

class QtScheduler : public QObject, public Scheduler {
  public:
    // Lives on the thread that creates it (the main thread).
    explicit QtScheduler(QObject* parent = nullptr);
    ~QtScheduler() override;

    TimePoint now() const override;
    TaskID after(double seconds, std::function<void()> task) override;
    TaskID every(double seconds, std::function<void()> task) override;
    void cancel(TaskID id) override;
    void post(std::function<void()> task) override;

    size_t pendingTimers() const { return timers_.size(); }

  private:
    TaskID start(double seconds, bool repeat, std::function<void()> task);

    TaskID nextID_ = 1;
    std::unordered_map<TaskID, QTimer*> timers_;
};

}  // namespace dz
