#include "linux/accessibility/AtspiPageAddress.h"

#include <systemd/sd-bus.h>

#include <chrono>

#include "linux/accessibility/AtspiBus.h"
#include "linux/accessibility/PageAddressWalk.h"

namespace dz::x11 {

namespace {

constexpr uint64_t callTimeoutUsec = 500'000;
constexpr auto lookUpBudget = std::chrono::milliseconds(1000);

struct Error {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&e); }
};

sd_bus* openSession() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return nullptr;
    sd_bus_set_method_call_timeout(bus, callTimeoutUsec);
    return bus;
}

}  // namespace

AtspiPageAddress::AtspiPageAddress(Scheduler& scheduler)
    : scheduler_(scheduler), bus_(std::make_unique<AtspiBus>()), worker_([this] { run(); }) {}

AtspiPageAddress::~AtspiPageAddress() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    cv_.notify_all();
    worker_.join();
}

void AtspiPageAddress::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

void AtspiPageAddress::enqueue(std::function<void()> job) const {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    cv_.notify_one();
}

void AtspiPageAddress::lookUp(const std::string&, int32_t pid, Completion done) {
    enqueue([this, pid, done = std::move(done)]() mutable {
        auto address = find(pid);
        scheduler_.post([done = std::move(done), address] { done(address); });
    });
}

bool AtspiPageAddress::available() const {
    // Reading the switch blocks on the session bus: the worker does it, and
    // the answer serves until the next reading.
    auto now = std::chrono::steady_clock::now();
    if (now - lastCheck_ >= std::chrono::seconds(5) && !checking_.exchange(true)) {
        lastCheck_ = now;
        enqueue([this] {
            auto enabled = accessibilityEnabled();
            access_ = !enabled ? Access::unknown : *enabled ? Access::on : Access::off;
            checking_ = false;
        });
    }
    return access_ != Access::off;
}

std::optional<std::string> AtspiPageAddress::find(int32_t pid) {
    auto deadline = std::chrono::steady_clock::now() + lookUpBudget;
    bus_->setDeadline(deadline);
    if (!bus_->open())
        return std::nullopt;
    auto app = bus_->application(pid);
    if (!app) {
        // A broken connection shows as a failed registry call: start afresh next time.
        bus_->close();
        return std::nullopt;
    }
    WalkLimits limits;
    limits.outOfTime = [deadline] { return std::chrono::steady_clock::now() >= deadline; };
    return findPageAddress(*bus_, *app, limits);
}

std::optional<bool> AtspiPageAddress::accessibilityEnabled() {
    sd_bus* session = openSession();
    if (!session)
        return std::nullopt;
    Error err;
    int value = 0;
    int r = sd_bus_get_property_trivial(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                                        "IsEnabled", &err.e, 'b', &value);
    sd_bus_flush_close_unref(session);
    if (r < 0)
        return std::nullopt;
    return value != 0;
}

bool AtspiPageAddress::setAccessibilityEnabled(bool on) {
    sd_bus* session = openSession();
    if (!session)
        return false;
    Error err;
    int r = sd_bus_set_property(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status", "IsEnabled",
                                &err.e, "b", int(on));
    sd_bus_flush_close_unref(session);
    return r >= 0;
}

}  // namespace dz::x11
