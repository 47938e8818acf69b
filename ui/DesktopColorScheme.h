#pragma once
// The desktop's light or dark preference, as the settings portal publishes
// it (org.freedesktop.appearance color-scheme).

#include <optional>

namespace dz {

enum class DesktopColorScheme { dark, light };

// Nothing when no portal answers within a moment or it has no preference.
std::optional<DesktopColorScheme> desktopColorScheme();

}  // namespace dz
