#pragma once
// The settings window's view of the running program: the controller's
// published state and the desktop's services, every one the tabs use.

#include <vector>

#include "app/controller/AppController.h"
#include "app/support/Signal.h"
#include "ui/ApplicationCatalog.h"
#include "ui/Bell.h"
#include "ui/BrowserAccess.h"
#include "ui/DefaultFormatControl.h"
#include "ui/DisplaySession.h"
#include "ui/HotKeySuspension.h"
#include "ui/KeystrokeSupport.h"
#include "ui/LoginItem.h"
#include "ui/RefusedShortcuts.h"
#include "ui/ScriptStatus.h"
#include "ui/StateNotifier.h"
#include "ui/WordDictionary.h"

namespace dz {

class ProgramServices : public StateNotifier,
                        public DefaultFormatControl,
                        public LoginItem,
                        public KeystrokeSupport,
                        public BrowserAccess,
                        public DisplaySession,
                        public ApplicationCatalog,
                        public HotKeySuspension,
                        public RefusedShortcuts,
                        public Bell,
                        public ScriptStatus,
                        public WordDictionary {
  public:
    // What the backend offers beyond the controller's platform.
    struct Backend {
        // The installed applications (desktop files with their icons).
        std::function<std::vector<DesktopApplication>()> installedApplications;
        // The session's accessibility switch, read and turned on.
        std::function<bool()> browserAccess;
        std::function<bool()> enableBrowserAccess;
        // One line about the display (Xwayland); empty on a plain X session.
        std::string displayNotice;
        // Whose pastes the backend can tell apart, for "Pasting into" rules.
        PastingAppIdentification pastingApps = PastingAppIdentification::everyApplication;
        // What typing keys amounts to in a session where it is limited (a
        // Wayland desktop, where only X11 applications receive them); empty
        // where keys reach every application.
        std::string keystrokesNote;
        // How keys are typed where they can be, and what happens where they
        // cannot.
        std::string keystrokesRoute = "Typed through XTest";
        std::string keystrokesMissing =
            "Not available: the X server has no XTest extension. The paste shortcuts wait for your own "
            "Ctrl+V.";
        // How global shortcuts reach the program, and through the portal the
        // keys the desktop chose and its settings, when it offers them.
        ShortcutRoute shortcutRoute = ShortcutRoute::keyGrabs;
        std::function<std::optional<std::string>(ShortcutAction)> desktopTrigger;
        std::function<void()> openDesktopShortcutSettings;
        // Whether a lone key tap can be seen (not on a Wayland desktop).
        bool tapAvailable = true;
    };

    ProgramServices(AppController& controller, Backend backend, QObject* parent = nullptr);

    void setDefaultFormat(OutputFormat format) override;
    bool launchAtLogin() const override;
    std::optional<std::string> setLaunchAtLogin(bool enabled) override;
    std::optional<std::string> keystrokesUnavailable() const override;
    std::string keystrokesRoute() const override { return backend_.keystrokesRoute; }
    ShortcutRoute shortcutRoute() const override { return backend_.shortcutRoute; }
    std::optional<std::string> desktopTrigger(ShortcutAction action) const override;
    bool canOpenDesktopShortcutSettings() const override {
        return bool(backend_.openDesktopShortcutSettings);
    }
    void openDesktopShortcutSettings() override;
    bool tapAvailable() const override { return backend_.tapAvailable; }
    // The portal reported new keys: the tabs look again.
    void desktopTriggersChanged() { emit stateChanged(); }
    bool browserAccess() const override;
    bool enableBrowserAccess() override;
    bool trayAvailable() const override;
    std::optional<std::string> displayNotice() const override;
    PastingAppIdentification pastingApps() const override;
    bool interceptorActive() const override;
    std::vector<DesktopApplication> installedApplications() const override;
    std::vector<DesktopApplication> runningApplications() const override;
    const Workspace* workspace() const override;
    void suspendHotKeys(bool suspended) override;
    std::vector<KeyCombo> failedShortcuts() const override;
    std::optional<std::string> scriptError() const override;
    void beep() override;
    std::function<bool(std::string_view)> wordPredicate() const override;

  private:
    AppController& controller_;
    Backend backend_;
    Observable<std::vector<KeyCombo>>::Subscription failedSubscription_;
    Observable<std::optional<std::string>>::Subscription errorSubscription_;
    Observable<bool>::Subscription interceptorSubscription_;
    Signal::Subscription stateSubscription_;
};

}  // namespace dz
