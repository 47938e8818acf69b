#pragma once
// Which clipboard backend the program runs on, from what the session offers,
// and the one status line that tells the user what that means. Pure, so each
// kind of desktop can be tried without one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dz::wayland {

// What the session offers, as found at start.
struct SessionFacts {
    bool wayland = false;                  // a Wayland session (WAYLAND_DISPLAY or XDG_SESSION_TYPE)
    bool waylandReachable = false;         // its display answered
    bool x11 = false;                      // an X display (Xwayland on Wayland) that answers
    bool dataControl = false;              // a data-control global (ext or wlr)
    std::string xdgCurrentDesktop;         // as set, "" when not
    std::vector<std::string> globals;      // the Wayland globals' interface names
    std::optional<std::string> forced;     // DZ_BACKEND, when set
    std::optional<int32_t> compositorPID;  // from its end of the Wayland socket
};

enum class ClipboardBackend { x11, wayland, none };

// Whose pastes the clipboard can tell apart.
enum class IdentifiedPasters { everyApplication, x11ApplicationsOnly, none };

struct BackendChoice {
    ClipboardBackend clipboard = ClipboardBackend::none;
    bool x11Keys = false;  // X11 key services (through Xwayland on Wayland)
    IdentifiedPasters pasters = IdentifiedPasters::none;
    std::string status;                  // the General tab's line; empty on an X11 session
    std::optional<std::string> warning;  // one line for the log (a DZ_BACKEND we do not know)
    bool operator==(const BackendChoice&) const = default;
};

// The compositor's name for the status line: the first desktop in
// XDG_CURRENT_DESKTOP, else one known from its own globals.
std::string compositorName(const SessionFacts& facts);
bool isGnome(const SessionFacts& facts);

BackendChoice chooseBackend(const SessionFacts& facts);

}  // namespace dz::wayland
