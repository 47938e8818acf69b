#pragma once

#include <optional>
#include <string>

namespace dz {

// What the display the program runs on offers, as far as the user should know.
class DisplaySession {
  public:
    virtual ~DisplaySession() = default;

    // Whether a tray host shows our icon.
    virtual bool trayAvailable() const = 0;
    // What the user should know about the display we run on (Xwayland sees
    // X11 applications only); nothing on a plain X session.
    virtual std::optional<std::string> displayNotice() const { return std::nullopt; }
};

}  // namespace dz
