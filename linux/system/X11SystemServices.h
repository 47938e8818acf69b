#pragma once
// Small desktop services: the X bell, desktop notifications (over the session
// bus), opening addresses with xdg-open, starting at login (an XDG autostart
// file), and which kind of display the program runs on. Only the bell needs
// the X display: without a connection it is silent and the rest works.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/SystemServices.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

// The autostart entry, written atomically (a new file renamed over the old).
class Autostart {
  public:
    static constexpr std::string_view fileName = "dev.dozuzavuvu.desktop";
    // `configHome` is $XDG_CONFIG_HOME (or ~/.config); `exec` the program to start.
    Autostart(std::filesystem::path configHome, std::string exec);
    static std::filesystem::path defaultConfigHome(const std::function<const char*(const char*)>& getenv);
    // How the entry starts this program: by name when installed on the PATH,
    // so that it keeps working wherever the package puts the program.
    static std::string programCommand();

    std::filesystem::path path() const { return configHome_ / "autostart" / std::string(fileName); }
    // Read back from the file: present and not hidden or disabled.
    bool enabled() const;
    bool setEnabled(bool on, std::string* error);
    static std::string entryText(const std::string& exec);

  private:
    std::filesystem::path configHome_;
    std::string exec_;
};

enum class DisplayKind { x11, xwayland, none };

struct DisplayStatus {
    DisplayKind kind = DisplayKind::none;
    std::string message;  // one line for the log when there is no display; empty otherwise
};

// `canConnect` opens the X display named by DISPLAY.
DisplayStatus detectDisplay(const std::function<const char*(const char*)>& getenv,
                            const std::function<bool()>& canConnect);

class X11SystemServices final : public SystemServices {
  public:
    // `connection` may be null where there is no X display.
    explicit X11SystemServices(std::unique_ptr<XcbConnection> connection, Autostart autostart);
    ~X11SystemServices() override;

    void beep() override;
    void notify(const std::string& text) override;
    bool openAddress(const std::string& address) override;
    bool launchesAtLogin() const override { return autostart_.enabled(); }
    bool setLaunchAtLogin(bool on, std::string* error) override { return autostart_.setEnabled(on, error); }

  private:
    std::unique_ptr<XcbConnection> conn_;
    Autostart autostart_;
};

// Sends one desktop notification over the session bus; false when no
// notification service answers within half a second. Blocks the caller.
bool sendNotification(const std::string& summary, const std::string& body);

}  // namespace dz::x11
