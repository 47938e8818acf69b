#pragma once
// A connection to the session's accessibility bus (sd-bus), kept between
// look-ups and opened again after a failure, with the calls the look-ups
// need. Every call waits at most half a second, and never past the deadline
// set for the look-up in progress. One thread at a time.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "linux/accessibility/PageAddressWalk.h"

struct sd_bus;
struct sd_bus_message;

namespace dz::x11 {

class AtspiBus final : public AccessibleTree {
  public:
    using Clock = std::chrono::steady_clock;

    AtspiBus() = default;
    AtspiBus(const AtspiBus&) = delete;
    AtspiBus& operator=(const AtspiBus&) = delete;
    ~AtspiBus() override;

    bool open();
    void close();
    // Calls made from now on end by `deadline`; nothing: half a second each.
    void setDeadline(std::optional<Clock::time_point> deadline) { deadline_ = deadline; }
    bool outOfTime() const { return deadline_ && Clock::now() >= *deadline_; }

    std::optional<std::vector<AccessibleRef>> children(const AccessibleRef& node) override;
    std::optional<uint32_t> role(const AccessibleRef& node) override;
    std::optional<uint64_t> states(const AccessibleRef& node) override;
    std::optional<std::map<std::string, std::string>> documentAttributes(const AccessibleRef& node) override;

    // The applications registered on the bus, as the registry lists them.
    std::optional<std::vector<AccessibleRef>> applications();
    // The process behind an application's bus connection, as the bus knows it.
    std::optional<int32_t> processOf(const AccessibleRef& application);
    // The application of process `pid`, if one is registered.
    std::optional<AccessibleRef> application(int32_t pid);

  private:
    struct Reply;
    bool call(const AccessibleRef& node, const char* interface, const char* method, Reply& reply);
    // The time a call may take now; 0 once past the deadline.
    uint64_t callTimeoutUsec() const;

    sd_bus* bus_ = nullptr;
    std::optional<Clock::time_point> deadline_;
};

}  // namespace dz::x11
