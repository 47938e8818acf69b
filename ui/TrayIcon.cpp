#include "ui/TrayIcon.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QSystemTrayIcon>

#include "ui/MenuBarIconArt.h"
#include "ui/QtText.h"
#include "ui/TrayIconEngine.h"
#include "ui/TrayItemAdaptor.h"

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

// The colour icons take on a light panel (the freedesktop symbolic grey).
const QColor darkIcon(0x2e, 0x34, 0x36);

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

QColor TrayIcon::iconColor(bool exportedOverDBus, std::optional<QColor> trayForeground,
                           std::optional<DesktopColorScheme> scheme) {
    if (!exportedOverDBus && trayForeground && trayForeground->isValid())
        return *trayForeground;
    if (scheme == DesktopColorScheme::light)
        return darkIcon;
    return Qt::white;
}

QString TrayIcon::iconThemePath() {
    const QString program = QCoreApplication::applicationDirPath();
    const QString probe = QStringLiteral("/hicolor/scalable/status/") +
                          MenuBarIconArt::symbolicName(MenuBarIcon::hammer) + QStringLiteral(".svg");
    for (const QString& candidate :
         {program + QStringLiteral("/../share/icons"), program + QStringLiteral("/icons")})
        if (QFileInfo::exists(candidate + probe))
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    return {};
}

void TrayIcon::install() {
    if (tray_)
        return;
    tray_ = new QSystemTrayIcon(this);
    exportedOverDBus_ = menuExportedOverDBus();
    if (!colorScheme)
        colorScheme = desktopColorScheme();
    QDBusConnection::sessionBus().connect(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("SettingChanged"), this,
        SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    themePath_ = iconThemePath();
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
    const std::optional<QColor> foreground =
        !exportedOverDBus_ && trayForeground ? trayForeground() : std::nullopt;
    const QColor color = iconColor(exportedOverDBus_, foreground, colorScheme);
    // The engine gives hosts the symbolic theme name as well as the pixels.
    tray_->setIcon(QIcon(new TrayIconEngine(appearance.icon, color, appearance.dimmed)));
    tray_->setToolTip(qstr(appearance.toolTip));
    tray_->setVisible(appearance.visible);
    // Qt registers the item with the host when it is first shown.
    if (appearance.visible && exportedOverDBus_ && !themePathSent_ && !themePath_.isEmpty())
        themePathSent_ = TrayItemAdaptor::attach(tray_, themePath_);
}

void TrayIcon::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group != QLatin1String("org.freedesktop.appearance") || key != QLatin1String("color-scheme"))
        return;
    colorScheme = colorSchemeFromPortal(value.variant());
    status_.refresh();
}

void TrayIcon::rebuildMenu() {
    // Submenus are children of the menu, which clear() leaves alive.
    for (QMenu* submenu : menu_->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
    for (QActionGroup* group : menu_->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly))
        group->deleteLater();
    menu_->clear();
    render(
        menu_.get(), status_.buildMenu(), [this](const MenuItem& item) { status_.perform(item); },
        exportedOverDBus_);
}

void TrayIcon::render(QMenu* menu, const Menu& items, const std::function<void(const MenuItem&)>& choose,
                      bool exportedOverDBus) {
    // A run of choice items is one exclusive group.
    QActionGroup* group = nullptr;
    for (const MenuItem& item : items) {
        if (item.check != MenuItem::Check::choice)
            group = nullptr;
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        if (item.header && exportedOverDBus) {
            menu->addAction(qstr(item.title))->setEnabled(false);
            continue;
        }
        if (item.header) {
            menu->addSection(qstr(item.title));
            continue;
        }
        QString title = QString(item.indentation * 3, QLatin1Char(' ')) + qstr(item.title);
        QKeySequence shortcut;
        if (item.shortcut && !exportedOverDBus) {
            // Only a combination Qt reads back as written ("Super" is Qt's
            // "Meta"); any other is spelt out in the title.
            shortcut = QKeySequence::fromString(qstr(*item.shortcut), QKeySequence::PortableText);
            if (shortcut.count() != 1 ||
                shortcut.toString(QKeySequence::PortableText) != qstr(*item.shortcut))
                shortcut = QKeySequence();
        }
        if (item.shortcut && shortcut.isEmpty())
            title += QStringLiteral("    ") + qstr(*item.shortcut);
        QAction* action;
        if (!item.children.empty()) {
            QMenu* submenu = menu->addMenu(title);
            submenu->setToolTipsVisible(true);
            render(submenu, item.children, choose, exportedOverDBus);
            action = submenu->menuAction();
        } else {
            action = menu->addAction(title);
            QObject::connect(action, &QAction::triggered, menu, [item, choose] { choose(item); });
        }
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            // Shown beside the item; the global shortcut itself is the hot key's.
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        action->setEnabled(item.enabled);
        if (item.check != MenuItem::Check::none) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (item.check == MenuItem::Check::choice) {
            if (!group) {
                group = new QActionGroup(menu);
                group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
            }
            group->addAction(action);
        }
        if (item.toolTip)
            action->setToolTip(qstr(*item.toolTip));
    }
}

}  // namespace dz
