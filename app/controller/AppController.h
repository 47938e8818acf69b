#pragma once
// The program's brain, in four parts: copy handling (`CopyHandler`),
// paste-time switching with the put-back (`PasteSwitcher`), the shortcut
// actions (`ShortcutActions`) and the automation addresses
// (`AutomationCommands`). The controller keeps the published state, builds
// the parts and wires them to the desktop at start. Single-threaded: every
// call happens on the main thread. Build one per program (or as many as a
// test likes) and pass it where it is needed.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controller/AutomationCommands.h"
#include "app/controller/BrowserURLProvider.h"
#include "app/controller/ClipState.h"
#include "app/controller/ClipboardMonitor.h"
#include "app/controller/CopyHandler.h"
#include "app/controller/PageAddressTracker.h"
#include "app/controller/PasteSwitcher.h"
#include "app/controller/ShortcutActions.h"
#include "app/input/KeyCombo.h"
#include "app/platform/Platform.h"
#include "app/platform/Scheduler.h"
#include "app/settings/SettingsData.h"
#include "app/support/Observable.h"
#include "app/support/Signal.h"
#include "core/options/OutputFormat.h"

namespace dz {

class AppSettings;

class AppController {
  public:
    static constexpr double interceptorRecheck = 3;  // seconds between looks at the paste hook

    // What the Try-it tab shows: the plain text that would be pasted (none:
    // the copy as copied), and why.
    struct Simulation {
        std::optional<std::string> output;
        std::string explanation;
        bool operator==(const Simulation&) const = default;
    };

    // ---- Published state (subscribers get the current value at once)
    Observable<std::optional<LastCopy>> lastCopy;
    Observable<std::optional<TimePoint>> pausedUntil;
    Observable<std::optional<std::string>> scriptError;
    Observable<std::vector<KeyCombo>> failedShortcuts;
    Observable<bool> interceptorActive{false};
    // The tray should look again: pause, resume, and changes of automatic
    // cleaning, the default format, the icon or its visibility.
    Signal stateChanged;
    // The user asked for the settings window (an automation address); the
    // program opens it keeping its current tab.
    Signal settingsRequested;

    // `settings` and every service of `platform` must outlive the controller.
    AppController(AppSettings& settings, const Platform& platform);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Connects the monitor, the paste hook, the settings subscriptions and the
    // 3-second re-check. Once.
    void start();

    // ---- Try it: reads the rules and renders, never writes anything.
    Simulation simulate(const ClipboardSnapshot& snapshot, const SourceInfo& source,
                        std::optional<std::string> destinationBundleID,
                        std::optional<std::string> destinationURL, std::optional<OutputFormat> override);

    // ---- The parts
    CopyHandler& copies() { return copies_; }
    PasteSwitcher& pastes() { return pastes_; }
    ShortcutActions& actions() { return actions_; }
    AutomationCommands& commands() { return commands_; }
    ClipboardMonitor& monitor() { return monitor_; }
    BrowserURLProvider& browserURLs() { return browserURLs_; }
    PageAddressTracker& pageAddresses() { return pageAddresses_; }

    // ---- Reading
    const std::optional<ClipState>& clip() const { return copies_.clip(); }
    bool isPaused() const { return actions_.isPaused(); }
    AppSettings& settings() const { return settings_; }
    const Platform& platform() const { return platform_; }

  private:
    AppSettings& settings_;
    Platform platform_;
    ClipboardMonitor monitor_;
    BrowserURLProvider browserURLs_;
    PageAddressTracker pageAddresses_;
    CopyHandler copies_;
    PasteSwitcher pastes_;
    ShortcutActions actions_;
    AutomationCommands commands_;
    std::vector<Observable<SettingsData>::Subscription> subscriptions_;
    Scheduler::TaskID recheckTimer_ = 0;
    bool started_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
