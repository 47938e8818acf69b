#pragma once
// The tray icon as Qt hands it to a tray host: the symbolic theme name, so
// that StatusNotifier hosts can look the icon up and tint it themselves, and
// pixmaps drawn in the panel's colour for hosts that take pixels only
// (XEmbed trays, and StatusNotifier hosts that do not find our theme).

#include <QColor>
#include <QIconEngine>

#include "app/settings/MenuBarIcon.h"

namespace dz {

class TrayIconEngine : public QIconEngine {
  public:
    TrayIconEngine(MenuBarIcon icon, QColor color, bool dimmed);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    QString iconName() override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;

  private:
    MenuBarIcon icon_;
    QColor color_;
    bool dimmed_;
};

}  // namespace dz
