#pragma once
// Finding the page address in a browser's accessibility tree: its active
// window, then a breadth-first walk (bounded) to the showing web document,
// whose attributes carry the address (DocURL or URI). The tree is behind an
// interface so the walk is tested without a session bus.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dz::x11 {

struct AccessibleRef {
    std::string bus;   // unique bus name of the application
    std::string path;  // object path
    bool operator==(const AccessibleRef&) const = default;
};

namespace atspi {
inline constexpr uint32_t roleDocumentWeb = 95;
inline constexpr int stateActive = 1;
inline constexpr int stateShowing = 25;
}  // namespace atspi

class AccessibleTree {
  public:
    virtual ~AccessibleTree() = default;
    // Each gives nothing when the call fails or times out.
    virtual std::optional<std::vector<AccessibleRef>> children(const AccessibleRef& node) = 0;
    virtual std::optional<uint32_t> role(const AccessibleRef& node) = 0;
    virtual std::optional<uint64_t> states(const AccessibleRef& node) = 0;  // bit n = state n
    virtual std::optional<std::map<std::string, std::string>> documentAttributes(
        const AccessibleRef& node) = 0;
};

struct WalkLimits {
    size_t maxNodes = 1500;
    // Checked before every call; true ends the walk with nothing.
    std::function<bool()> outOfTime;
};

std::optional<std::string> findPageAddress(AccessibleTree& tree, const AccessibleRef& application,
                                           const WalkLimits& limits = {});

}  // namespace dz::x11
