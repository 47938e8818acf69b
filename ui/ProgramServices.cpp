#include "ui/ProgramServices.h"

#include "app/platform/KeystrokeSender.h"
#include "app/platform/SpellChecker.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"
#include "app/settings/AppSettings.h"
#include "ui/TrayIcon.h"

namespace dz {

ProgramServices::ProgramServices(AppController& controller, Backend backend, QObject* parent)
    : StateNotifier(parent), controller_(controller), backend_(std::move(backend)) {
    failedSubscription_ = controller_.failedShortcuts.subscribe([this](const auto&) { emit stateChanged(); });
    errorSubscription_ = controller_.scriptError.subscribe([this](const auto&) { emit stateChanged(); });
    stateSubscription_ = controller_.stateChanged.subscribe([this] { emit stateChanged(); });
    interceptorSubscription_ = controller_.interceptorActive.subscribe([this](bool) { emit stateChanged(); });
}

void ProgramServices::setDefaultFormat(OutputFormat format) {
    controller_.actions().setDefaultFormat(format);
}

bool ProgramServices::launchAtLogin() const {
    return controller_.platform().system.launchesAtLogin();
}

std::optional<std::string> ProgramServices::setLaunchAtLogin(bool enabled) {
    std::string error;
    if (controller_.platform().system.setLaunchAtLogin(enabled, &error))
        return std::nullopt;
    return error.empty() ? std::string("unknown error") : error;
}

std::optional<std::string> ProgramServices::keystrokesUnavailable() const {
    if (!controller_.platform().keystrokes.canSendKeystrokes())
        return backend_.keystrokesMissing;
    if (!backend_.keystrokesNote.empty())
        return backend_.keystrokesNote;
    return std::nullopt;
}

std::optional<std::string> ProgramServices::desktopTrigger(ShortcutAction action) const {
    return backend_.desktopTrigger ? backend_.desktopTrigger(action) : std::nullopt;
}

void ProgramServices::openDesktopShortcutSettings() {
    if (backend_.openDesktopShortcutSettings)
        backend_.openDesktopShortcutSettings();
}

bool ProgramServices::browserAccess() const {
    return backend_.browserAccess && backend_.browserAccess();
}

bool ProgramServices::enableBrowserAccess() {
    return backend_.enableBrowserAccess && backend_.enableBrowserAccess();
}

bool ProgramServices::trayAvailable() const {
    return TrayIcon::hostAvailable();
}

std::optional<std::string> ProgramServices::displayNotice() const {
    if (backend_.displayNotice.empty())
        return std::nullopt;
    return backend_.displayNotice;
}

PastingAppIdentification ProgramServices::pastingApps() const {
    return backend_.pastingApps;
}

bool ProgramServices::interceptorActive() const {
    return controller_.interceptorActive.value();
}

std::vector<DesktopApplication> ProgramServices::installedApplications() const {
    return backend_.installedApplications ? backend_.installedApplications()
                                          : std::vector<DesktopApplication>{};
}

std::vector<DesktopApplication> ProgramServices::runningApplications() const {
    std::vector<DesktopApplication> apps;
    const auto installed = installedApplications();
    for (const auto& running : controller_.platform().workspace.runningApplications()) {
        DesktopApplication app{running.bundleID, running.localizedName.value_or(std::string()), {}};
        for (const auto& entry : installed)
            if (entry.id == app.id)
                app.iconName = entry.iconName;
        apps.push_back(std::move(app));
    }
    return apps;
}

const Workspace* ProgramServices::workspace() const {
    return &controller_.platform().workspace;
}

void ProgramServices::suspendHotKeys(bool suspended) {
    HotKeyCenter& hotKeys = controller_.actions().hotKeyCenter();
    hotKeys.isSuspended = suspended;
    if (suspended) {
        hotKeys.unregisterAll();
    } else {
        // Registered again from the settings, so refusals show once more.
        controller_.actions().registerHotKeys(controller_.settings().data().shortcuts);
    }
}

std::vector<KeyCombo> ProgramServices::failedShortcuts() const {
    return controller_.failedShortcuts.value();
}

std::optional<std::string> ProgramServices::scriptError() const {
    return controller_.scriptError.value();
}

void ProgramServices::beep() {
    controller_.platform().system.beep();
}

std::function<bool(std::string_view)> ProgramServices::wordPredicate() const {
    const SpellChecker* spelling = &controller_.platform().spelling;
    return [spelling](std::string_view word) { return spelling->isWord(word); };
}

}  // namespace dz
