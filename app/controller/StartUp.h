#pragma once
// What the desktop program does when it has finished launching and when the
// user starts it again while it runs, as plain functions over the pieces the
// program provides.

#include <functional>

namespace dz {

class AppController;
class AppSettings;

struct DesktopHooks {
    std::function<void()> installMainMenu;           // optional
    std::function<void()> installStatusItem;         // the tray icon
    std::function<void()> openSettings;              // the settings window, keeping its tab
    std::function<void(double seconds)> revealIcon;  // show a hidden tray icon for a while
};

// Seconds a hidden icon shows after a launch or a reopen.
inline constexpr double revealSeconds = 5;

// In order: note whether this is the first launch, install the main menu,
// start the controller, install the tray icon, then on the first launch save
// the defaults and open the settings window, otherwise reveal a hidden icon.
// Gives whether it was the first launch.
bool startUp(AppSettings& settings, AppController& controller, const DesktopHooks& hooks);

// The user opened the running program again: the settings window when the
// icon is shown, else the icon for a few seconds.
void reopen(const AppSettings& settings, const DesktopHooks& hooks);

}  // namespace dz
