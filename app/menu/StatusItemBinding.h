#pragma once
// Connects the tray's model to a running controller.

#include <functional>

#include "app/menu/StatusItemController.h"

namespace dz {

class AppController;

// What the tray shows of the controller now.
StatusItemState statusItemState(const AppController& controller);

// The tray's commands on the controller. Opening the settings window and
// quitting belong to the program.
StatusItemActions statusItemActions(AppController& controller, std::function<void()> openSettings,
                                    std::function<void()> quit);

}  // namespace dz
