#pragma once

#include <optional>
#include <string>

#include "app/input/ShortcutAction.h"

namespace dz {

// What the session allows with keys: typing them for the user (the paste
// shortcuts and "Copy and clean" need to), global shortcuts, and watching the
// tap key.
class KeystrokeSupport {
  public:
    // How global shortcuts reach the program: its own key grabs (X11), the
    // desktop's shortcuts portal, or neither (the user binds desktop shortcuts
    // to our addresses).
    enum class ShortcutRoute { keyGrabs, portal, none };

    virtual ~KeystrokeSupport() = default;

    // Nothing when keystrokes can be sent on this desktop, else what happens
    // instead.
    virtual std::optional<std::string> keystrokesUnavailable() const = 0;
    // How keys are typed when they can be (XTest, the compositor's virtual
    // keyboard); empty when there is nothing to say beyond "available".
    virtual std::string keystrokesRoute() const { return {}; }
    virtual ShortcutRoute shortcutRoute() const { return ShortcutRoute::keyGrabs; }
    // The keys the desktop reports for an action bound through the portal.
    virtual std::optional<std::string> desktopTrigger(ShortcutAction action) const {
        (void)action;
        return std::nullopt;
    }
    // Whether the portal can open the desktop's own shortcut settings.
    virtual bool canOpenDesktopShortcutSettings() const { return false; }
    virtual void openDesktopShortcutSettings() {}
    // Whether a lone tap of a key can be seen in this session.
    virtual bool tapAvailable() const { return true; }
};

}  // namespace dz
