#pragma once
// Deferred work that must not outlive its owner: the owner keeps a
// `std::shared_ptr<int>` and drops it first thing in its destructor.

#include <functional>
#include <memory>

namespace dz {

// `task`, run only while `alive` has not been reset.
inline std::function<void()> guarded(const std::shared_ptr<int>& alive, std::function<void()> task) {
    std::weak_ptr<int> watch = alive;
    return [watch, task = std::move(task)] {
        if (!watch.expired())
            task();
    };
}

}  // namespace dz
