#include "linux/wayland/BackendChoice.h"

#include <algorithm>
#include <array>
#include <utility>

namespace dz::wayland {

namespace {

bool hasGlobal(const SessionFacts& facts, std::string_view prefix) {
    return std::any_of(facts.globals.begin(), facts.globals.end(),
                       [&](const std::string& name) { return name.rfind(prefix, 0) == 0; });
}

std::string everyApplication(const std::string& name) {
    return "Wayland (" + name + "): copies and pastes of every application.";
}
const std::string gnomeThroughXwayland =
    "GNOME on Wayland: copies of every application; pasting rules and shortcuts work in X11 applications "
    "only.";
std::string whileX11Active(const std::string& name) {
    return "Wayland (" + name +
           "): this desktop lets other programs see copies only while an X11 window is active.";
}
std::string noAccess(const std::string& name) {
    return "Wayland (" + name +
           "): this desktop gives other programs no access to the clipboard, so copies are not "
           "cleaned.";
}

BackendChoice x11Session(const SessionFacts& facts) {
    if (!facts.x11)
        return {};
    return {ClipboardBackend::x11, true, IdentifiedPasters::everyApplication, {}, {}};
}

// Without data-control, the X11 backend through Xwayland where there is one.
BackendChoice throughXwayland(const SessionFacts& facts) {
    const std::string name = compositorName(facts);
    if (!facts.x11)
        return {ClipboardBackend::none, false, IdentifiedPasters::none, noAccess(name), {}};
    // Native applications' pastes reach us from the compositor's own X11 window.
    return {ClipboardBackend::x11,
            true,
            IdentifiedPasters::x11ApplicationsOnly,
            isGnome(facts) ? gnomeThroughXwayland : whileX11Active(name),
            {}};
}

BackendChoice withDataControl(const SessionFacts& facts) {
    return {ClipboardBackend::wayland,
            facts.x11,
            IdentifiedPasters::everyApplication,
            everyApplication(compositorName(facts)),
            {}};
}

}  // namespace

std::string compositorName(const SessionFacts& facts) {
    std::string first = facts.xdgCurrentDesktop.substr(0, facts.xdgCurrentDesktop.find(':'));
    if (!first.empty())
        return first;
    static const std::array<std::pair<std::string_view, std::string_view>, 6> known{{
        {"kde_", "KDE"},
        {"org_kde_", "KDE"},
        {"hyprland_", "Hyprland"},
        {"zcosmic_", "COSMIC"},
        {"weston_", "Weston"},
        {"gtk_shell", "GNOME"},
    }};
    for (const auto& [prefix, name] : known)
        if (hasGlobal(facts, prefix))
            return std::string(name);
    return "unknown compositor";
}

bool isGnome(const SessionFacts& facts) {
    const std::string& desktops = facts.xdgCurrentDesktop;
    return desktops.find("GNOME") != std::string::npos || hasGlobal(facts, "gtk_shell");
}

BackendChoice chooseBackend(const SessionFacts& facts) {
    std::optional<std::string> warning;
    if (facts.forced && *facts.forced == "x11") {
        if (!facts.wayland)
            return x11Session(facts);
        return throughXwayland(facts);
    }
    if (facts.forced && *facts.forced == "wayland") {
        if (!facts.waylandReachable)
            return {
                ClipboardBackend::none, false, IdentifiedPasters::none, noAccess(compositorName(facts)), {}};
        return withDataControl(facts);
    }
    if (facts.forced)
        warning = "DZ_BACKEND=" + *facts.forced +
                  " is neither x11 nor wayland; choosing the backend automatically.";

    BackendChoice choice;
    if (!facts.wayland)
        choice = x11Session(facts);
    else if (facts.waylandReachable && facts.dataControl)
        choice = withDataControl(facts);
    else
        choice = throughXwayland(facts);
    choice.warning = std::move(warning);
    return choice;
}

}  // namespace dz::wayland
