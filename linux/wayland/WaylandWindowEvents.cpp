#include "linux/wayland/WaylandWindowEvents.h"

#include <utility>

namespace dz::wayland {

WaylandWindowEvents::WaylandWindowEvents(ForeignToplevels& toplevels, Scheduler& scheduler, Resolver resolve)
    : toplevels_(toplevels), scheduler_(scheduler), resolve_(std::move(resolve)) {
    listening_ = toplevels_.listen([this](const ForeignToplevels::Change& change) { changed(change); });
}

WaylandWindowEvents::~WaylandWindowEvents() {
    toplevels_.stopListening(listening_);
}

void WaylandWindowEvents::watch(Handler handler) {
    const bool was = static_cast<bool>(handler_);
    handler_ = std::move(handler);
    if (!handler_ || !was) {
        known_.clear();
        front_ = 0;
        ++generation_;
    }
    if (!handler_ || was)
        return;
    // The window in front first, on a later turn of the main loop.
    std::weak_ptr<int> alive = alive_;
    scheduler_.post([this, alive, generation = generation_] {
        if (alive.expired() || generation != generation_ || !handler_ || front_)
            return;
        if (auto active = toplevels_.active())
            activated(*active);
    });
}

void WaylandWindowEvents::activated(const ForeignToplevels::Toplevel& toplevel) {
    Window window{toplevel.id, std::nullopt, std::nullopt};
    if (auto app = resolve_ ? resolve_(toplevel) : std::nullopt) {
        window.bundleID = app->bundleID;
        window.pid = app->pid;
    }
    known_[toplevel.id] = window;
    front_ = toplevel.id;
    handler_(Change::activated, window);
}

void WaylandWindowEvents::changed(const ForeignToplevels::Change& change) {
    if (!handler_)
        return;
    const auto& toplevel = change.toplevel;
    if (change.closed) {
        auto it = known_.find(toplevel.id);
        if (it == known_.end())
            return;
        Window window = it->second;
        known_.erase(it);
        handler_(Change::closed, window);
        if (front_ == toplevel.id)
            checkNothingInFront();
        return;
    }
    if (change.becameActive && toplevel.activated) {
        activated(toplevel);
        return;
    }
    auto it = known_.find(toplevel.id);
    if (it != known_.end() && change.appIDChanged) {
        // Another application now (a window that set its app id late): as if newly active.
        if (front_ == toplevel.id && toplevel.activated) {
            activated(toplevel);
            return;
        }
        known_.erase(it);
        return;
    }
    if (it != known_.end() && change.titleChanged)
        handler_(Change::titleChanged, it->second);
    if (handler_ && !toplevel.activated && front_ == toplevel.id)
        checkNothingInFront();
}

void WaylandWindowEvents::checkNothingInFront() {
    // A focus switch may show the old window inactive a moment before the
    // new one active: only a gap that lasts means no window is in front.
    std::weak_ptr<int> alive = alive_;
    scheduler_.after(nothingInFrontAfter, [this, alive, front = front_, generation = generation_] {
        if (alive.expired() || generation != generation_ || !handler_ || front_ != front ||
            toplevels_.active())
            return;
        front_ = 0;
        handler_(Change::activated, Window{});
    });
}

}  // namespace dz::wayland
