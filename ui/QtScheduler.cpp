#include "ui/QtScheduler.h"

#include <algorithm>
#include <cmath>

#include <QTimer>

namespace dz {

namespace {

// The longest wait taken at all: far beyond any the program sets, and well
// inside the clock's range.
constexpr double longestWait = 100.0 * 365 * 86'400;

std::chrono::steady_clock::duration span(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

// To the nearest millisecond; what is left of a stepped wait is rounded up,
// so that its task never runs early.
void setWait(QTimer* timer, double seconds, bool roundUp = false) {
    // Short delays (put-back, key timing) want to be on time; long ones may
    // be merged with other wake-ups.
    timer->setTimerType(seconds < 1 ? Qt::PreciseTimer : Qt::CoarseTimer);
    const double milliseconds = roundUp ? std::ceil(seconds * 1000.0) : std::round(seconds * 1000.0);
    timer->setInterval(int(std::clamp(milliseconds, 0.0, double(INT32_MAX))));
}

}  // namespace

QtScheduler::QtScheduler(QObject* parent, double longestStep) : QObject(parent), longestStep_(longestStep) {}

QtScheduler::~QtScheduler() {
    for (auto& [id, entry] : timers_) delete entry.timer;
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
    const double wait = std::isfinite(seconds) ? std::clamp(seconds, 0.0, longestWait) : 0.0;
    Timer entry;
    entry.timer = new QTimer(this);
    entry.stepped = wait > longestStep_;
    if (entry.stepped) {
        entry.timer->setSingleShot(true);
        entry.due = Clock::now() + span(wait);
        if (repeat)
            entry.period = span(wait);
    } else {
        entry.timer->setSingleShot(!repeat);
        setWait(entry.timer, wait);
    }
    connect(entry.timer, &QTimer::timeout, this, [this, id, repeat, task = std::move(task)] {
        auto it = timers_.find(id);
        if (it == timers_.end())
            return;
        Timer& timer = it->second;
        if (timer.stepped && !timer.lastStep) {
            arm(timer);
            return;
        }
        if (timer.stepped && repeat) {
            timer.due += timer.period;
            if (timer.due <= Clock::now())
                timer.due = Clock::now() + timer.period;
            arm(timer);
        } else if (!repeat) {
            timer.timer->deleteLater();
            timers_.erase(it);
        }
        task();
    });
    Timer& stored = timers_.emplace(id, entry).first->second;
    if (stored.stepped)
        arm(stored);
    else
        stored.timer->start();
    return id;
}

void QtScheduler::arm(Timer& timer) {
    const double remaining = std::max(0.0, std::chrono::duration<double>(timer.due - Clock::now()).count());
    timer.lastStep = remaining <= longestStep_;
    setWait(timer.timer, timer.lastStep ? remaining : longestStep_, true);
    timer.timer->start();
}

void QtScheduler::cancel(TaskID id) {
    auto it = timers_.find(id);
    if (it == timers_.end())
        return;
    it->second.timer->stop();
    // The task may be cancelling itself from inside its own timeout.
    it->second.timer->deleteLater();
    timers_.erase(it);
}

void QtScheduler::post(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

}  // namespace dz
