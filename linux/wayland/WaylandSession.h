#pragma once
// Finds what the session offers at start: whether it is a Wayland session,
// which globals its compositor announces, whether an X display answers.

#include <functional>

#include "linux/wayland/BackendChoice.h"

namespace dz::wayland {

// The Wayland globals' interface names, or nothing when no Wayland display
// answers (`display` as for wl_display_connect). `compositor`, when given,
// receives the compositor's process, from its end of the socket.
std::optional<std::vector<std::string>> waylandGlobals(const char* display = nullptr,
                                                       std::optional<int32_t>* compositor = nullptr);

// `canConnectX11` opens the X display named by DISPLAY.
SessionFacts probeSession(const std::function<const char*(const char*)>& getenv,
                          const std::function<bool()>& canConnectX11);

}  // namespace dz::wayland
