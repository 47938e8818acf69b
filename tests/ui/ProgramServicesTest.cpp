// The settings window's services over a controller on fake desktop services.

#include <gtest/gtest.h>

#include <QLabel>

#include "app/controller/AppController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "ui/ProgramServices.h"
#include "ui/SettingsWindow.h"
#include "ui/tabs/ScriptTab.h"
#include "ui/tabs/ShortcutsTab.h"

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

}  // namespace
}  // namespace dz
