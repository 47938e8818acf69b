#pragma once
// The compositor's list of toplevel windows (wlr-foreign-toplevel-management),
// native and Xwayland ones alike: each window's app id, title and whether it
// is the active one. Read on its own connection and thread; the changes reach
// the main thread through the scheduler, a batch at a time. Any client names
// and titles its own windows as it likes, so both are cut to a length, and the
// number of windows followed has a cap.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/platform/Scheduler.h"
#include "linux/wayland/WaylandConnection.h"

struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_handle_v1;

namespace dz::wayland {

struct ToplevelLimits {
    size_t maxToplevels = 256;  // windows past this are not followed
    size_t maxTitleBytes = 512;
    size_t maxAppIDBytes = 255;
};

class ForeignToplevels {
  public:
    using Limits = ToplevelLimits;

    struct Toplevel {
        uint64_t id = 0;  // ours, numbered from 1, for as long as the window lives
        std::string appID;
        std::string title;
        bool activated = false;
        bool operator==(const Toplevel&) const = default;
    };

    // One window's changes since the last report, with the window as it is now.
    struct Change {
        Toplevel toplevel;
        bool appeared = false;
        bool becameActive = false;
        bool titleChanged = false;
        bool appIDChanged = false;
        bool closed = false;
    };
    using Listener = std::function<void(const Change&)>;

    // Nothing (with the reason) without a Wayland display or without the
    // compositor's window list. `scheduler` must outlive the service.
    static std::unique_ptr<ForeignToplevels> create(Scheduler& scheduler, std::string* error = nullptr,
                                                    const char* display = nullptr, Limits limits = {});
    ~ForeignToplevels();
    ForeignToplevels(const ForeignToplevels&) = delete;
    ForeignToplevels& operator=(const ForeignToplevels&) = delete;

    // Main thread. Listeners hear every change, after the whole batch it came
    // in is applied: `active()` already tells the newest state.
    uint64_t listen(Listener listener);
    void stopListening(uint64_t token);
    std::optional<Toplevel> active() const;
    std::vector<Toplevel> toplevels() const;
    // False once the compositor closed the connection or withdrew the list;
    // the windows known then are reported closed.
    bool following() const { return following_; }

    std::optional<pid_t> compositorPID() const { return wl_.compositorPID(); }

    // Cuts `text` to at most `limit` bytes without splitting a UTF-8
    // sequence; with `controls`, drops control characters too.
    static std::string bounded(std::string_view text, size_t limit, bool controls = false);

    // Wayland's C callbacks reach these.
    struct Glue;

  private:
    struct Handle {
        uint64_t id = 0;
        Toplevel pending, shown;
        bool announced = false;
    };
    struct Alive {
        std::atomic<bool> alive{true};
    };

    ForeignToplevels(Scheduler& scheduler, Limits limits);
    bool connect(const char* display, std::string* error);
    void run();

    // Loop thread.
    void onToplevel(zwlr_foreign_toplevel_handle_v1* handle);
    void onDone(zwlr_foreign_toplevel_handle_v1* handle);
    void onClosed(zwlr_foreign_toplevel_handle_v1* handle);
    void lost();
    void queue(Change change);

    // Main thread.
    void drain();

    Scheduler& scheduler_;
    Limits limits_;
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
    WaylandConnection wl_;
    zwlr_foreign_toplevel_manager_v1* manager_ = nullptr;
    uint32_t managerVersion_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};

    // Loop thread.
    std::map<zwlr_foreign_toplevel_handle_v1*, Handle> handles_;
    uint64_t nextID_ = 1;
    bool refusedLogged_ = false;
    bool listLost_ = false;

    std::mutex batchMutex_;
    std::vector<Change> batch_;
    bool drainPosted_ = false;

    // Main thread.
    std::map<uint64_t, Toplevel> shown_;
    std::map<uint64_t, Listener> listeners_;
    uint64_t nextListener_ = 1;
    std::atomic<bool> following_{true};
};

}  // namespace dz::wayland
