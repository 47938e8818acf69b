#pragma once
// The desktop the program runs on, whichever backend serves its clipboard:
// X11 (an X session, or Xwayland where the compositor offers no
// data-control), Wayland's data-control with the X11 services beside it
// through Xwayland, or, on a Wayland desktop that offers neither, stand-ins
// that see nothing, so that the program still runs and says why it cannot
// clean. Built once in the program's main.

#include <memory>
#include <string>

#include "app/platform/Clipboard.h"
#include "app/platform/HotKeyService.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/KeystrokeSender.h"
#include "app/platform/PageAddressLookup.h"
#include "app/platform/SystemServices.h"
#include "app/platform/WindowEvents.h"
#include "app/platform/Workspace.h"
#include "linux/X11Desktop.h"
#include "linux/wayland/BackendChoice.h"
#include "linux/wayland/ForeignToplevels.h"
#include "linux/wayland/VirtualKeyboard.h"
#include "linux/wayland/WaylandClipboardService.h"
#include "linux/wayland/WaylandWindowEvents.h"
#include "linux/wayland/WaylandWorkspace.h"

namespace dz {

class InertClipboard;
class InertKeyboard;
class InertWindowEvents;
class InertWorkspace;

class LinuxDesktop {
  public:
    // Nothing, with `error` holding one line for the user, only on an X11
    // session whose display cannot be used. `scheduler` must outlive the
    // desktop.
    static std::unique_ptr<LinuxDesktop> open(Scheduler& scheduler, std::string* error);
    ~LinuxDesktop();

    const wayland::BackendChoice& choice() const { return choice_; }
    // A Wayland session, with or without Xwayland.
    bool waylandSession() const { return waylandSession_; }
    // The X11 services, through Xwayland on a Wayland session; none on a
    // Wayland desktop without an X display.
    x11::X11Desktop* x11() { return x11_.get(); }
    // With the Wayland clipboard, where the compositor offers one: keys then
    // reach native and X11 windows alike, not only X11's through XTest.
    wayland::VirtualKeyboard* virtualKeyboard() { return virtualKeyboard_.get(); }

    Clipboard& clipboard();
    Workspace& workspace();
    HotKeyService& hotKeys();
    KeyEventSource& keys();
    KeystrokeSender& keystrokes();
    PageAddressLookup& pageAddresses();
    SystemServices& system();
    WindowEvents& windows();
    x11::AppIdentity& identity();

    // Hands the clipboard on as the backend can; call on quit.
    void shutdown();

  private:
    LinuxDesktop() = default;
    void openWithoutX11(Scheduler& scheduler);
    // Takes the workspace and window changes from the compositor's window list.
    void followWindows(Scheduler& scheduler);

    wayland::BackendChoice choice_;
    bool waylandSession_ = false;
    std::unique_ptr<x11::X11Desktop> x11_;
    std::unique_ptr<wayland::WaylandClipboardService> waylandClipboard_;
    std::unique_ptr<wayland::VirtualKeyboard> virtualKeyboard_;
    // Where the compositor lists its windows: the front application and the
    // window changes, native windows included.
    std::unique_ptr<wayland::ForeignToplevels> toplevels_;
    std::unique_ptr<wayland::WaylandWorkspace> waylandWorkspace_;
    std::unique_ptr<wayland::WaylandWindowEvents> waylandWindows_;
    // Without an X display.
    std::unique_ptr<x11::AppIdentity> identity_;
    std::unique_ptr<x11::AtspiPageAddress> pageAddresses_;
    std::unique_ptr<x11::X11SystemServices> system_;
    std::unique_ptr<InertClipboard> noClipboard_;
    std::unique_ptr<InertWorkspace> noWorkspace_;
    std::unique_ptr<InertKeyboard> noKeyboard_;
    std::unique_ptr<InertWindowEvents> noWindows_;
};

}  // namespace dz
