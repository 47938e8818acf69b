#include "linux/accessibility/ActiveApplication.h"

#include <algorithm>

namespace dz::x11 {

std::optional<int32_t> findActiveApplication(
    AccessibleTree& tree, const std::vector<AccessibleRef>& applications,
    const std::function<std::optional<int32_t>(const AccessibleRef&)>& processOf,
    const std::set<int32_t>& ignored, const ActiveApplicationLimits& limits) {
    auto late = [&] { return limits.outOfTime && limits.outOfTime(); };
    std::optional<int32_t> found;
    const size_t count = std::min(applications.size(), limits.maxApplications);
    for (size_t i = 0; i < count; ++i) {
        if (late())
            return std::nullopt;
        auto windows = tree.children(applications[i]);
        if (!windows)
            continue;
        bool active = false;
        const size_t windowCount = std::min(windows->size(), limits.maxWindowsEach);
        for (size_t w = 0; w < windowCount && !active; ++w) {
            if (late())
                return std::nullopt;
            auto states = tree.states((*windows)[w]);
            active = states && ((*states >> atspi::stateActive) & 1);
        }
        if (!active)
            continue;
        if (late())
            return std::nullopt;
        auto pid = processOf(applications[i]);
        if (!pid || ignored.count(*pid))
            continue;
        if (found && *found != *pid)
            return std::nullopt;  // two processes claim the front
        found = pid;
    }
    return found;
}

}  // namespace dz::x11
