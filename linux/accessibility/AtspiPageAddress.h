#pragma once
// The browser's page address over AT-SPI: the session's accessibility bus
// (sd-bus), the application whose process is the browser's, and the walk of
// PageAddressWalk. Look-ups run one at a time on a worker thread, every call
// with a 0.5 s time-out and the whole look-up within about a second.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/platform/PageAddressLookup.h"
#include "app/platform/Scheduler.h"

namespace dz::x11 {

class AtspiPageAddress final : public PageAddressLookup {
  public:
    explicit AtspiPageAddress(Scheduler& scheduler);
    ~AtspiPageAddress() override;

    void lookUp(const std::string& bundleID, int32_t pid, Completion done) override;

    // The session-wide accessibility switch that Firefox waits for. Both
    // block for at most half a second; call them off the main thread or
    // only on the user's request.
    static std::optional<bool> accessibilityEnabled();
    static bool setAccessibilityEnabled(bool on);

    // One look-up on the calling thread (the worker's body).
    std::optional<std::string> find(int32_t pid);

  private:
    struct Bus;
    void run();

    Scheduler& scheduler_;
    std::unique_ptr<Bus> bus_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace dz::x11
