#pragma once

#include "ui/LoginItem.h"

namespace dz {

// A login item that changes unless `failure` is set.
class FakeLoginItem : public LoginItem {
  public:
    bool enabled = false;
    std::optional<std::string> failure;

    bool launchAtLogin() const override { return enabled; }
    std::optional<std::string> setLaunchAtLogin(bool on) override {
        if (!failure)
            enabled = on;
        return failure;
    }
};

}  // namespace dz
