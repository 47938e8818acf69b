#pragma once
// What the settings window needs from the running program beyond the
// settings store: the controller's published state and a few desktop
// services. The program implements it over the controller and the backend;
// widget tests use a fake.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "app/input/KeyCombo.h"
#include "core/options/OutputFormat.h"

namespace dz {

class Workspace;

class DesktopServices : public QObject {
    Q_OBJECT

  public:
    struct Application {
        std::string id;        // desktop-file id
        std::string name;      // display name
        std::string iconName;  // theme icon name or icon path; may be empty
    };

    using QObject::QObject;

    // Goes through the controller so that a copy following the default is
    // rewritten too.
    virtual void setDefaultFormat(OutputFormat format) = 0;

    virtual bool launchAtLogin() const = 0;
    // Nothing on success, else the reason it failed.
    virtual std::optional<std::string> setLaunchAtLogin(bool enabled) = 0;

    // Nothing when keystrokes can be sent on this desktop, else why not.
    virtual std::optional<std::string> keystrokesUnavailable() const = 0;
    // Whether websites' addresses can be read from browsers (the session's
    // accessibility bus is on), and turning it on.
    virtual bool browserAccess() const = 0;
    virtual bool enableBrowserAccess() = 0;
    // Whether a tray host shows our icon.
    virtual bool trayAvailable() const = 0;
    // What the user should know about the display we run on (Xwayland sees
    // X11 applications only); nothing on a plain X session.
    virtual std::optional<std::string> displayNotice() const { return std::nullopt; }

    // Applications with a desktop file, by name; running ones.
    virtual std::vector<Application> installedApplications() const = 0;
    virtual std::vector<Application> runningApplications() const = 0;
    virtual const Workspace* workspace() const = 0;
    // The program's own application id.
    virtual std::string ownApplicationID() const { return "dev.dozuzavuvu"; }

    // While recording a shortcut no global hot key may fire.
    virtual void suspendHotKeys(bool suspended) = 0;
    virtual std::vector<KeyCombo> failedShortcuts() const = 0;
    virtual std::optional<std::string> scriptError() const = 0;
    virtual void beep() = 0;

    // The PDF reflower's dictionary test; may be empty.
    virtual std::function<bool(std::string_view)> wordPredicate() const { return {}; }

  signals:
    // The controller's published state changed (script error, refused
    // shortcuts, tray availability...).
    void stateChanged();
};

}  // namespace dz
