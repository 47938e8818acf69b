#include "linux/accessibility/PageAddressWalk.h"

#include <deque>

namespace dz::x11 {

namespace {

bool has(uint64_t states, int state) {
    return (states >> state) & 1;
}

}  // namespace

std::optional<std::string> findPageAddress(AccessibleTree& tree, const AccessibleRef& application,
                                           const WalkLimits& limits) {
    auto late = [&] { return limits.outOfTime && limits.outOfTime(); };
    if (late())
        return std::nullopt;
    auto frames = tree.children(application);
    if (!frames || frames->empty())
        return std::nullopt;
    // The active window first; the others only when none says it is active.
    std::deque<AccessibleRef> queue;
    for (const auto& frame : *frames) {
        if (late())
            return std::nullopt;
        if (auto s = tree.states(frame); s && has(*s, atspi::stateActive))
            queue.push_back(frame);
    }
    if (queue.empty())
        queue.assign(frames->begin(), frames->end());

    size_t visited = 0;
    while (!queue.empty() && visited < limits.maxNodes) {
        if (late())
            return std::nullopt;
        AccessibleRef node = std::move(queue.front());
        queue.pop_front();
        ++visited;
        auto role = tree.role(node);
        if (role && *role == atspi::roleDocumentWeb) {
            // Background tabs keep their documents; only the shown one counts.
            auto s = tree.states(node);
            if (s && !has(*s, atspi::stateShowing))
                continue;
            if (auto attributes = tree.documentAttributes(node)) {
                for (const char* key : {"DocURL", "URI"}) {
                    auto it = attributes->find(key);
                    if (it != attributes->end() && !it->second.empty())
                        return it->second;
                }
            }
            continue;  // a document's own children are not searched
        }
        if (auto kids = tree.children(node))
            for (auto& kid : *kids) queue.push_back(std::move(kid));
    }
    return std::nullopt;
}

}  // namespace dz::x11
