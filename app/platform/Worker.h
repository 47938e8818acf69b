#pragma once
// Work too long for the main thread: rendering a large copy would otherwise
// freeze the tray, the bus and every command while it runs.

#include <functional>

namespace dz {

class Worker {
  public:
    virtual ~Worker() = default;

    // Runs `work` away from the main thread, then `done` on the main thread.
    // Jobs run one at a time, in the order given; `work` must not touch the
    // controller's state. Main thread.
    virtual void run(std::function<void()> work, std::function<void()> done) = 0;

    // Gives memory freed after a large copy back to the system, away from the
    // main thread. Main thread.
    virtual void releaseMemory() = 0;
};

}  // namespace dz
