#include "linux/LinuxDesktop.h"

#include <cstdio>
#include <cstdlib>

#include "linux/wayland/WaylandSession.h"
#include "linux/x11/XcbConnection.h"

namespace dz {

std::unique_ptr<LinuxDesktop> LinuxDesktop::open(Scheduler& scheduler, std::string* error) {
    auto desktop = std::make_unique<LinuxDesktop>();
    auto env = [](const char* name) { return std::getenv(name); };
    auto facts = wayland::probeSession(env, [] { return x11::XcbConnection::open() != nullptr; });
    desktop->choice = wayland::chooseBackend(facts);
    if (desktop->choice.warning)
        std::fprintf(stderr, "dozuzavuvu: %s\n", desktop->choice.warning->c_str());

    const bool onWayland = desktop->choice.clipboard == wayland::ClipboardBackend::wayland;
    desktop->x11 = x11::X11Desktop::open(scheduler, error, !onWayland);
    if (!desktop->x11) {
        // The program's other services still need an X display.
        if (facts.wayland && !desktop->choice.status.empty() && error)
            *error = desktop->choice.status + " " + *error;
        return nullptr;
    }
    if (onWayland) {
        std::string why;
        desktop->waylandClipboard =
            wayland::WaylandClipboardService::create(scheduler, *desktop->x11->identity, &why);
        if (!desktop->waylandClipboard) {
            std::fprintf(stderr, "dozuzavuvu: the Wayland clipboard is unavailable (%s); using X11's.\n",
                         why.c_str());
            facts.dataControl = false;
            facts.forced.reset();
            desktop->choice = wayland::chooseBackend(facts);
            desktop->x11->clipboard =
                x11::X11ClipboardService::create(scheduler, *desktop->x11->identity, &why);
            if (!desktop->x11->clipboard) {
                if (error)
                    *error = "Dozuzavuvu cannot use the clipboard: " + why + ".";
                return nullptr;
            }
        }
    }
    return desktop;
}

Clipboard& LinuxDesktop::clipboard() {
    if (waylandClipboard)
        return *waylandClipboard;
    return *x11->clipboard;
}

void LinuxDesktop::shutdown() {
    if (waylandClipboard)
        waylandClipboard->shutdown(true);
    if (x11)
        x11->shutdown();
}

}  // namespace dz
