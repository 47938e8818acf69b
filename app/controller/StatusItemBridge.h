#pragma once
// Connects the tray's model to a controller: the state it shows and the
// commands its items run.

#include <functional>

#include "app/menu/StatusItemController.h"

namespace dz {

class AppController;

// The controller's state as the tray reads it, at this moment.
StatusItemState statusItemState(AppController& controller);

// The tray's commands on this controller; `openSettings` and `quit` belong to
// the desktop program.
StatusItemActions statusItemActions(AppController& controller, std::function<void()> openSettings,
                                    std::function<void()> quit);

}  // namespace dz
