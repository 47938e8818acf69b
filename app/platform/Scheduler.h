#pragma once
// Time and the main thread. Every timer of the program runs through this
// interface, so that tests can drive a virtual clock instead of sleeping.

#include <cstdint>
#include <functional>

namespace dz {

// Seconds since 1970-01-01 00:00:00 UTC, fractions allowed. The one time
// scale of the program: dates shown to the user, timers and key-event times.
using TimePoint = double;

class Scheduler {
  public:
    // Identifies a scheduled task; 0 is never used, so it can mean "none".
    using TaskID = uint64_t;

    virtual ~Scheduler() = default;

    // The current time. Main thread.
    virtual TimePoint now() const = 0;

    // Runs `task` once on the main thread after `seconds` (0 or less: on the
    // next turn of the main loop, never inside this call). Main thread.
    virtual TaskID after(double seconds, std::function<void()> task) = 0;

    // Runs `task` on the main thread every `seconds` (> 0) until cancelled;
    // the first run is `seconds` from now. Main thread.
    virtual TaskID every(double seconds, std::function<void()> task) = 0;

    // Stops a task that has not run yet (or a repeating one). Unknown, finished
    // or already cancelled ids are ignored. A task may cancel itself. Main thread.
    virtual void cancel(TaskID id) = 0;

    // Runs `task` on the main thread as soon as possible, in the order posted.
    // The only method callable from any thread: backends use it to hand their
    // events to the main thread.
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace dz
