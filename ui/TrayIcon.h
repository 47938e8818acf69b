#pragma once
// The tray icon: draws what the status item decides and renders its menu,
// rebuilt on every open. A middle click toggles automatic cleaning (the
// host opens the menu on a right click itself); a left click opens the menu.

#include <memory>

#include <QObject>

#include "app/menu/MenuItem.h"
#include "app/menu/StatusItemController.h"

class QMenu;
class QSystemTrayIcon;

namespace dz {

class TrayIcon : public QObject {
  public:
    explicit TrayIcon(StatusItemController& status, QObject* parent = nullptr);
    ~TrayIcon() override;

    // Creates the icon and shows the current appearance.
    void install();
    bool isInstalled() const { return tray_ != nullptr; }
    // Whether the session has a tray to show the icon in.
    static bool hostAvailable();

    // Fills `menu` with `items`; choosing one hands it back to the status item.
    // With `headersAsItems` a section header is a disabled line of its own,
    // for menus whose exporter drops section titles.
    static void render(QMenu* menu, const Menu& items, const std::function<void(const MenuItem&)>& choose,
                       bool headersAsItems = false);

    QSystemTrayIcon* tray() const { return tray_; }
    QMenu* menu() const { return menu_.get(); }

  private:
    void show(const StatusItemController::Appearance& appearance);
    void rebuildMenu();

    StatusItemController& status_;
    QSystemTrayIcon* tray_ = nullptr;
    std::unique_ptr<QMenu> menu_;
    bool headersAsItems_ = false;
};

}  // namespace dz
