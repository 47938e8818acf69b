#pragma once

#include "ui/DisplaySession.h"

namespace dz {

class FakeDisplaySession : public DisplaySession {
  public:
    bool tray = true;
    std::optional<std::string> notice;

    bool trayAvailable() const override { return tray; }
    std::optional<std::string> displayNotice() const override { return notice; }
};

}  // namespace dz
