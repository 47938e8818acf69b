#include "linux/LinuxDesktop.h"

#include <unistd.h>

#include <algorithm>
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
    const bool listsWindows = std::find(facts.globals.begin(), facts.globals.end(),
                                        "zwlr_foreign_toplevel_manager_v1") != facts.globals.end();
    if (facts.waylandReachable && listsWindows && facts.forced != "x11")
        desktop->followWindows(scheduler);
    return desktop;
}

void LinuxDesktop::followWindows(Scheduler& scheduler) {
    std::string why;
    toplevels = wayland::ForeignToplevels::create(scheduler, &why);
    if (!toplevels) {
        std::fprintf(stderr, "dozuzavuvu: the compositor's window list is unavailable (%s).\n", why.c_str());
        return;
    }
    std::vector<pid_t> excluded{getpid()};
    if (auto compositor = toplevels->compositorPID())
        excluded.push_back(*compositor);
    waylandWorkspace = std::make_unique<wayland::WaylandWorkspace>(
        *toplevels, *x11->workspace, *x11->identity,
        wayland::AppProcesses(*x11->identity, "/proc", std::move(excluded)));
    auto* workspace = waylandWorkspace.get();
    waylandWindows = std::make_unique<wayland::WaylandWindowEvents>(
        *toplevels, scheduler, [workspace](const wayland::ForeignToplevels::Toplevel& toplevel) {
            return workspace->applicationOf(toplevel);
        });
    if (auto* clipboard = waylandClipboard.get())
        workspace->setFrontProcessHandler([clipboard](std::optional<pid_t> pid) {
            clipboard->setFrontProcess(pid ? std::optional<int32_t>(*pid) : std::nullopt);
        });
}

Workspace& LinuxDesktop::workspace() {
    if (waylandWorkspace)
        return *waylandWorkspace;
    return *x11->workspace;
}

WindowEvents& LinuxDesktop::windows() {
    if (waylandWindows)
        return *waylandWindows;
    return *x11->windows;
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
