#include "app/platform/fakes/VirtualScheduler.h"

#include <cmath>

namespace dz::fake {

int64_t VirtualScheduler::toMicros(double seconds) {
    if (!std::isfinite(seconds) || seconds <= 0)
        return 0;
    if (seconds > 1e12)
        return int64_t(1e18);
    return int64_t(std::llround(seconds * 1e6));
}

Scheduler::TaskID VirtualScheduler::schedule(int64_t due, int64_t interval, std::function<void()> task) {
    TaskID id = nextID_++;
    uint64_t sequence = nextSequence_++;
    tasks_.emplace(id, Task{due, sequence, interval, std::move(task)});
    queue_.emplace(std::make_pair(due, sequence), id);
    return id;
}

Scheduler::TaskID VirtualScheduler::after(double seconds, std::function<void()> task) {
    drainPosted();  // what was posted before comes first at the same instant
    return schedule(micros_ + toMicros(seconds), 0, std::move(task));
}

Scheduler::TaskID VirtualScheduler::every(double seconds, std::function<void()> task) {
    drainPosted();
    int64_t interval = std::max<int64_t>(1, toMicros(seconds));
    return schedule(micros_ + interval, interval, std::move(task));
}

void VirtualScheduler::cancel(TaskID id) {
    auto it = tasks_.find(id);
    if (it == tasks_.end())
        return;
    queue_.erase({it->second.due, it->second.sequence});
    tasks_.erase(it);
}

void VirtualScheduler::post(std::function<void()> task) {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(task));
}

void VirtualScheduler::drainPosted() {
    std::deque<std::function<void()>> posted;
    {
        std::lock_guard lock(postedMutex_);
        posted.swap(posted_);
    }
    for (auto& task : posted) schedule(micros_, 0, std::move(task));
}

bool VirtualScheduler::runNext(int64_t limit) {
    drainPosted();
    if (queue_.empty() || queue_.begin()->first.first > limit)
        return false;
    auto [key, id] = *queue_.begin();
    queue_.erase(queue_.begin());
    Task& task = tasks_.at(id);
    if (key.first > micros_)
        micros_ = key.first;
    std::function<void()> run;
    if (task.interval > 0) {
        // Stays registered under the same id, so the task can cancel itself.
        task.due += task.interval;
        task.sequence = nextSequence_++;
        queue_.emplace(std::make_pair(task.due, task.sequence), id);
        run = task.run;
    } else {
        run = std::move(task.run);
        tasks_.erase(id);
    }
    run();
    return true;
}

void VirtualScheduler::runDue() {
    while (runNext(micros_)) {
    }
}

void VirtualScheduler::advance(double seconds) {
    int64_t end = micros_ + toMicros(seconds);
    while (runNext(end)) {
    }
    micros_ = end;
}

}  // namespace dz::fake
