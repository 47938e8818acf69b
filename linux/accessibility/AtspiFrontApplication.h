#pragma once
// The process of the application in front, asked of the accessibility bus:
// for a paste that reaches us through Xwayland from the compositor's own
// window, the only way left to tell which native application pastes.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>

namespace dz::x11 {

class AtspiBus;

class AtspiFrontApplication {
  public:
    // Applications of `ignored` processes never count as in front.
    explicit AtspiFrontApplication(std::set<int32_t> ignored);
    ~AtspiFrontApplication();

    // Blocks the caller, never past `deadline`; nothing when the bus is off,
    // slow or unclear. One thread at a time.
    std::optional<int32_t> find(std::chrono::steady_clock::time_point deadline);

  private:
    std::set<int32_t> ignored_;
    std::unique_ptr<AtspiBus> bus_;
};

}  // namespace dz::x11
