#pragma once

#include <optional>
#include <string>

namespace dz {

// Which pasting applications the session lets us identify, and so which
// "Pasting into" rules can work.
enum class PastingAppIdentification {
    everyApplication,
    x11ApplicationsOnly,  // Xwayland: native Wayland applications stay unknown
    none,
};

// What the display the program runs on offers, as far as the user should know.
class DisplaySession {
  public:
    virtual ~DisplaySession() = default;

    // Whether a tray host shows our icon.
    virtual bool trayAvailable() const = 0;
    // What the user should know about the display we run on (Xwayland sees
    // X11 applications only); nothing on a plain X session.
    virtual std::optional<std::string> displayNotice() const { return std::nullopt; }
    // Whose pastes the backend can tell apart.
    virtual PastingAppIdentification pastingApps() const {
        return PastingAppIdentification::everyApplication;
    }
    // Whether pastes are being watched for destination rules right now (the
    // controller's published `interceptorActive`).
    virtual bool interceptorActive() const { return true; }
};

// The line shown with "Pasting into" rules that cannot work as the user
// expects; nothing when there are none, or when they all work.
std::optional<std::string> pastingRulesNotice(bool hasDestinationRules, bool interceptorActive,
                                              PastingAppIdentification identification);

}  // namespace dz
