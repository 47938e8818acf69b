// The settings window's services over a controller on fake desktop services.

#include <gtest/gtest.h>

#include <set>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusVariant>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include "app/controller/AppController.h"
#include "app/controller/StatusItemBridge.h"
#include "app/menu/StatusItemController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "app/tryit/TryItBinding.h"
#include "app/tryit/TryItTab.h"
#include "ui/MenuBarIconArt.h"
#include "ui/MenuBarIconPicker.h"
#include "ui/ProgramServices.h"
#include "ui/SettingsWindow.h"
#include "ui/TrayIcon.h"
#include "ui/tabs/GeneralTab.h"
#include "ui/tabs/ScriptTab.h"
#include "ui/tabs/ShortcutsTab.h"
#include "ui/tabs/TryItTabView.h"

namespace dz {
namespace {

const KeyCombo ctrlAltK{40, KeyCombo::control | KeyCombo::option, "\u2303\u2325K"};

class ProgramServicesTest : public ::testing::Test {
  protected:
    ProgramServicesTest() {
        fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100},
                                   {"xterm", std::nullopt, 200}};
        fakes.workspace.frontmost = "org.gnome.TextEditor";
        SettingsData d = settings.data();
        d.shortcuts[std::string(shortcutaction::rawValue(ShortcutAction::cycleFormat))] = ctrlAltK;
        settings.setData(d);
        controller.start();
        fakes.scheduler.runDue();
        QObject::connect(&services, &StateNotifier::stateChanged, [this] { ++changes; });
    }

    fake::FakePlatform fakes;
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    AppController controller{settings, fakes.platform()};
    ProgramServices services{controller, ProgramServices::Backend{}};
    int changes = 0;
};

TEST_F(ProgramServicesTest, RecordingReleasesTheHotKeysAndTheirRefusalsAreKnownAfterwards) {
    ASSERT_FALSE(fakes.hotKeys.registered.empty());
    EXPECT_TRUE(services.failedShortcuts().empty());
    services.suspendHotKeys(true);
    EXPECT_TRUE(fakes.hotKeys.registered.empty());
    EXPECT_TRUE(controller.actions().hotKeyCenter().isSuspended);

    // Another application takes the combination while the user records.
    fakes.hotKeys.taken.insert({ctrlAltK.keyCode, ctrlAltK.carbonModifiers});
    services.suspendHotKeys(false);
    EXPECT_FALSE(controller.actions().hotKeyCenter().isSuspended);
    EXPECT_FALSE(fakes.hotKeys.registered.empty());
    EXPECT_EQ(services.failedShortcuts(), std::vector{ctrlAltK});
    EXPECT_GT(changes, 0);
}

// The tabs of a window over the real program hear what the controller publishes.
TEST_F(ProgramServicesTest, TheControllersStateReachesTheWindowsTabs) {
    SettingsWindow window(settings, SettingsWindow::Services::of(services));
    auto* shortcuts = static_cast<ShortcutsTab*>(window.page(SettingsTab::shortcuts));
    auto* script = static_cast<ScriptTab*>(window.page(SettingsTab::script));
    EXPECT_TRUE(shortcuts->failure(ShortcutAction::cycleFormat)->isHidden());
    EXPECT_TRUE(script->errorLabel()->isHidden());

    fakes.hotKeys.taken.insert({ctrlAltK.keyCode, ctrlAltK.carbonModifiers});
    controller.actions().registerHotKeys(settings.data().shortcuts);
    EXPECT_EQ(shortcuts->failure(ShortcutAction::cycleFormat)->text(),
              "\u26A0 Already used by another app: Ctrl+Alt+K");

    // Published as a script run does; running one would start the engine's
    // threads, which LeakSanitizer cannot scan.
    controller.scriptError.publish("ReferenceError: Can't find variable: missing");
    EXPECT_EQ(script->errorLabel()->text(), "\u26D4 ReferenceError: Can't find variable: missing");
    controller.scriptError.publish(std::nullopt);
    EXPECT_TRUE(script->errorLabel()->isHidden());
}

TEST_F(ProgramServicesTest, RunningApplicationsTakeTheirIconFromTheInstalledOnes) {
    ProgramServices::Backend backend;
    backend.installedApplications = [] {
        return std::vector<DesktopApplication>{
            {"org.gnome.TextEditor", "Text Editor", "accessories-text-editor"}};
    };
    ProgramServices withIcons(controller, backend);
    const auto running = withIcons.runningApplications();
    ASSERT_EQ(running.size(), 2u);
    EXPECT_EQ(running[0].id, "org.gnome.TextEditor");
    EXPECT_EQ(running[0].name, "Text Editor");
    EXPECT_EQ(running[0].iconName, "accessories-text-editor");
    EXPECT_EQ(running[1].id, "xterm");
    EXPECT_EQ(running[1].name, "");
    EXPECT_EQ(running[1].iconName, "");
}

// A backend without a part answers "no", and a failure always has a reason.
TEST_F(ProgramServicesTest, WhatTheDesktopLacksIsAnsweredNotAssumed) {
    EXPECT_TRUE(services.installedApplications().empty());
    EXPECT_FALSE(services.browserAccess());
    EXPECT_FALSE(services.enableBrowserAccess());
    EXPECT_FALSE(services.displayNotice());

    fakes.system.launchAtLoginError = "";
    EXPECT_EQ(services.setLaunchAtLogin(true), "unknown error");
    fakes.system.launchAtLoginError = "the autostart folder is read-only";
    EXPECT_EQ(services.setLaunchAtLogin(true), "the autostart folder is read-only");
    EXPECT_FALSE(services.launchAtLogin());
    fakes.system.launchAtLoginError.reset();
    EXPECT_EQ(services.setLaunchAtLogin(true), std::nullopt);
    EXPECT_TRUE(services.launchAtLogin());
}

// The tray draws what the settings say, as they change: the icon chosen in
// the General tab, and dimmed while automatic cleaning is off.
TEST_F(ProgramServicesTest, TheTrayFollowsTheIconPickerAndTheSwitch) {
    StatusItemController status(
        settings, fakes.scheduler, [this] { return statusItemState(controller); },
        statusItemActions(
            controller, [] {}, [] {}));
    TrayIcon tray(status);
    tray.colorScheme = DesktopColorScheme::light;
    tray.install();
    status.install(controller.stateChanged);
    auto shownName = [&] { return tray.tray()->icon().name(); };
    // The most opaque pixel and its colour, at the size panels use.
    auto darkest = [&] {
        const QImage image = tray.tray()->icon().pixmap(22, 22).toImage();
        QRgb best = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > qAlpha(best))
                    best = image.pixel(x, y);
        return best;
    };
    EXPECT_EQ(
        shownName(),
        "dozuzavuvu-" + QString::fromUtf8(menubaricon::rawValue(settings.data().menuBarIcon)) + "-symbolic");

    SettingsWindow window(settings, SettingsWindow::Services::of(services));
    auto* general = static_cast<GeneralTab*>(window.page(SettingsTab::general));
    for (MenuBarIcon icon : {MenuBarIcon::anvil, MenuBarIcon::wand, MenuBarIcon::monogram}) {
        general->iconPicker()->button(icon)->click();
        EXPECT_EQ(shownName(), MenuBarIconArt::symbolicName(icon));
    }
    // Dark on a light desktop, at full strength while cleaning automatically...
    EXPECT_EQ(qAlpha(darkest()), 255);
    EXPECT_LT(qGray(darkest()), 80);
    // ...and at half strength while it is off.
    for (QCheckBox* box : general->findChildren<QCheckBox*>())
        if (SettingsPage::withoutMnemonic(box->text()) == "Clean text automatically when copying")
            box->click();
    ASSERT_FALSE(settings.data().autoClean);
    EXPECT_NEAR(qAlpha(darkest()), 128, 2);
    EXPECT_EQ(shownName(), MenuBarIconArt::symbolicName(MenuBarIcon::monogram));

    // Hiding the icon hides it; the format shows in the tool tip.
    for (QCheckBox* box : general->findChildren<QCheckBox*>())
        if (SettingsPage::withoutMnemonic(box->text()) == "Show tray icon")
            box->click();
    EXPECT_FALSE(tray.tray()->isVisible());
    controller.actions().setDefaultFormat(OutputFormat::markdown);
    EXPECT_TRUE(tray.tray()->toolTip().startsWith("Dozuzavuvu (automatic cleaning off)"));
    controller.actions().toggleAutoClean();
    EXPECT_TRUE(tray.tray()->toolTip().startsWith("Dozuzavuvu (cleaning automatically, Markdown)"));
}

TEST(TrayIconColourTest, FollowsTheTrayThenTheDesktopElseWhite) {
    const QColor traySays(0x12, 0x34, 0x56);
    EXPECT_EQ(TrayIcon::iconColor(false, traySays, DesktopColorScheme::light), traySays);
    // A StatusNotifier host has no XEmbed colours to give.
    EXPECT_EQ(TrayIcon::iconColor(true, traySays, std::nullopt), QColor(Qt::white));
    EXPECT_LT(qGray(TrayIcon::iconColor(true, std::nullopt, DesktopColorScheme::light).rgb()), 80);
    EXPECT_EQ(TrayIcon::iconColor(false, std::nullopt, DesktopColorScheme::dark), QColor(Qt::white));
    EXPECT_EQ(TrayIcon::iconColor(false, std::nullopt, std::nullopt), QColor(Qt::white));
}

TEST(TrayIconColourTest, ThePortalsSchemeAtAnyDepthAndNothingElse) {
    const QVariant dark = QVariant::fromValue(1u);
    const QVariant light = QVariant::fromValue(2u);
    EXPECT_EQ(colorSchemeFromPortal(dark), DesktopColorScheme::dark);
    EXPECT_EQ(colorSchemeFromPortal(QVariant::fromValue(QDBusVariant(light))), DesktopColorScheme::light);
    EXPECT_EQ(
        colorSchemeFromPortal(QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(dark))))),
        DesktopColorScheme::dark);
    for (const QVariant& other : {QVariant::fromValue(0u), QVariant::fromValue(3u),
                                  QVariant(QStringLiteral("1")), QVariant(-1), QVariant()})
        EXPECT_EQ(colorSchemeFromPortal(other), std::nullopt) << other.typeName();
}

// Everything a keyboard reaches is named for a screen reader: by its text,
// its label (buddy) or an accessible name of its own.
TEST_F(ProgramServicesTest, EveryControlOfEveryTabHasAnAccessibleName) {
    settings.addRule(AppRule::forApp(RuleDirection::destination, "org.gnome.TextEditor", "Text Editor"));
    settings.addRule(*AppRule::forWebsite(RuleDirection::source, "example.org"));
    TryItTab tryIt(settings, tryItServices(controller));
    SettingsWindow window(settings, SettingsWindow::Services::of(services),
                          new TryItTabView(settings, tryIt));
    window.show(SettingsTab::general);
    std::vector<std::string> unnamed;
    int checked = 0;
    for (SettingsTab tab : settingstab::allCases) {
        window.show(tab);
        QApplication::processEvents();
        for (QWidget* w : window.page(tab)->findChildren<QWidget*>()) {
            const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                     qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                                     qobject_cast<QTextEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                                     qobject_cast<QAbstractSlider*>(w);
            if (!interactive || w->focusPolicy() == Qt::NoFocus)
                continue;
            ++checked;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const QString name = a ? a->text(QAccessible::Name).trimmed() : QString();
            if (name.isEmpty() || name == QStringLiteral("\u2212") || name == QStringLiteral("\u00D7"))
                unnamed.push_back(std::string(settingstab::title(tab)) + ": " + w->metaObject()->className() +
                                  " '" + w->objectName().toStdString() + "'");
        }
    }
    EXPECT_GT(checked, 40);
    EXPECT_TRUE(unnamed.empty()) << ::testing::PrintToString(unnamed);
}

// A keyboard alone reaches every control of every tab: Tab from the tab bar
// visits each one that is shown and enabled, and Ctrl+Tab moves between tabs.
TEST_F(ProgramServicesTest, TabReachesEveryControlOfEveryTab) {
    settings.addRule(AppRule::forApp(RuleDirection::destination, "org.gnome.TextEditor", "Text Editor"));
    TryItTab tryIt(settings, tryItServices(controller));
    SettingsWindow window(settings, SettingsWindow::Services::of(services),
                          new TryItTabView(settings, tryIt));
    window.show(SettingsTab::general);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (SettingsTab tab : settingstab::allCases) {
        SCOPED_TRACE(settingstab::title(tab));
        ASSERT_EQ(window.currentTab(), tab);
        QWidget* page = window.page(tab);
        std::set<QWidget*> wanted;
        for (QWidget* w : page->findChildren<QWidget*>())
            if (w->isVisibleTo(&window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
                !qobject_cast<QAbstractSlider*>(w) && !w->focusProxy())
                wanted.insert(w);
        window.tabs()->tabBar()->setFocus();
        std::set<QWidget*> reached;
        for (size_t i = 0; i < wanted.size() + 2; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached.insert(QApplication::focusWidget());
        }
        std::vector<std::string> missed;
        for (QWidget* w : wanted)
            if (!reached.count(w)) {
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
                missed.push_back(a ? a->text(QAccessible::Name).toStdString() : w->metaObject()->className());
            }
        EXPECT_TRUE(missed.empty()) << ::testing::PrintToString(missed);
        EXPECT_GT(wanted.size(), 2u);
        if (tab != SettingsTab::tryIt)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    }
}

}  // namespace
}  // namespace dz
