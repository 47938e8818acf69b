#pragma once
// Keeps the page address of the browser window in front current from the
// desktop's window events, so that a paste into a browser finds it ready: a
// browser busy with a paste answers no accessibility call until the paste is
// over. The address is looked up when a browser window becomes active and
// when its title changes (at most once per window per 0.2 s), kept per
// window in memory only, and dropped when the window closes.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/Scheduler.h"
#include "app/platform/WindowEvents.h"

namespace dz {

class PageAddressLookup;

class PageAddressTracker {
  public:
    static constexpr double minimumInterval = 0.2;  // seconds between look-ups for one window

    // All three must outlive the tracker.
    PageAddressTracker(WindowEvents& windows, PageAddressLookup& lookup, Scheduler& scheduler);
    ~PageAddressTracker();
    PageAddressTracker(const PageAddressTracker&) = delete;
    PageAddressTracker& operator=(const PageAddressTracker&) = delete;

    // Follows the windows while on; off forgets every address.
    void setActive(bool on);
    bool isActive() const { return active_; }

    // The page address of process `pid`'s window: the active window's when
    // it is that process's, else the one of its windows active last.
    std::optional<std::string> address(int32_t pid) const;

    // A window's address has become known or changed.
    std::function<void(int32_t pid, const std::string& address)> addressChanged;

  private:
    struct Entry {
        WindowEvents::Window window;
        uint64_t serial = 0;  // tells a reused window id from the one looked up
        uint64_t activation = 0;
        std::optional<std::string> address;
        TimePoint lastLookUp = 0;
        bool lookedUp = false;
        bool looking = false;
        bool again = false;  // a change came while looking
        Scheduler::TaskID timer = 0;
    };
    void changed(WindowEvents::Change change, const WindowEvents::Window& window);
    void request(uint64_t id);
    void lookUp(uint64_t id);
    void finished(uint64_t id, uint64_t serial, std::optional<std::string> found);
    void forgetAll();

    WindowEvents& windows_;
    PageAddressLookup& lookup_;
    Scheduler& scheduler_;
    bool active_ = false;
    std::map<uint64_t, Entry> entries_;  // browser windows, by id
    std::optional<uint64_t> front_;      // the active window, browser or not
    uint64_t serials_ = 0;
    uint64_t activations_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
