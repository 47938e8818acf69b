#pragma once
// Window events where no window can be seen: none are ever reported.

#include "app/platform/WindowEvents.h"

namespace dz {

class InertWindowEvents final : public WindowEvents {
  public:
    void watch(Handler) override {}
};

}  // namespace dz
