#pragma once

#include "ui/BrowserAccess.h"

namespace dz {

// The session's accessibility bus as one flag.
class FakeBrowserAccess : public BrowserAccess {
  public:
    bool accessibilityBus = false;

    bool browserAccess() const override { return accessibilityBus; }
    bool enableBrowserAccess() override { return accessibilityBus = true; }
};

}  // namespace dz
