#pragma once
// The six tray icons as monochrome vector drawings on an 18 x 18 canvas, and
// the application icon. Drawn in one colour chosen for the panel; the same
// outlines are installed as symbolic theme icons, which panels recolour
// themselves.

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QString>

#include "app/settings/MenuBarIcon.h"

namespace dz::MenuBarIconArt {

inline constexpr qreal canvas = 18.0;
// Opacity of a dimmed icon (paused, or automatic cleaning off).
inline constexpr qreal dimmedOpacity = 0.5;

// The icon's outline in canvas coordinates (origin top-left), filled with
// the odd-even rule.
QPainterPath path(MenuBarIcon icon);
// `size` device-independent pixels square, for `devicePixelRatio`.
QPixmap pixmap(MenuBarIcon icon, QColor color, bool dimmed = false, int size = 18,
               qreal devicePixelRatio = 1.0);
// Sizes for trays and menus.
QIcon icon(MenuBarIcon icon, QColor color, bool dimmed = false);
// The theme icon's name, "dozuzavuvu-<raw value>-symbolic".
QString symbolicName(MenuBarIcon icon);
// The theme icon's file: the outline as one even-odd filled SVG path.
QString symbolicSVG(MenuBarIcon icon);
// The program's icon for windows: the anvil in white on a rounded square.
QIcon applicationIcon();

}  // namespace dz::MenuBarIconArt
