#pragma once

#include "ui/KeystrokeSupport.h"

namespace dz {

class FakeKeystrokeSupport : public KeystrokeSupport {
  public:
    std::optional<std::string> reason;  // set: keystrokes cannot be sent

    std::optional<std::string> keystrokesUnavailable() const override { return reason; }
};

}  // namespace dz
