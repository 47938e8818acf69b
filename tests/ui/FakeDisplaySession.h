#pragma once

#include "ui/DisplaySession.h"

namespace dz {

class FakeDisplaySession : public DisplaySession {
  public:
    bool tray = true;
    std::optional<std::string> notice;
    PastingAppIdentification pasting = PastingAppIdentification::everyApplication;
    bool intercepting = true;

    bool trayAvailable() const override { return tray; }
    std::optional<std::string> displayNotice() const override { return notice; }
    PastingAppIdentification pastingApps() const override { return pasting; }
    bool interceptorActive() const override { return intercepting; }
};

}  // namespace dz
