#pragma once
// Connects the Try It tab's model to a running controller.

#include "app/tryit/TryItTab.h"

namespace dz {

class AppController;

// Simulations, the current clipboard and the last copy's source, from the
// controller, which must outlive the tab.
TryItTab::Services tryItServices(AppController& controller);

}  // namespace dz
