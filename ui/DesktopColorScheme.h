#pragma once
// The desktop's light or dark preference, as the settings portal publishes
// it (org.freedesktop.appearance color-scheme).

#include <optional>

#include <QVariant>

namespace dz {

enum class DesktopColorScheme { dark, light };

// Nothing when no portal answers within a moment or it has no preference.
std::optional<DesktopColorScheme> desktopColorScheme();
// The portal's value (1 prefers dark, 2 light), however deep in variants it
// comes; nothing for anything else.
std::optional<DesktopColorScheme> colorSchemeFromPortal(QVariant value);

}  // namespace dz
