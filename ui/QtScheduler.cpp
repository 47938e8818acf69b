#include "ui/QtScheduler.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QTimer>

namespace dz {

QtScheduler::QtScheduler(QObject* parent) : QObject(parent) {}

QtScheduler::~QtScheduler() {
    for (auto& [id, timer] : timers_) delete timer;
}

TimePoint QtScheduler::now() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

Scheduler::TaskID QtScheduler::after(double seconds, std::function<void()> task) {
    return start(seconds, false, std::move(task));
}

Scheduler::TaskID QtScheduler::every(double seconds, std::function<void()> task) {
    return start(seconds, true, std::move(task));
}

Scheduler::TaskID QtScheduler::start(double seconds, bool repeat, std::function<void()> task) {
    const TaskID id = nextID_++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(!repeat);
    // Short delays (put-back, key timing) want to be on time; long ones may
    // be merged with other wake-ups.
    timer->setTimerType(seconds < 1 ? Qt::PreciseTimer : Qt::CoarseTimer);
    const double ms = std::isfinite(seconds) ? std::clamp(seconds * 1000.0, 0.0, double(INT32_MAX)) : 0.0;
    timer->setInterval(int(std::lround(ms)));
    connect(timer, &QTimer::timeout, this, [this, id, repeat, task = std::move(task)] {
        if (!repeat) {
            auto it = timers_.find(id);
            if (it == timers_.end())
                return;
            it->second->deleteLater();
            timers_.erase(it);
        }
        task();
    });
    timers_.emplace(id, timer);
    timer->start();
    return id;
}

void QtScheduler::cancel(TaskID id) {
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second->stop();
    // The task may be cancelling itself from inside its own timeout.
    it->second->deleteLater();
    timers_.erase(it);
}

void QtScheduler::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace dz
