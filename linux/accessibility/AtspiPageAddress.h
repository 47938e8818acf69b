#pragma once
// The browser's page address over AT-SPI: the session's accessibility bus
// (sd-bus), the application whose process is the browser's, and the walk of
// PageAddressWalk. Look-ups run one at a time on a worker thread, every call
// with a 0.5 s time-out and the whole look-up within about a second.

#include <atomic>
#include <chrono>
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

class AtspiBus;

class AtspiPageAddress final : public PageAddressLookup {
  public:
    explicit AtspiPageAddress(Scheduler& scheduler);
    ~AtspiPageAddress() override;

    void lookUp(const std::string& bundleID, int32_t pid, Completion done) override;
    // From the accessibility switch as last read on the worker, read again
    // there at most every few seconds; on until read as off.
    bool available() const override;

    // The session-wide accessibility switch that Firefox waits for. Both
    // block for at most half a second; call them off the main thread or
    // only on the user's request.
    static std::optional<bool> accessibilityEnabled();
    static bool setAccessibilityEnabled(bool on);

    // One look-up on the calling thread (the worker's body).
    std::optional<std::string> find(int32_t pid);

  private:
    void run();
    void enqueue(std::function<void()> job) const;

    Scheduler& scheduler_;
    std::unique_ptr<AtspiBus> bus_;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    mutable std::deque<std::function<void()>> jobs_;
    enum class Access { unknown, on, off };
    mutable std::atomic<Access> access_{Access::unknown};
    mutable std::atomic<bool> checking_{false};
    mutable std::chrono::steady_clock::time_point lastCheck_{};  // main thread
    bool stopping_ = false;
    std::thread worker_;
};

}  // namespace dz::x11
