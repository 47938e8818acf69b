#include "linux/accessibility/AtspiFrontApplication.h"

#include "linux/accessibility/ActiveApplication.h"
#include "linux/accessibility/AtspiBus.h"

namespace dz::x11 {

AtspiFrontApplication::AtspiFrontApplication(std::set<int32_t> ignored)
    : ignored_(std::move(ignored)), bus_(std::make_unique<AtspiBus>()) {}

AtspiFrontApplication::~AtspiFrontApplication() = default;

std::optional<int32_t> AtspiFrontApplication::find(std::chrono::steady_clock::time_point deadline) {
    bus_->setDeadline(deadline);
    if (!bus_->open())
        return std::nullopt;
    auto applications = bus_->applications();
    if (!applications) {
        // A broken connection shows as a failed registry call: start afresh next time.
        bus_->close();
        return std::nullopt;
    }
    ActiveApplicationLimits limits;
    limits.outOfTime = [this] { return bus_->outOfTime(); };
    return findActiveApplication(
        *bus_, *applications, [this](const AccessibleRef& app) { return bus_->processOf(app); }, ignored_,
        limits);
}

}  // namespace dz::x11
