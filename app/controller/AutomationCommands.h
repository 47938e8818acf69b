#pragma once
// The automation addresses ("dozuzavuvu://toggle", "dozuzavuvu://pause?minutes=15"
// …) that reach the program through its desktop file or its command line.
// An address is untrusted text: anything unknown or malformed only beeps.

#include <string_view>

#include "app/support/Signal.h"

namespace dz {

class AppSettings;
class CopyHandler;
class ShortcutActions;
class SystemServices;

class AutomationCommands {
  public:
    // `settingsRequested` is sent for "dozuzavuvu://settings".
    AutomationCommands(AppSettings& settings, SystemServices& system, CopyHandler& copies,
                       ShortcutActions& actions, Signal& settingsRequested);

    void handle(std::string_view url);

  private:
    AppSettings& settings_;
    SystemServices& system_;
    CopyHandler& copies_;
    ShortcutActions& actions_;
    Signal& settingsRequested_;
};

}  // namespace dz
