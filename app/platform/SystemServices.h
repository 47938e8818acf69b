#pragma once

#include <string>

namespace dz {

// Small desktop services the controller and the settings window use.
// Main thread only.
class SystemServices {
  public:
    virtual ~SystemServices() = default;

    // The desktop's short alert sound (or nothing where there is none).
    virtual void beep() = 0;
    // A desktop notification with this one-line text.
    virtual void notify(const std::string& text) = 0;
    // Opens an address (a web page, a settings pane) with the desktop's
    // handler for it; false when nothing could open it.
    virtual bool openAddress(const std::string& address) = 0;

    // Whether the program starts when the user logs in.
    virtual bool launchesAtLogin() const = 0;
    // Turns starting at login on or off. On failure gives false and describes
    // the failure in `error` (one phrase, no final period).
    virtual bool setLaunchAtLogin(bool on, std::string* error) = 0;
};

}  // namespace dz
