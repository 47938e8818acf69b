#pragma once
// Window changes on an X11 desktop, on their own connection and thread: the
// active window (_NET_ACTIVE_WINDOW on the root), the titles of the windows
// that were active (_NET_WM_NAME, WM_NAME) and their going away. Nothing is
// watched until a handler is set.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/platform/Scheduler.h"
#include "app/platform/WindowEvents.h"
#include "app/platform/Workspace.h"
#include "linux/x11/EventLoop.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

class X11WindowEvents final : public WindowEvents {
  public:
    // The application behind a window (nothing when it cannot be told);
    // asked on the main thread.
    using Resolver = std::function<std::optional<Workspace::RunningApplication>(xcb_window_t)>;

    // Nothing (with the reason) without an X display. `scheduler` must
    // outlive the service.
    static std::unique_ptr<X11WindowEvents> create(Scheduler& scheduler, Resolver resolve,
                                                   std::string* error = nullptr,
                                                   const char* display = nullptr);
    ~X11WindowEvents() override;

    void watch(Handler handler) override;

  private:
    struct Alive {
        std::atomic<bool> alive{true};
    };
    X11WindowEvents(std::unique_ptr<XcbConnection> conn, Scheduler& scheduler, Resolver resolve);

    // Loop thread.
    void onEvent(xcb_generic_event_t* ev);
    void start();
    void stop();
    void activeChanged();
    void report(Change change, xcb_window_t window);

    // Main thread.
    void deliver(Change change, xcb_window_t window);

    std::unique_ptr<XcbConnection> conn_;
    EventLoop loop_;
    Scheduler& scheduler_;
    Resolver resolve_;
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
    xcb_atom_t activeWindow_ = 0, netWMName_ = 0;

    // Loop thread.
    bool watching_ = false;
    xcb_window_t active_ = 0;
    std::set<xcb_window_t> watched_;  // windows reported active, until they go away

    // Main thread.
    Handler handler_;
    std::map<uint64_t, Window> known_;
};

}  // namespace dz::x11
