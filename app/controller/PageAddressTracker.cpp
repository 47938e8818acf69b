#include "app/controller/PageAddressTracker.h"

#include <utility>

#include "app/controller/BrowserURLProvider.h"
#include "app/platform/PageAddressLookup.h"
#include "app/support/Guarded.h"

namespace dz {

PageAddressTracker::PageAddressTracker(WindowEvents& windows, PageAddressLookup& lookup, Scheduler& scheduler)
    : windows_(windows), lookup_(lookup), scheduler_(scheduler) {}

PageAddressTracker::~PageAddressTracker() {
    alive_.reset();
    if (active_)
        windows_.watch(nullptr);
    forgetAll();
}

void PageAddressTracker::setActive(bool on) {
    if (on == active_)
        return;
    active_ = on;
    if (!on) {
        windows_.watch(nullptr);
        forgetAll();
        return;
    }
    std::weak_ptr<int> alive = alive_;
    windows_.watch([this, alive](WindowEvents::Change change, const WindowEvents::Window& window) {
        if (!alive.expired())
            changed(change, window);
    });
}

void PageAddressTracker::forgetAll() {
    for (auto& [id, entry] : entries_) scheduler_.cancel(entry.timer);
    entries_.clear();
    front_.reset();
}

std::optional<std::string> PageAddressTracker::address(int32_t pid) const {
    const Entry* best = nullptr;
    for (const auto& [id, entry] : entries_) {
        if (entry.window.pid != pid || !entry.address)
            continue;
        if (front_ == id)
            return entry.address;
        if (!best || entry.activation > best->activation)
            best = &entry;
    }
    return best ? best->address : std::nullopt;
}

void PageAddressTracker::changed(WindowEvents::Change change, const WindowEvents::Window& window) {
    switch (change) {
        case WindowEvents::Change::activated: {
            front_ = window.id;
            if (!window.pid || !window.bundleID || !BrowserURLProvider::isBrowser(*window.bundleID))
                return;
            auto [it, added] = entries_.try_emplace(window.id);
            Entry& entry = it->second;
            if (added || entry.window != window) {
                scheduler_.cancel(entry.timer);
                entry = Entry{};
                entry.window = window;
                entry.serial = ++serials_;
            }
            entry.activation = ++activations_;
            request(window.id);
            return;
        }
        case WindowEvents::Change::titleChanged: {
            auto it = entries_.find(window.id);
            if (it == entries_.end())
                return;
            if (front_ == window.id)
                request(window.id);
            else
                it->second.address.reset();  // a page changed behind: its address is no longer known
            return;
        }
        case WindowEvents::Change::closed: {
            if (auto it = entries_.find(window.id); it != entries_.end()) {
                scheduler_.cancel(it->second.timer);
                entries_.erase(it);
            }
            if (front_ == window.id)
                front_.reset();
            return;
        }
    }
}

void PageAddressTracker::request(uint64_t id) {
    Entry& entry = entries_.at(id);
    if (entry.looking) {
        entry.again = true;
        return;
    }
    if (entry.timer)
        return;  // a look-up is due already, and will see this change
    double wait = entry.lookedUp ? entry.lastLookUp + minimumInterval - scheduler_.now() : 0;
    if (wait <= 0) {
        lookUp(id);
        return;
    }
    entry.timer = scheduler_.after(wait, guarded(alive_, [this, id] {
                                       if (auto it = entries_.find(id); it != entries_.end()) {
                                           it->second.timer = 0;
                                           lookUp(id);
                                       }
                                   }));
}

void PageAddressTracker::lookUp(uint64_t id) {
    Entry& entry = entries_.at(id);
    // Without the accessibility bus nothing can answer; pastes look up then.
    if (!lookup_.available())
        return;
    entry.looking = true;
    entry.lookedUp = true;
    entry.lastLookUp = scheduler_.now();
    uint64_t serial = entry.serial;
    std::weak_ptr<int> alive = alive_;
    lookup_.lookUp(*entry.window.bundleID, *entry.window.pid,
                   [this, alive, id, serial](std::optional<std::string> found) {
                       if (!alive.expired())
                           finished(id, serial, std::move(found));
                   });
}

void PageAddressTracker::finished(uint64_t id, uint64_t serial, std::optional<std::string> found) {
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.serial != serial)
        return;  // closed meanwhile, or tracking was switched off
    Entry& entry = it->second;
    entry.looking = false;
    // The look-up asks the browser for its focused window: when another
    // window came to the front meanwhile, the answer may be that one's.
    if (front_ == id) {
        std::optional<std::string> address = found ? BrowserURLProvider::pageAddress(*found) : std::nullopt;
        bool news = address && address != entry.address;
        entry.address = std::move(address);
        if (news && addressChanged)
            addressChanged(*entry.window.pid, *entry.address);
    }
    if (entry.again) {
        entry.again = false;
        if (front_ == id)
            request(id);
    }
}

}  // namespace dz
