#pragma once
// The automation addresses ("dozuzavuvu://toggle", "dozuzavuvu://pause?minutes=15"
// …) that reach the program through its desktop file or its command line.
// An address is untrusted text: anything unknown, malformed or too long only
// beeps.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

    static constexpr size_t longestAddress = 64 * 1024;  // bytes
    static constexpr size_t addressesPerRequest = 16;

    // Who sent the addresses: the user (the command line, the session bus),
    // or a link opened through the desktop file's handler, which any web
    // page can do. A link never presses keys: its pastes wait for the
    // user's own Ctrl+V.
    enum class Origin { user, link };

    // The addresses of one start of the program, or one request from a later
    // start, in order: the first 16; the rest are refused with one beep.
    void open(const std::vector<std::string>& urls, Origin origin);
    void handle(std::string_view url, Origin origin = Origin::user);

  private:
    AppSettings& settings_;
    SystemServices& system_;
    CopyHandler& copies_;
    ShortcutActions& actions_;
    Signal& settingsRequested_;
};

}  // namespace dz
