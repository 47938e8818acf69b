#pragma once
// The desktop the program runs on, whichever backend serves its clipboard:
// X11 (an X session, or Xwayland where the compositor offers no
// data-control), or Wayland's data-control with the X11 services beside it
// through Xwayland. Built once in the program's main.

#include <memory>
#include <string>

#include "app/platform/Clipboard.h"
#include "linux/X11Desktop.h"
#include "linux/wayland/BackendChoice.h"
#include "linux/wayland/WaylandClipboardService.h"

namespace dz {

struct LinuxDesktop {
    wayland::BackendChoice choice;
    std::unique_ptr<x11::X11Desktop> x11;  // workspace, keys, page addresses, system services
    std::unique_ptr<wayland::WaylandClipboardService> waylandClipboard;

    // Nothing, with `error` holding one line for the user, when neither
    // backend can run. `scheduler` must outlive the desktop.
    static std::unique_ptr<LinuxDesktop> open(Scheduler& scheduler, std::string* error);

    Clipboard& clipboard();
    // Hands the clipboard on as the backend can; call on quit.
    void shutdown();
};

}  // namespace dz
