#include "linux/wayland/WaylandConnection.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>

namespace dz::wayland {

WaylandConnection::~WaylandConnection() {
    if (display_) {
        if (registry_)
            wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }
    if (wake_ >= 0)
        close(wake_);
}

bool WaylandConnection::open(const char* display, const wl_registry_listener* listener, void* data,
                             std::string* error) {
    display_ = wl_display_connect(display);
    if (!display_) {
        if (error)
            *error = "cannot connect to the Wayland display";
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, listener, data);
    ucred cred{};
    socklen_t length = sizeof cred;
    if (getsockopt(wl_display_get_fd(display_), SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.pid > 0)
        compositorPID_ = cred.pid;
    return true;
}

bool WaylandConnection::openWake(std::string* error) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ >= 0)
        return true;
    if (error)
        *error = "cannot create an event descriptor";
    return false;
}

void WaylandConnection::wake() const {
    uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
}

void WaylandConnection::drainWake() const {
    uint64_t count;
    (void)!read(wake_, &count, sizeof count);
}

}  // namespace dz::wayland
