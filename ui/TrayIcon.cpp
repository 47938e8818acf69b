#include "ui/TrayIcon.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

#include "ui/MenuBarIconArt.h"
#include "ui/QtText.h"

namespace dz {
namespace {

// Qt shows the icon as a StatusNotifierItem, with the menu exported over
// D-Bus, when a host is registered with the watcher; that export keeps no
// section titles.
bool menuExportedOverDBus() {
    QDBusInterface watcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                           QStringLiteral("/StatusNotifierWatcher"),
                           QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus());
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
}

}  // namespace

TrayIcon::TrayIcon(StatusItemController& status, QObject* parent)
    : QObject(parent), status_(status), menu_(std::make_unique<QMenu>()) {
    menu_->setToolTipsVisible(true);
}

TrayIcon::~TrayIcon() {
    status_.setRenderer({});
}

bool TrayIcon::hostAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::install() {
    if (tray_)
        return;
    tray_ = new QSystemTrayIcon(this);
    headersAsItems_ = menuExportedOverDBus();
    tray_->setContextMenu(menu_.get());
    // The menu is rebuilt from the current state each time it opens.
    connect(menu_.get(), &QMenu::aboutToShow, this, &TrayIcon::rebuildMenu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::MiddleClick) {
            status_.toggleClicked();
        } else if (reason == QSystemTrayIcon::Trigger) {
            const bool control = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
            if (control)
                status_.toggleClicked();
            else
                menu_->popup(QCursor::pos());
        }
    });
    status_.setRenderer([this](const StatusItemController::Appearance& appearance) { show(appearance); });
    rebuildMenu();  // a host may read the menu before it is ever opened
    status_.refresh();
}

void TrayIcon::show(const StatusItemController::Appearance& appearance) {
    if (!tray_)
        return;
    const QColor color = QGuiApplication::palette().color(QPalette::WindowText);
    tray_->setIcon(MenuBarIconArt::icon(appearance.icon, color, appearance.dimmed));
    tray_->setToolTip(qstr(appearance.toolTip));
    tray_->setVisible(appearance.visible);
}

void TrayIcon::rebuildMenu() {
    // Submenus are children of the menu, which clear() leaves alive.
    for (QMenu* submenu : menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
    menu_->clear();
    render(
        menu_.get(), status_.buildMenu(), [this](const MenuItem& item) { status_.perform(item); },
        headersAsItems_);
}

void TrayIcon::render(QMenu* menu, const Menu& items, const std::function<void(const MenuItem&)>& choose,
                      bool headersAsItems) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        if (item.header && headersAsItems) {
            menu->addAction(qstr(item.title))->setEnabled(false);
            continue;
        }
        if (item.header) {
            menu->addSection(qstr(item.title));
            continue;
        }
        QString title = QString(item.indentation * 3, QLatin1Char(' ')) + qstr(item.title);
        if (item.shortcut)
            title += QLatin1Char('\t') + qstr(*item.shortcut);
        QAction* action;
        if (!item.children.empty()) {
            QMenu* submenu = menu->addMenu(title);
            submenu->setToolTipsVisible(true);
            render(submenu, item.children, choose, headersAsItems);
            action = submenu->menuAction();
        } else {
            action = menu->addAction(title);
            QObject::connect(action, &QAction::triggered, menu, [item, choose] { choose(item); });
        }
        action->setEnabled(item.enabled);
        if (item.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (item.toolTip)
            action->setToolTip(qstr(*item.toolTip));
    }
}

}  // namespace dz
