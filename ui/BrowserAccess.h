#pragma once

namespace dz {

// The session switch that lets website rules read the current tab's address.
class BrowserAccess {
  public:
    virtual ~BrowserAccess() = default;

    // Whether websites' addresses can be read from browsers (the session's
    // accessibility bus is on), and turning it on; false when it stays off.
    virtual bool browserAccess() const = 0;
    virtual bool enableBrowserAccess() = 0;
};

}  // namespace dz
