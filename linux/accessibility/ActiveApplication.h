#pragma once
// Which application is in front, from the accessibility tree: the one whose
// top-level window says it is active. Any client on the accessibility bus can
// say so, so the answer is nothing whenever it is not clear: no window
// active, or windows of more than one process. The tree is behind an
// interface so the walk is tested without a session bus.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "linux/accessibility/PageAddressWalk.h"

namespace dz::x11 {

struct ActiveApplicationLimits {
    size_t maxApplications = 128;
    size_t maxWindowsEach = 32;
    // Checked before every call; true ends the search with nothing.
    std::function<bool()> outOfTime;
};

// `processOf` gives an application's process; applications of `ignored`
// processes (the compositor's shell, this program) are passed over.
std::optional<int32_t> findActiveApplication(
    AccessibleTree& tree, const std::vector<AccessibleRef>& applications,
    const std::function<std::optional<int32_t>(const AccessibleRef&)>& processOf,
    const std::set<int32_t>& ignored, const ActiveApplicationLimits& limits = {});

}  // namespace dz::x11
