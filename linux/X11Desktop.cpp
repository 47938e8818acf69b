#include "linux/X11Desktop.h"

#include <cstdlib>

namespace dz::x11 {

std::unique_ptr<X11Desktop> X11Desktop::open(Scheduler& scheduler, std::string* error, bool withClipboard) {
    auto desktop = std::make_unique<X11Desktop>();
    auto env = [](const char* name) { return std::getenv(name); };
    desktop->status = detectDisplay(env, [] { return XcbConnection::open() != nullptr; });
    if (desktop->status.kind == DisplayKind::none) {
        if (error)
            *error = desktop->status.message;
        return nullptr;
    }
    desktop->identity = std::make_unique<AppIdentity>();
    std::string why;
    if (withClipboard)
        desktop->clipboard = X11ClipboardService::create(scheduler, *desktop->identity, &why);
    if (desktop->clipboard || !withClipboard)
        desktop->workspace = X11Workspace::create(*desktop->identity, &why);
    if (desktop->workspace)
        desktop->keyboard = X11Keyboard::create(scheduler, &why);
    if (desktop->keyboard) {
        desktop->keyboard->setUnderXwayland(desktop->status.kind == DisplayKind::xwayland);
        X11Workspace* workspace = desktop->workspace.get();
        desktop->windows = X11WindowEvents::create(
            scheduler, [workspace](xcb_window_t window) { return workspace->applicationOf(window); }, &why);
    }
    auto bell = XcbConnection::open(nullptr, &why);
    if (!desktop->windows || !bell) {
        if (error)
            *error = "Dozuzavuvu cannot use the X display: " + why + ".";
        return nullptr;
    }
    desktop->pageAddresses = std::make_unique<AtspiPageAddress>(scheduler);
    desktop->system = std::make_unique<X11SystemServices>(
        std::move(bell), Autostart(Autostart::defaultConfigHome(env), Autostart::programCommand()));
    return desktop;
}

void X11Desktop::shutdown() {
    if (clipboard)
        clipboard->shutdown();
}

}  // namespace dz::x11
