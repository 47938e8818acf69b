#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dz {

// Asks a running browser for the address of the page in its front tab (on
// this desktop through the accessibility tree). The caching, the list of
// browsers and the time limits of pastes belong to `BrowserURLProvider`.
class PageAddressLookup {
  public:
    using Completion = std::function<void(std::optional<std::string> address)>;

    virtual ~PageAddressLookup() = default;

    // Starts one look-up for the browser `bundleID` running as `pid`. Called
    // on the main thread; `done` runs exactly once, on the main thread and
    // never inside this call, with the address as found (unchecked text) or
    // nothing. The implementation bounds its own work (about a second at most).
    virtual void lookUp(const std::string& bundleID, int32_t pid, Completion done) = 0;

    // Whether look-ups can find anything now (on this desktop: the user has
    // switched the accessibility bus on). Cheap; main thread.
    virtual bool available() const { return true; }
};

}  // namespace dz
