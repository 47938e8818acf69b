#include "linux/LinuxDesktop.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "linux/accessibility/AtspiFrontApplication.h"
#include "linux/inert/InertClipboard.h"
#include "linux/inert/InertKeyboard.h"
#include "linux/inert/InertWindowEvents.h"
#include "linux/inert/InertWorkspace.h"
#include "linux/wayland/WaylandSession.h"
#include "linux/x11/XcbConnection.h"

namespace dz {

namespace {

void log(const std::string& line) {
    std::fprintf(stderr, "dozuzavuvu: %s\n", line.c_str());
}

// Native applications' pastes through Xwayland come from the compositor's
// own window: the accessibility bus tells which application is in front.
std::unique_ptr<x11::CompositorPastes> compositorPastes(Scheduler& scheduler, x11::AppIdentity& identity,
                                                        std::optional<int32_t> compositor) {
    std::set<int32_t> ignored{int32_t(getpid())};
    if (compositor)
        ignored.insert(*compositor);
    auto front = std::make_shared<x11::AtspiFrontApplication>(std::move(ignored));
    return std::make_unique<x11::CompositorPastes>(
        scheduler, compositor, [front](auto deadline) { return front->find(deadline); },
        [&identity](int32_t pid) {
            return Clipboard::Party{identity.application(pid).id, pid};
        });
}

}  // namespace

LinuxDesktop::~LinuxDesktop() = default;

std::unique_ptr<LinuxDesktop> LinuxDesktop::open(Scheduler& scheduler, std::string* error) {
    std::unique_ptr<LinuxDesktop> desktop(new LinuxDesktop);
    auto env = [](const char* name) { return std::getenv(name); };
    auto facts = wayland::probeSession(env, [] { return x11::XcbConnection::open() != nullptr; });
    desktop->waylandSession_ = facts.wayland;
    desktop->choice_ = wayland::chooseBackend(facts);
    if (desktop->choice_.warning)
        log(*desktop->choice_.warning);

    const bool onWayland = desktop->choice_.clipboard == wayland::ClipboardBackend::wayland;
    std::string x11Error;
    if (facts.x11 || !facts.wayland)
        desktop->x11_ = x11::X11Desktop::open(scheduler, &x11Error, !onWayland);
    if (!desktop->x11_) {
        if (!facts.wayland) {
            if (error)
                *error = x11Error;
            return nullptr;
        }
        // A Wayland desktop without a usable X display: what needs one is
        // left out, and the program runs all the same.
        if (facts.x11) {
            log(x11Error);
            facts.x11 = false;
            desktop->choice_ = wayland::chooseBackend(facts);
        }
        desktop->openWithoutX11(scheduler);
    }
    if (desktop->choice_.clipboard == wayland::ClipboardBackend::wayland) {
        std::string why;
        desktop->waylandClipboard_ =
            wayland::WaylandClipboardService::create(scheduler, desktop->identity(), &why);
        if (!desktop->waylandClipboard_) {
            facts.dataControl = false;
            facts.forced.reset();
            desktop->choice_ = wayland::chooseBackend(facts);
            if (desktop->x11_) {
                log("the Wayland clipboard is unavailable (" + why + "); using X11's.");
                desktop->x11_->clipboard =
                    x11::X11ClipboardService::create(scheduler, *desktop->x11_->identity, &why);
                if (!desktop->x11_->clipboard) {
                    if (error)
                        *error = "Dozuzavuvu cannot use the clipboard: " + why + ".";
                    return nullptr;
                }
            } else {
                log("the Wayland clipboard is unavailable (" + why + ").");
            }
        }
    }
    if (!desktop->x11_ && !desktop->waylandClipboard_)
        desktop->noClipboard_ = std::make_unique<InertClipboard>();
    if (desktop->waylandClipboard_) {
        std::string why;
        desktop->virtualKeyboard_ = wayland::VirtualKeyboard::create(&why);
        if (!desktop->virtualKeyboard_)
            log("no virtual keyboard (" + why + "); " +
                (desktop->x11_ ? "keys reach X11 applications only." : "no keys can be typed."));
    }
    if (facts.wayland && desktop->x11_ && desktop->x11_->clipboard)
        desktop->x11_->clipboard->setCompositorPastes(
            compositorPastes(scheduler, *desktop->x11_->identity, facts.compositorPID));
    const bool listsWindows = std::find(facts.globals.begin(), facts.globals.end(),
                                        "zwlr_foreign_toplevel_manager_v1") != facts.globals.end();
    if (facts.waylandReachable && listsWindows && facts.forced != "x11")
        desktop->followWindows(scheduler);
    return desktop;
}

void LinuxDesktop::followWindows(Scheduler& scheduler) {
    std::string why;
    toplevels_ = wayland::ForeignToplevels::create(scheduler, &why);
    if (!toplevels_) {
        log("the compositor's window list is unavailable (" + why + ").");
        return;
    }
    std::vector<pid_t> excluded{getpid()};
    if (auto compositor = toplevels_->compositorPID())
        excluded.push_back(*compositor);
    // Without Xwayland, nothing stands behind the window list.
    Workspace& fallback = x11_ ? static_cast<Workspace&>(*x11_->workspace) : *noWorkspace_;
    waylandWorkspace_ = std::make_unique<wayland::WaylandWorkspace>(
        *toplevels_, fallback, identity(), wayland::AppProcesses(identity(), "/proc", std::move(excluded)));
    auto* workspace = waylandWorkspace_.get();
    waylandWindows_ = std::make_unique<wayland::WaylandWindowEvents>(
        *toplevels_, scheduler, [workspace](const wayland::ForeignToplevels::Toplevel& toplevel) {
            return workspace->applicationOf(toplevel);
        });
    if (auto* clipboard = waylandClipboard_.get())
        workspace->setFrontProcessHandler([clipboard](std::optional<pid_t> pid) {
            clipboard->setFrontProcess(pid ? std::optional<int32_t>(*pid) : std::nullopt);
        });
}

void LinuxDesktop::openWithoutX11(Scheduler& scheduler) {
    auto env = [](const char* name) { return std::getenv(name); };
    identity_ = std::make_unique<x11::AppIdentity>();
    // Both over the session bus, which needs no display.
    pageAddresses_ = std::make_unique<x11::AtspiPageAddress>(scheduler);
    system_ = std::make_unique<x11::X11SystemServices>(
        nullptr, x11::Autostart(x11::Autostart::defaultConfigHome(env), x11::Autostart::programCommand()));
    noWorkspace_ = std::make_unique<InertWorkspace>();
    noKeyboard_ = std::make_unique<InertKeyboard>();
    noWindows_ = std::make_unique<InertWindowEvents>();
}

Clipboard& LinuxDesktop::clipboard() {
    if (waylandClipboard_)
        return *waylandClipboard_;
    if (x11_)
        return *x11_->clipboard;
    return *noClipboard_;
}

Workspace& LinuxDesktop::workspace() {
    if (waylandWorkspace_)
        return *waylandWorkspace_;
    return x11_ ? static_cast<Workspace&>(*x11_->workspace) : *noWorkspace_;
}

HotKeyService& LinuxDesktop::hotKeys() {
    return x11_ ? static_cast<HotKeyService&>(*x11_->keyboard) : *noKeyboard_;
}

KeyEventSource& LinuxDesktop::keys() {
    return x11_ ? static_cast<KeyEventSource&>(*x11_->keyboard) : *noKeyboard_;
}

KeystrokeSender& LinuxDesktop::keystrokes() {
    if (virtualKeyboard_)
        return *virtualKeyboard_;
    return x11_ ? static_cast<KeystrokeSender&>(*x11_->keyboard) : *noKeyboard_;
}

PageAddressLookup& LinuxDesktop::pageAddresses() {
    return x11_ ? *x11_->pageAddresses : *pageAddresses_;
}

SystemServices& LinuxDesktop::system() {
    return x11_ ? *x11_->system : *system_;
}

WindowEvents& LinuxDesktop::windows() {
    if (waylandWindows_)
        return *waylandWindows_;
    return x11_ ? static_cast<WindowEvents&>(*x11_->windows) : *noWindows_;
}

x11::AppIdentity& LinuxDesktop::identity() {
    return x11_ ? *x11_->identity : *identity_;
}

void LinuxDesktop::shutdown() {
    if (waylandClipboard_)
        waylandClipboard_->shutdown(true);
    if (x11_)
        x11_->shutdown();
}

}  // namespace dz
