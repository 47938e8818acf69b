#include "linux/wayland/ForeignToplevels.h"

#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "wayland/wlr-foreign-toplevel-management-unstable-v1-client.h"

namespace dz::wayland {

struct ForeignToplevels::Glue {
    static ForeignToplevels* self(void* data) { return static_cast<ForeignToplevels*>(data); }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version) {
        auto* s = self(data);
        if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0 || s->manager_)
            return;
        s->managerVersion_ = std::min<uint32_t>(version, 3);
        s->manager_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, s->managerVersion_));
        zwlr_foreign_toplevel_manager_v1_add_listener(s->manager_, &manager, s);
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener registry{global, globalRemove};

    static void toplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                         zwlr_foreign_toplevel_handle_v1* handle) {
        self(data)->onToplevel(handle);
    }
    static void finished(void* data, zwlr_foreign_toplevel_manager_v1*) { self(data)->lost(); }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener manager{toplevel, finished};

    static ForeignToplevels::Handle* of(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto& handles = self(data)->handles_;
        auto it = handles.find(handle);
        return it == handles.end() ? nullptr : &it->second;
    }
    static void title(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* text) {
        if (auto* h = of(data, handle); h && text)
            h->pending.title = bounded(text, self(data)->limits_.maxTitleBytes);
    }
    static void appID(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* text) {
        if (auto* h = of(data, handle); h && text)
            h->pending.appID = bounded(text, self(data)->limits_.maxAppIDBytes, true);
    }
    static void output(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void state(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        auto* h = of(data, handle);
        if (!h || !states)
            return;
        bool activated = false;
        const size_t count = states->size / sizeof(uint32_t);
        const auto* values = static_cast<const uint32_t*>(states->data);
        for (size_t i = 0; i < count; ++i)
            if (values[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)
                activated = true;
        h->pending.activated = activated;
    }
    static void done(void* data, zwlr_foreign_toplevel_handle_v1* handle) { self(data)->onDone(handle); }
    static void closed(void* data, zwlr_foreign_toplevel_handle_v1* handle) { self(data)->onClosed(handle); }
    static void parent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}
    static constexpr zwlr_foreign_toplevel_handle_v1_listener handle{title, appID, output, output,
                                                                     state, done,  closed, parent};
};

std::string ForeignToplevels::bounded(std::string_view text, size_t limit, bool controls) {
    std::string out;
    out.reserve(std::min(text.size(), limit + 4));
    for (char c : text) {
        if (controls && static_cast<unsigned char>(c) < 0x20)
            continue;
        out.push_back(c);
        if (out.size() > limit)
            break;
    }
    if (out.size() > limit) {
        // Cutting before a continuation byte would leave a character half
        // there: cut before its first byte instead.
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

std::unique_ptr<ForeignToplevels> ForeignToplevels::create(Scheduler& scheduler, std::string* error,
                                                           const char* display, Limits limits) {
    std::unique_ptr<ForeignToplevels> toplevels(new ForeignToplevels(scheduler, limits));
    if (!toplevels->connect(display, error))
        return nullptr;
    toplevels->thread_ = std::thread([self = toplevels.get()] { self->run(); });
    return toplevels;
}

ForeignToplevels::ForeignToplevels(Scheduler& scheduler, Limits limits)
    : scheduler_(scheduler), limits_(limits) {}

ForeignToplevels::~ForeignToplevels() {
    alive_->alive = false;
    if (thread_.joinable()) {
        stopping_ = true;
        wl_.wake();
        thread_.join();
    }
    if (wl_.display()) {
        for (auto& [handle, state] : handles_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
        if (manager_)
            zwlr_foreign_toplevel_manager_v1_destroy(manager_);
    }
}

bool ForeignToplevels::connect(const char* display, std::string* error) {
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    if (!wl_.open(display, &Glue::registry, this, error))
        return false;
    if (wl_display_roundtrip(wl_.display()) < 0)
        return fail("the Wayland display does not answer");
    if (!manager_)
        return fail("the compositor offers no list of its windows");
    if (!wl_.openWake(error))
        return false;
    // The windows open now, so that the first batch is on its way at once.
    if (wl_display_roundtrip(wl_.display()) < 0)
        return fail("the Wayland display does not answer");
    return true;
}

void ForeignToplevels::run() {
    while (!stopping_ && !listLost_) {
        while (wl_display_prepare_read(wl_.display()) != 0)
            if (wl_display_dispatch_pending(wl_.display()) < 0)
                return lost();
        if (wl_display_flush(wl_.display()) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(wl_.display());
            return lost();
        }
        pollfd fds[] = {{wl_display_get_fd(wl_.display()), POLLIN, 0}, {wl_.wakeFD(), POLLIN, 0}};
        int n = poll(fds, 2, -1);
        if (n < 0 && errno != EINTR) {
            wl_display_cancel_read(wl_.display());
            return lost();
        }
        if (n > 0 && (fds[0].revents & POLLIN)) {
            if (wl_display_read_events(wl_.display()) < 0)
                return lost();
        } else {
            wl_display_cancel_read(wl_.display());
            if (n > 0 && (fds[0].revents & (POLLERR | POLLHUP)))
                return lost();
        }
        if (wl_display_dispatch_pending(wl_.display()) < 0)
            return lost();
    }
}

void ForeignToplevels::onToplevel(zwlr_foreign_toplevel_handle_v1* handle) {
    if (handles_.size() >= limits_.maxToplevels) {
        // Past the cap a window is not followed at all; its events are dropped with it.
        if (!refusedLogged_)
            std::fprintf(stderr, "dozuzavuvu: more than %zu windows; the newest ones are not followed.\n",
                         limits_.maxToplevels);
        refusedLogged_ = true;
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
        return;
    }
    Handle& h = handles_[handle];
    h.id = nextID_++;
    h.pending.id = h.shown.id = h.id;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &Glue::handle, this);
}

void ForeignToplevels::onDone(zwlr_foreign_toplevel_handle_v1* handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end())
        return;
    Handle& h = it->second;
    Change change;
    change.appeared = !h.announced;
    change.becameActive = h.pending.activated && (!h.shown.activated || !h.announced);
    change.titleChanged = h.announced && h.pending.title != h.shown.title;
    change.appIDChanged = h.announced && h.pending.appID != h.shown.appID;
    const bool anything = change.appeared || change.becameActive || change.titleChanged ||
                          change.appIDChanged || h.pending.activated != h.shown.activated;
    h.announced = true;
    h.shown = h.pending;
    if (!anything)
        return;  // a done with nothing new: not worth the main thread's time
    change.toplevel = h.shown;
    queue(std::move(change));
}

void ForeignToplevels::onClosed(zwlr_foreign_toplevel_handle_v1* handle) {
    auto it = handles_.find(handle);
    if (it == handles_.end())
        return;
    if (it->second.announced) {
        Change change;
        change.toplevel = it->second.shown;
        change.toplevel.activated = false;
        change.closed = true;
        queue(std::move(change));
    }
    handles_.erase(it);
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
}

void ForeignToplevels::lost() {
    if (listLost_)
        return;
    listLost_ = true;
    for (auto& [handle, h] : handles_) {
        if (h.announced) {
            Change change;
            change.toplevel = h.shown;
            change.toplevel.activated = false;
            change.closed = true;
            queue(std::move(change));
        }
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    handles_.clear();
    // Tells the main thread the list is gone even when it was empty.
    queue(Change{});
}

void ForeignToplevels::queue(Change change) {
    std::lock_guard lock(batchMutex_);
    // One entry per window: a window that changes faster than the main thread
    // reads costs one entry, not one per change, and moves to the end so that
    // the batch keeps the order of the latest changes.
    if (change.toplevel.id != 0) {
        auto same = std::find_if(batch_.begin(), batch_.end(),
                                 [&](const Change& c) { return c.toplevel.id == change.toplevel.id; });
        if (same != batch_.end()) {
            change.appeared |= same->appeared;
            change.becameActive |= same->becameActive;
            change.titleChanged |= same->titleChanged;
            change.appIDChanged |= same->appIDChanged;
            change.closed |= same->closed;
            batch_.erase(same);
        }
    }
    batch_.push_back(std::move(change));
    if (drainPosted_)
        return;
    drainPosted_ = true;
    scheduler_.post([this, alive = alive_] {
        if (alive->alive)
            drain();
    });
}

void ForeignToplevels::drain() {
    std::vector<Change> batch;
    {
        std::lock_guard lock(batchMutex_);
        batch.swap(batch_);
        drainPosted_ = false;
    }
    for (const auto& change : batch) {
        if (change.toplevel.id == 0) {
            following_ = false;
            continue;
        }
        if (change.closed)
            shown_.erase(change.toplevel.id);
        else
            shown_[change.toplevel.id] = change.toplevel;
    }
    for (const auto& change : batch) {
        if (change.toplevel.id == 0)
            continue;
        // A listener may stop listening, itself or another, while called.
        std::vector<uint64_t> tokens;
        for (const auto& [token, listener] : listeners_) tokens.push_back(token);
        for (uint64_t token : tokens)
            if (auto it = listeners_.find(token); it != listeners_.end()) {
                Listener listener = it->second;
                listener(change);
            }
    }
}

uint64_t ForeignToplevels::listen(Listener listener) {
    uint64_t token = nextListener_++;
    listeners_[token] = std::move(listener);
    return token;
}

void ForeignToplevels::stopListening(uint64_t token) {
    listeners_.erase(token);
}

std::optional<ForeignToplevels::Toplevel> ForeignToplevels::active() const {
    // A compositor may show two windows active for a moment, between the
    // changes of a focus switch; the later window wins.
    const Toplevel* best = nullptr;
    for (const auto& [id, toplevel] : shown_)
        if (toplevel.activated)
            best = &toplevel;
    if (!best)
        return std::nullopt;
    return *best;
}

std::vector<ForeignToplevels::Toplevel> ForeignToplevels::toplevels() const {
    std::vector<Toplevel> out;
    for (const auto& [id, toplevel] : shown_) out.push_back(toplevel);
    return out;
}

}  // namespace dz::wayland
