#include "linux/accessibility/AtspiPageAddress.h"

#include <systemd/sd-bus.h>

#include <chrono>

#include "linux/accessibility/PageAddressWalk.h"

namespace dz::x11 {

namespace {

constexpr uint64_t callTimeoutUsec = 500'000;
constexpr auto lookUpBudget = std::chrono::milliseconds(1000);

struct Reply {
    sd_bus_message* m = nullptr;
    ~Reply() { sd_bus_message_unref(m); }
};

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

// The accessibility bus connection, kept between look-ups and opened again
// after a failure.
struct AtspiPageAddress::Bus final : AccessibleTree {
    sd_bus* bus = nullptr;

    ~Bus() override { close(); }
    void close() {
        if (bus)
            sd_bus_flush_close_unref(bus);
        bus = nullptr;
    }
    bool open() {
        if (bus)
            return true;
        sd_bus* session = openSession();
        if (!session)
            return false;
        Error err;
        Reply reply;
        const char* address = nullptr;
        bool ok = sd_bus_call_method(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                     &err.e, &reply.m, "") >= 0 &&
                  sd_bus_message_read(reply.m, "s", &address) >= 0 && address;
        std::string addr = ok ? address : "";
        sd_bus_flush_close_unref(session);
        if (!ok)
            return false;
        if (sd_bus_new(&bus) < 0)
            return false;
        sd_bus_set_address(bus, addr.c_str());
        sd_bus_set_bus_client(bus, 1);
        sd_bus_set_method_call_timeout(bus, callTimeoutUsec);
        if (sd_bus_start(bus) < 0) {
            close();
            return false;
        }
        return true;
    }

    bool call(const AccessibleRef& n, const char* interface, const char* method, Reply& reply) {
        Error err;
        int r =
            sd_bus_call_method(bus, n.bus.c_str(), n.path.c_str(), interface, method, &err.e, &reply.m, "");
        return r >= 0;
    }

    static std::optional<std::vector<AccessibleRef>> readRefs(sd_bus_message* m) {
        std::vector<AccessibleRef> out;
        if (sd_bus_message_enter_container(m, 'a', "(so)") < 0)
            return std::nullopt;
        const char* name;
        const char* path;
        while (sd_bus_message_read(m, "(so)", &name, &path) > 0) out.push_back({name, path});
        sd_bus_message_exit_container(m);
        return out;
    }

    std::optional<std::vector<AccessibleRef>> children(const AccessibleRef& n) override {
        Reply reply;
        if (!call(n, "org.a11y.atspi.Accessible", "GetChildren", reply))
            return std::nullopt;
        return readRefs(reply.m);
    }
    std::optional<uint32_t> role(const AccessibleRef& n) override {
        Reply reply;
        uint32_t role = 0;
        if (!call(n, "org.a11y.atspi.Accessible", "GetRole", reply) ||
            sd_bus_message_read(reply.m, "u", &role) < 0)
            return std::nullopt;
        return role;
    }
    std::optional<uint64_t> states(const AccessibleRef& n) override {
        Reply reply;
        if (!call(n, "org.a11y.atspi.Accessible", "GetState", reply) ||
            sd_bus_message_enter_container(reply.m, 'a', "u") < 0)
            return std::nullopt;
        uint64_t states = 0;
        uint32_t word = 0;
        for (int i = 0; i < 2 && sd_bus_message_read(reply.m, "u", &word) > 0; ++i)
            states |= uint64_t(word) << (32 * i);
        return states;
    }
    std::optional<std::map<std::string, std::string>> documentAttributes(const AccessibleRef& n) override {
        Reply reply;
        if (!call(n, "org.a11y.atspi.Document", "GetAttributes", reply) ||
            sd_bus_message_enter_container(reply.m, 'a', "{ss}") < 0)
            return std::nullopt;
        std::map<std::string, std::string> out;
        const char* k;
        const char* v;
        while (sd_bus_message_read(reply.m, "{ss}", &k, &v) > 0) out[k] = v;
        return out;
    }

    std::optional<AccessibleRef> application(int32_t pid) {
        Reply reply;
        if (!call({"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"}, "org.a11y.atspi.Accessible",
                  "GetChildren", reply))
            return std::nullopt;
        auto apps = readRefs(reply.m);
        if (!apps)
            return std::nullopt;
        for (const auto& app : *apps) {
            Error err;
            Reply r;
            uint32_t appPID = 0;
            if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetConnectionUnixProcessID", &err.e, &r.m, "s",
                                   app.bus.c_str()) >= 0 &&
                sd_bus_message_read(r.m, "u", &appPID) >= 0 && int32_t(appPID) == pid)
                return app;
        }
        return std::nullopt;
    }
};

AtspiPageAddress::AtspiPageAddress(Scheduler& scheduler)
    : scheduler_(scheduler), bus_(std::make_unique<Bus>()), worker_([this] { run(); }) {}

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
