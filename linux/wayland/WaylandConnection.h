#pragma once
// A client's own connection to a Wayland display, for a class that
// dispatches it on a thread of its own: the display, its registry, and an
// event descriptor that wakes that thread. The owner destroys its protocol
// objects before this goes (they belong to the display); this then drops the
// registry, disconnects and closes the descriptor.

#include <sys/types.h>

#include <optional>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_registry_listener;

namespace dz::wayland {

class WaylandConnection {
  public:
    WaylandConnection() = default;
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // Connects to `display` (as for wl_display_connect) and hands the
    // registry's globals to `listener` with `data`; they arrive with the
    // caller's first round trip. False with `error` set when there is no
    // such display.
    bool open(const char* display, const wl_registry_listener* listener, void* data, std::string* error);
    // The descriptor `wake` writes to; false with `error` set when it cannot be made.
    bool openWake(std::string* error);

    wl_display* display() const { return display_; }
    int wakeFD() const { return wake_; }
    // The compositor's process, as the socket's peer; nothing when it cannot be told.
    std::optional<pid_t> compositorPID() const { return compositorPID_; }

    // Any thread: makes the wake descriptor readable.
    void wake() const;
    // The dispatching thread: makes it quiet again.
    void drainWake() const;

  private:
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    std::optional<pid_t> compositorPID_;
    int wake_ = -1;
};

}  // namespace dz::wayland
