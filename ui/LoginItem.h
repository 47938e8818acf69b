#pragma once

#include <optional>
#include <string>

namespace dz {

// Whether the program starts when the user logs in.
class LoginItem {
  public:
    virtual ~LoginItem() = default;

    virtual bool launchAtLogin() const = 0;
    // Nothing on success, else the reason it failed.
    virtual std::optional<std::string> setLaunchAtLogin(bool enabled) = 0;
};

}  // namespace dz
