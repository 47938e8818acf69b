#pragma once
// Every X11 service the controller needs, built in one place for the
// program's main: the clipboard, the workspace, the keyboard (hot keys, key
// watching, keystrokes), the page-address look-up, the window events and the
// system services.

#include <memory>
#include <string>

#include "linux/accessibility/AtspiPageAddress.h"
#include "linux/clipboard/X11ClipboardService.h"
#include "linux/input/X11Keyboard.h"
#include "linux/system/X11SystemServices.h"
#include "linux/workspace/AppIdentity.h"
#include "linux/workspace/X11WindowEvents.h"
#include "linux/workspace/X11Workspace.h"

namespace dz::x11 {

struct X11Desktop {
    DisplayStatus status;
    std::unique_ptr<AppIdentity> identity;
    std::unique_ptr<X11ClipboardService> clipboard;  // none when another backend has the clipboard
    std::unique_ptr<X11Workspace> workspace;
    std::unique_ptr<X11Keyboard> keyboard;  // HotKeyService, KeyEventSource and KeystrokeSender
    std::unique_ptr<AtspiPageAddress> pageAddresses;
    std::unique_ptr<X11WindowEvents> windows;
    std::unique_ptr<X11SystemServices> system;

    // Nothing, with `error` holding one line for the user, without a usable
    // X display. `scheduler` must outlive the desktop.
    static std::unique_ptr<X11Desktop> open(Scheduler& scheduler, std::string* error,
                                            bool withClipboard = true);
    // Hands the clipboard to a clipboard manager (at most a second); call on quit.
    void shutdown();
};

}  // namespace dz::x11
