#include "app/controller/StartUp.h"

#include "app/controller/AppController.h"
#include "app/settings/AppSettings.h"

namespace dz {

bool startUp(AppSettings& settings, AppController& controller, const DesktopHooks& hooks) {
    const bool firstLaunch = settings.isFirstLaunch();
    if (hooks.installMainMenu)
        hooks.installMainMenu();
    controller.start();
    if (hooks.installStatusItem)
        hooks.installStatusItem();
    if (firstLaunch) {
        settings.save();
        if (hooks.openSettings)
            hooks.openSettings();
    } else if (!settings.data().showMenuBarIcon) {
        if (hooks.revealIcon)
            hooks.revealIcon(revealSeconds);
    }
    return firstLaunch;
}

void reopen(const AppSettings& settings, const DesktopHooks& hooks) {
    if (settings.data().showMenuBarIcon) {
        if (hooks.openSettings)
            hooks.openSettings();
    } else if (hooks.revealIcon) {
        hooks.revealIcon(revealSeconds);
    }
}

}  // namespace dz
