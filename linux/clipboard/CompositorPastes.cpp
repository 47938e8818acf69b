#include "linux/clipboard/CompositorPastes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <string_view>

namespace dz::x11 {

// Answers from the worker reach the main thread through the scheduler; this
// flag keeps them from touching an object that is gone.
struct CompositorPastes::Alive {
    std::atomic<bool> alive{true};
};

CompositorPastes::CompositorPastes(Scheduler& scheduler, std::optional<int32_t> compositor,
                                   FrontProcess front, Identify identify, double budgetSeconds)
    : scheduler_(scheduler),
      compositor_(compositor),
      front_(std::move(front)),
      identify_(std::move(identify)),
      budget_(budgetSeconds),
      alive_(std::make_shared<Alive>()),
      worker_([this] { run(); }) {}

CompositorPastes::~CompositorPastes() {
    alive_->alive = false;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    cv_.notify_all();
    worker_.join();
    for (auto& [id, pending] : pending_) scheduler_.cancel(pending.timer);
}

bool CompositorPastes::isCompositor(int32_t pid, std::optional<int32_t> compositor,
                                    const std::optional<std::string>& executable) {
    if (compositor && pid == *compositor)
        return true;
    // The compositor's process when it could not be asked (no Wayland
    // connection of ours), and the X server's own windows.
    static constexpr std::array<std::string_view, 3> names{"gnome-shell", "mutter", "Xwayland"};
    return executable && std::find(names.begin(), names.end(), *executable) != names.end();
}

void CompositorPastes::identify(std::function<void(Clipboard::Party)> done) {
    const uint64_t id = nextID_++;
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(budget_));
    Pending& pending = pending_[id];
    pending.done = std::move(done);
    pending.timer = scheduler_.after(budget_, [this, id] { finish(id, {}); });
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({id, deadline});
    }
    cv_.notify_one();
}

void CompositorPastes::finish(uint64_t id, Clipboard::Party party) {
    auto it = pending_.find(id);
    if (it == pending_.end())
        return;  // already answered, by the budget or the worker
    auto done = std::move(it->second.done);
    scheduler_.cancel(it->second.timer);
    pending_.erase(it);
    done(std::move(party));
}

void CompositorPastes::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = jobs_.front();
            jobs_.pop_front();
        }
        // Pastes that waited behind a slow one are already answered.
        if (Clock::now() >= job.deadline)
            continue;
        Clipboard::Party party;
        if (auto pid = front_(job.deadline))
            party = identify_(*pid);
        scheduler_.post([this, alive = alive_, id = job.id, party = std::move(party)]() mutable {
            if (alive->alive)
                finish(id, std::move(party));
        });
    }
}

}  // namespace dz::x11
