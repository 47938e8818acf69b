#pragma once
// The tray icon: draws what the status item decides and renders its menu,
// rebuilt on every open. A middle click toggles automatic cleaning (the
// host opens the menu on a right click itself); a left click opens the menu.

#include <functional>
#include <memory>
#include <optional>

#include <QColor>
#include <QDBusVariant>
#include <QObject>
#include <QString>

#include "app/menu/MenuItem.h"
#include "app/menu/StatusItemController.h"
#include "ui/DesktopColorScheme.h"

class QMenu;
class QSystemTrayIcon;

namespace dz {

class TrayIcon : public QObject {
    Q_OBJECT

  public:
    explicit TrayIcon(StatusItemController& status, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Creates the icon and shows the current appearance.
    void install();
    bool isInstalled() const { return tray_ != nullptr; }
    // Whether the session has a tray to show the icon in.
    static bool hostAvailable();

    // The colour an XEmbed tray asks for, when it says (set before install).
    std::function<std::optional<QColor>()> trayForeground;
    // The desktop's light or dark preference; read from the portal by
    // install() unless set before, and followed as the portal announces changes.
    std::optional<DesktopColorScheme> colorScheme;

    // What the icon is drawn in: the XEmbed tray's own colour, else dark on a
    // light desktop, else white (most panels are dark).
    static QColor iconColor(bool exportedOverDBus, std::optional<QColor> trayForeground,
                            std::optional<DesktopColorScheme> scheme);
    // The folder holding hicolor/scalable/status/dozuzavuvu-*-symbolic.svg:
    // the installed share/icons next to the program, or the build tree's.
    static QString iconThemePath();

    // Fills `menu` with `items`; choosing one hands it back to the status item.
    // A menu `exportedOverDBus` goes to a StatusNotifier host, whose menu
    // protocol drops section titles and shortcuts: headers become disabled
    // lines and shortcuts follow the title after four spaces.
    static void render(QMenu* menu, const Menu& items, const std::function<void(const MenuItem&)>& choose,
                       bool exportedOverDBus = false);

    QSystemTrayIcon* tray() const { return tray_; }
    QMenu* menu() const { return menu_.get(); }

  private slots:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

  private:
    void show(const StatusItemController::Appearance& appearance);
    void rebuildMenu();

    StatusItemController& status_;
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> menu_;
    bool exportedOverDBus_ = false;
    bool themePathSent_ = false;
    QString themePath_;
};

}  // namespace dz
