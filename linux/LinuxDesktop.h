#pragma once
// The desktop the program runs on, whichever backend serves its clipboard:
// X11 (an X session, or Xwayland where the compositor offers no
// data-control), or Wayland's data-control with the X11 services beside it
// through Xwayland. Built once in the program's main.

#include <memory>
#include <string>

#include "app/platform/Clipboard.h"
#include "app/platform/WindowEvents.h"
#include "app/platform/Workspace.h"
#include "linux/X11Desktop.h"
#include "linux/wayland/BackendChoice.h"
#include "linux/wayland/ForeignToplevels.h"
#include "linux/wayland/WaylandClipboardService.h"
#include "linux/wayland/WaylandWindowEvents.h"
#include "linux/wayland/WaylandWorkspace.h"

namespace dz {

struct LinuxDesktop {
    wayland::BackendChoice choice;
    std::unique_ptr<x11::X11Desktop> x11;  // workspace, keys, page addresses, system services
    std::unique_ptr<wayland::WaylandClipboardService> waylandClipboard;
    // Where the compositor lists its windows: the front application and the
    // window changes, native windows included.
    std::unique_ptr<wayland::ForeignToplevels> toplevels;
    std::unique_ptr<wayland::WaylandWorkspace> waylandWorkspace;
    std::unique_ptr<wayland::WaylandWindowEvents> waylandWindows;

    // Nothing, with `error` holding one line for the user, when neither
    // backend can run. `scheduler` must outlive the desktop.
    static std::unique_ptr<LinuxDesktop> open(Scheduler& scheduler, std::string* error);

    Clipboard& clipboard();
    Workspace& workspace();
    WindowEvents& windows();
    // Takes the workspace and window changes from the compositor's window list.
    void followWindows(Scheduler& scheduler);
    // Hands the clipboard on as the backend can; call on quit.
    void shutdown();
};

}  // namespace dz
