#pragma once
// The colour an XEmbed system tray asks its icons to draw in, from its
// manager window's _NET_SYSTEM_TRAY_COLORS (the foreground entry).

#include <array>
#include <cstdint>
#include <optional>

namespace dz::x11 {

// Red, green and blue, 0 to 65535 each.
using TrayColor = std::array<uint16_t, 3>;

// Nothing without an X display, without a tray manager on the default
// screen, or when the manager sets no colours (most do not).
std::optional<TrayColor> systemTrayForeground();

}  // namespace dz::x11
