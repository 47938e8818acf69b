#pragma once

#include <vector>

#include "app/input/KeyCombo.h"

namespace dz {

// The global shortcuts the desktop would not give us.
class RefusedShortcuts {
  public:
    virtual ~RefusedShortcuts() = default;

    // The combinations another application holds; empty when all registered.
    virtual std::vector<KeyCombo> failedShortcuts() const = 0;
};

}  // namespace dz
