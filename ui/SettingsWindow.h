#pragma once
// The one settings window: seven tabs, built on first use and kept; closing
// only hides it.

#include <functional>
#include <optional>

#include <QWidget>

#include "ui/SettingsTab.h"

class QTabWidget;

namespace dz {

class AppSettings;
class ApplicationCatalog;
class Bell;
class BrowserAccess;
class DefaultFormatControl;
class DisplaySession;
class HotKeySuspension;
class KeystrokeSupport;
class LoginItem;
class RefusedShortcuts;
class ScriptStatus;
class StateNotifier;
class WordDictionary;

class SettingsWindow : public QWidget {
  public:
    static constexpr int width = 760;
    static constexpr int height = 600;

    // Everything the tabs need from the running program; each tab is given
    // its share.
    struct Services {
        DefaultFormatControl& defaultFormat;
        LoginItem& loginItem;
        KeystrokeSupport& keystrokes;
        BrowserAccess& browserAccess;
        DisplaySession& display;
        ApplicationCatalog& applications;
        HotKeySuspension& hotKeys;
        RefusedShortcuts& refusedShortcuts;
        Bell& bell;
        ScriptStatus& script;
        WordDictionary& dictionary;
        StateNotifier& notifier;

        // Every one from a single object that provides them all.
        template <typename Program>
        static Services of(Program& program) {
            return {program, program, program, program, program, program,
                    program, program, program, program, program, program};
        }
    };

    SettingsWindow(AppSettings& settings, const Services& services, QWidget* tryIt = nullptr);

    // Selects `tab` when given (keeps the current one otherwise), sets the
    // size back, and brings the window to the front.
    void show(std::optional<SettingsTab> tab = std::nullopt);

    SettingsTab currentTab() const;
    // What Ctrl+Q does: quits the program unless told otherwise.
    std::function<void()> quit;
    QTabWidget* tabs() const { return tabs_; }
    QWidget* page(SettingsTab tab) const;

  private:
    QTabWidget* tabs_;
};

}  // namespace dz
