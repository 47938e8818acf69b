#pragma once
// Pastes through Xwayland by native Wayland applications. The compositor
// hands the clipboard to them from its own X11 window, so X-Resource names
// the compositor (gnome-shell, mutter, Xwayland itself), never the
// application that pastes: that one is taken to be the application in front,
// as another source (the accessibility bus) tells it. The answer must come
// well inside the clipboard's own deadline for a paste, so it is given up on
// after a budget, and the paste is then one of an unknown application.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/platform/Clipboard.h"
#include "app/platform/Scheduler.h"

namespace dz::x11 {

class CompositorPastes {
  public:
    using Clock = std::chrono::steady_clock;
    // The process in front, found by `deadline`; may block its caller.
    using FrontProcess = std::function<std::optional<int32_t>(Clock::time_point deadline)>;
    // The application of a process (reads /proc and the desktop files).
    using Identify = std::function<Clipboard::Party(int32_t pid)>;

    static constexpr double defaultBudget = 0.3;

    // `compositor` is the compositor's process, when known. `front` and
    // `identify` run on a thread of our own.
    CompositorPastes(Scheduler& scheduler, std::optional<int32_t> compositor, FrontProcess front,
                     Identify identify, double budgetSeconds = defaultBudget);
    ~CompositorPastes();
    CompositorPastes(const CompositorPastes&) = delete;
    CompositorPastes& operator=(const CompositorPastes&) = delete;

    // Whether a requester of process `pid`, running `executable`, is the
    // compositor rather than an application.
    static bool isCompositor(int32_t pid, std::optional<int32_t> compositor,
                             const std::optional<std::string>& executable);
    bool fromCompositor(int32_t pid, const std::optional<std::string>& executable) const {
        return isCompositor(pid, compositor_, executable);
    }

    // Calls `done` once on the main thread, never inside this call and at
    // most the budget from now: with the application in front, or an empty
    // party when it cannot be told in time. Main thread.
    void identify(std::function<void(Clipboard::Party)> done);

  private:
    struct Job {
        uint64_t id;
        Clock::time_point deadline;
    };
    struct Alive;
    void run();
    void finish(uint64_t id, Clipboard::Party party);

    Scheduler& scheduler_;
    std::optional<int32_t> compositor_;
    FrontProcess front_;
    Identify identify_;
    double budget_;
    std::shared_ptr<Alive> alive_;

    // Main thread.
    struct Pending {
        std::function<void(Clipboard::Party)> done;
        Scheduler::TaskID timer = 0;
    };
    std::map<uint64_t, Pending> pending_;
    uint64_t nextID_ = 1;

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace dz::x11
