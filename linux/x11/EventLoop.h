#pragma once
// A thread that owns the event stream of one X connection. Other threads hand
// it work with post(); it sleeps in poll() until an event, a posted task or
// the earliest deadline its owner asks for, so an idle loop never wakes up.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

class EventLoop {
  public:
    using Clock = std::chrono::steady_clock;
    struct Handler {
        std::function<void(xcb_generic_event_t*)> event;
        // When the loop should call `deadline`; nothing to sleep until woken.
        std::function<std::optional<Clock::time_point>()> nextDeadline;
        std::function<void(Clock::time_point now)> deadline;
        // Runs on the loop thread after each round at the top level (never
        // inside a nested wait): where long work such as reading a copy goes.
        std::function<void()> idle;
        std::function<void()> connectionLost;
    };

    explicit EventLoop(XcbConnection& connection);
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void start(Handler handler);
    // Runs `finally` on the loop thread, then ends the loop and joins it.
    void stop(std::function<void()> finally = {});

    // Thread-safe. Tasks run in order on the loop thread, at the top level.
    void post(std::function<void()> task);
    bool onLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    // Whether stop() has been called: long waits check it to end early.
    bool stopping() const { return stopping_; }

    // On the loop thread: waits for the first event that `match` accepts, or
    // until `deadline`, handing every other event to the handler. Posted
    // tasks wait. `cancel` is checked after each event. Nothing on time-out,
    // cancel or a lost connection.
    XcbEvent waitFor(const std::function<bool(xcb_generic_event_t*)>& match, Clock::time_point deadline,
                     const std::function<bool()>& cancel = {});

    XcbConnection& connection() { return conn_; }
    // How often the thread has woken from its sleep, for the idle check.
    uint64_t wakeups() const { return wakeups_; }

  private:
    void run();
    void runTasks();
    bool pollOnce(std::optional<Clock::time_point> until);

    XcbConnection& conn_;
    Handler handler_;
    int wakeFd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> wakeups_{0};
    std::function<void()> finally_;
};

}  // namespace dz::x11
