#pragma once
// The tray icon's logic: what it shows, what a toggle click does, and the
// menu it opens, rebuilt from the current state each time. The tray in the
// desktop program only draws what this decides.

#include <functional>
#include <optional>
#include <string>

#include "app/menu/MenuItem.h"
#include "app/menu/RuleChange.h"
#include "app/menu/ShortTime.h"
#include "app/platform/Scheduler.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MenuBarIcon.h"
#include "app/support/Signal.h"
#include "core/cleaner/CleanOutcome.h"
#include "core/options/OutputFormat.h"

namespace dz {

// The controller's state the tray shows, besides the settings.
struct StatusItemState {
    struct Source {
        std::optional<std::string> bundleID;
        std::optional<std::string> name;
        std::optional<std::string> pageURL;
        std::string label;  // name or id, with the page's host
    };
    struct LastCopy {
        Source source;
        std::string detail;
    };
    struct App {
        std::optional<std::string> bundleID;
        std::optional<std::string> name;
    };

    std::optional<TimePoint> pausedUntil;
    std::optional<LastCopy> lastCopy;
    std::optional<App> frontmost;
    // The reflow of the current copy's base rendition; nothing without one.
    std::optional<bool> baseReflow;
    // Why "Pasting into" rules do not (all) work on this desktop, shown atop
    // their submenu; nothing when they do.
    std::optional<std::string> pastingRulesNotice;
};

// What the tray's items ask the controller to do.
struct StatusItemActions {
    std::function<void()> toggleAutoClean;
    std::function<void(double minutes)> pause;
    std::function<void()> resume;
    std::function<void(OutputFormat)> setDefaultFormat;
    // `done` hears what the conversion did once it is on the clipboard.
    std::function<void(OutputFormat format, bool reflow, bool pin, std::function<void(CleanOutcome)> done)>
        convert;
    std::function<void()> fixPDFLineBreaks;
    std::function<void()> openSettings;
    std::function<void()> quit;
    std::function<void()> beep;
};

class StatusItemController {
  public:
    struct Appearance {
        bool visible = true;
        MenuBarIcon icon = MenuBarIcon::hammer;
        std::string stateText;  // also the icon's accessible description
        std::string toolTip;
        bool dimmed = false;

        bool operator==(const Appearance&) const = default;
    };

    // `settings` and `scheduler` must outlive the status item.
    StatusItemController(AppSettings& settings, Scheduler& scheduler, std::function<StatusItemState()> state,
                         StatusItemActions actions, TimeFormatter formatTime = shorttime::local);
    StatusItemController(const StatusItemController&) = delete;
    StatusItemController& operator=(const StatusItemController&) = delete;
    ~StatusItemController();

    // Receives the appearance on every refresh.
    void setRenderer(std::function<void(const Appearance&)> renderer) { renderer_ = std::move(renderer); }
    // Refreshes now and on every notice of `stateChanged` from now on.
    void install(Signal& stateChanged);

    Appearance appearance() const;
    // Recomputes the appearance and hands it to the renderer.
    void refresh();
    // Shows a hidden icon for `seconds`, then hides it again.
    void revealTemporarily(double seconds);
    // The toggle click (a middle click): flips automatic cleaning, no menu.
    void toggleClicked();

    // The menu as it opens now.
    Menu buildMenu() const;
    // Runs a chosen item's command.
    void perform(const MenuItem& item);

  private:
    bool isPaused(const StatusItemState& state) const;
    std::string stateText(const SettingsData& settings, const StatusItemState& state) const;
    MenuItem ruleMenu(const std::string& title, RuleDirection direction, RuleKind kind,
                      const std::string& key, const std::string& name,
                      const std::optional<std::string>& notice = std::nullopt) const;

    AppSettings& settings_;
    Scheduler& scheduler_;
    std::function<StatusItemState()> state_;
    StatusItemActions actions_;
    TimeFormatter formatTime_;
    std::function<void(const Appearance&)> renderer_;
    std::optional<TimePoint> revealUntil_;
    Scheduler::TaskID revealEnd_ = 0;
    Signal::Subscription stateSubscription_;
};

// Applies a rule submenu's change through the settings store: removes the
// place's rule, or changes it, creating it first when there is none.
void setRule(AppSettings& settings, const RuleChange& change);

}  // namespace dz
