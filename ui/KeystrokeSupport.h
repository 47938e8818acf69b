#pragma once

#include <optional>
#include <string>

namespace dz {

// Whether the program may press keys for the user (the paste shortcuts and
// "Copy and clean" need to).
class KeystrokeSupport {
  public:
    virtual ~KeystrokeSupport() = default;

    // Nothing when keystrokes can be sent on this desktop, else why not.
    virtual std::optional<std::string> keystrokesUnavailable() const = 0;
};

}  // namespace dz
