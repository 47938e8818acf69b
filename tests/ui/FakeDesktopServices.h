#pragma once

#include "app/platform/fakes/FakeWorkspace.h"
#include "ui/DesktopServices.h"

namespace dz {

// Records what the window asks of the program and answers from plain fields.
class FakeDesktopServices : public DesktopServices {
  public:
    std::vector<OutputFormat> defaultFormatsSet;
    bool loginItem = false;
    std::optional<std::string> loginFailure;
    std::optional<std::string> keystrokesReason;
    bool accessibilityBus = false;
    bool tray = true;
    std::optional<std::string> notice;
    std::vector<Application> installed;
    std::vector<Application> running;
    fake::FakeWorkspace fakeWorkspace;
    std::vector<bool> suspensions;
    std::vector<KeyCombo> failed;
    std::optional<std::string> lastScriptError;
    int beeps = 0;

    void setDefaultFormat(OutputFormat format) override { defaultFormatsSet.push_back(format); }
    bool launchAtLogin() const override { return loginItem; }
    std::optional<std::string> setLaunchAtLogin(bool enabled) override {
        if (!loginFailure)
            loginItem = enabled;
        return loginFailure;
    }
    std::optional<std::string> keystrokesUnavailable() const override { return keystrokesReason; }
    bool browserAccess() const override { return accessibilityBus; }
    bool enableBrowserAccess() override { return accessibilityBus = true; }
    bool trayAvailable() const override { return tray; }
    std::optional<std::string> displayNotice() const override { return notice; }
    std::vector<Application> installedApplications() const override { return installed; }
    std::vector<Application> runningApplications() const override { return running; }
    const Workspace* workspace() const override { return &fakeWorkspace; }
    void suspendHotKeys(bool suspended) override { suspensions.push_back(suspended); }
    std::vector<KeyCombo> failedShortcuts() const override { return failed; }
    std::optional<std::string> scriptError() const override { return lastScriptError; }
    void beep() override { ++beeps; }
};

}  // namespace dz
