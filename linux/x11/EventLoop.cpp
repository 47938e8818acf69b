#include "linux/x11/EventLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace dz::x11 {

EventLoop::EventLoop(XcbConnection& connection) : conn_(connection) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

EventLoop::~EventLoop() {
    stop();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void EventLoop::start(Handler handler) {
    handler_ = std::move(handler);
    thread_ = std::thread([this] { run(); });
}

void EventLoop::stop(std::function<void()> finally) {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        finally_ = std::move(finally);
    }
    stopping_ = true;
    uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
    if (onLoopThread())
        thread_.detach();
    else
        thread_.join();
}

void EventLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    uint64_t one = 1;
    (void)!write(wakeFd_, &one, sizeof one);
}

void EventLoop::runTasks() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty())
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

// Sleeps until the connection or the wake-up descriptor is readable or
// `until` passes. False when the connection is gone.
bool EventLoop::pollOnce(std::optional<Clock::time_point> until) {
    xcb_flush(conn_.get());
    if (conn_.failed())
        return false;
    int timeout = -1;
    if (until) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*until - Clock::now()).count();
        timeout = left <= 0 ? 0 : int(std::min<long long>(left + 1, 1 << 30));
    }
    pollfd fds[2] = {{xcb_get_file_descriptor(conn_.get()), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int n = ::poll(fds, 2, timeout);
    ++wakeups_;
    if (n < 0 && errno != EINTR)
        return false;
    if (fds[1].revents & POLLIN) {
        uint64_t value;
        (void)!read(wakeFd_, &value, sizeof value);
    }
    return !(fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) || !conn_.failed();
}

void EventLoop::run() {
    while (!stopping_) {
        while (XcbEvent ev{xcb_poll_for_event(conn_.get())}) {
            if (handler_.event)
                handler_.event(ev.get());
        }
        if (conn_.failed())
            break;
        runTasks();
        if (handler_.deadline && handler_.nextDeadline) {
            if (auto when = handler_.nextDeadline(); when && *when <= Clock::now())
                handler_.deadline(Clock::now());
        }
        if (handler_.idle)
            handler_.idle();
        if (stopping_)
            break;
        // Events may have been queued by replies read meanwhile.
        if (XcbEvent ev{xcb_poll_for_queued_event(conn_.get())}) {
            if (handler_.event)
                handler_.event(ev.get());
            continue;
        }
        std::optional<Clock::time_point> until;
        if (handler_.nextDeadline)
            until = handler_.nextDeadline();
        if (!pollOnce(until))
            break;
    }
    if (conn_.failed()) {
        if (handler_.connectionLost)
            handler_.connectionLost();
        // Wait for stop() so posted work is not left hanging on a dead loop.
        while (!stopping_) {
            pollfd fd{wakeFd_, POLLIN, 0};
            ::poll(&fd, 1, -1);
            uint64_t value;
            (void)!read(wakeFd_, &value, sizeof value);
            std::lock_guard lock(mutex_);
            tasks_.clear();
        }
        return;
    }
    runTasks();
    std::function<void()> finally;
    {
        std::lock_guard lock(mutex_);
        finally = std::move(finally_);
    }
    if (finally)
        finally();
}

XcbEvent EventLoop::waitFor(const std::function<bool(xcb_generic_event_t*)>& match,
                            Clock::time_point deadline, const std::function<bool()>& cancel) {
    for (;;) {
        while (XcbEvent ev{xcb_poll_for_event(conn_.get())}) {
            if (match(ev.get()))
                return ev;
            if (handler_.event)
                handler_.event(ev.get());
            if (cancel && cancel())
                return nullptr;
        }
        if (conn_.failed() || (cancel && cancel()))
            return nullptr;
        auto now = Clock::now();
        if (handler_.deadline && handler_.nextDeadline) {
            if (auto when = handler_.nextDeadline(); when && *when <= now)
                handler_.deadline(now);
        }
        if (now >= deadline)
            return nullptr;
        auto until = deadline;
        if (handler_.nextDeadline) {
            if (auto when = handler_.nextDeadline(); when && *when < until)
                until = *when;
        }
        if (!pollOnce(until))
            return nullptr;
    }
}

}  // namespace dz::x11
