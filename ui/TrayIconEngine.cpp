#include "ui/TrayIconEngine.h"

#include <algorithm>

#include <QPainter>

#include "ui/MenuBarIconArt.h"

namespace dz {

TrayIconEngine::TrayIconEngine(MenuBarIcon icon, QColor color, bool dimmed)
    : icon_(icon), color_(color), dimmed_(dimmed) {}

void TrayIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const int side = std::min(rect.width(), rect.height());
    QPixmap pm = pixmap(QSize(side, side) * ratio, mode, state);
    pm.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2, pm);
}

QPixmap TrayIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) {
    const int side = std::max(1, std::min(size.width(), size.height()));
    return MenuBarIconArt::pixmap(icon_, color_, dimmed_ || mode == QIcon::Disabled, side);
}

QIconEngine* TrayIconEngine::clone() const {
    return new TrayIconEngine(icon_, color_, dimmed_);
}

QString TrayIconEngine::key() const {
    return QStringLiteral("dozuzavuvu-tray");
}

QString TrayIconEngine::iconName() {
    return MenuBarIconArt::symbolicName(icon_);
}

QList<QSize> TrayIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
}

}  // namespace dz
