#include "linux/accessibility/AtspiBus.h"

#include <systemd/sd-bus.h>

#include <algorithm>

namespace dz::x11 {

namespace {

constexpr uint64_t maxCallUsec = 500'000;

struct Error {
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&e); }
};

std::optional<std::vector<AccessibleRef>> readRefs(sd_bus_message* m) {
    std::vector<AccessibleRef> out;
    if (sd_bus_message_enter_container(m, 'a', "(so)") < 0)
        return std::nullopt;
    const char* name;
    const char* path;
    while (sd_bus_message_read(m, "(so)", &name, &path) > 0) out.push_back({name, path});
    sd_bus_message_exit_container(m);
    return out;
}

}  // namespace

struct AtspiBus::Reply {
    sd_bus_message* m = nullptr;
    ~Reply() { sd_bus_message_unref(m); }
};

AtspiBus::~AtspiBus() {
    close();
}

void AtspiBus::close() {
    if (bus_)
        sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
}

uint64_t AtspiBus::callTimeoutUsec() const {
    if (!deadline_)
        return maxCallUsec;
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(*deadline_ - Clock::now()).count();
    return left <= 0 ? 0 : std::min<uint64_t>(uint64_t(left), maxCallUsec);
}

bool AtspiBus::open() {
    if (bus_)
        return true;
    const uint64_t timeout = callTimeoutUsec();
    if (timeout == 0)
        return false;
    sd_bus* session = nullptr;
    if (sd_bus_open_user(&session) < 0)
        return false;
    sd_bus_set_method_call_timeout(session, timeout);
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
    if (sd_bus_new(&bus_) < 0)
        return false;
    sd_bus_set_address(bus_, addr.c_str());
    sd_bus_set_bus_client(bus_, 1);
    if (sd_bus_start(bus_) < 0) {
        close();
        return false;
    }
    return true;
}

bool AtspiBus::call(const AccessibleRef& n, const char* interface, const char* method, Reply& reply) {
    const uint64_t timeout = callTimeoutUsec();
    if (!bus_ || timeout == 0)
        return false;
    sd_bus_set_method_call_timeout(bus_, timeout);
    Error err;
    return sd_bus_call_method(bus_, n.bus.c_str(), n.path.c_str(), interface, method, &err.e, &reply.m, "") >=
           0;
}

std::optional<std::vector<AccessibleRef>> AtspiBus::children(const AccessibleRef& n) {
    Reply reply;
    if (!call(n, "org.a11y.atspi.Accessible", "GetChildren", reply))
        return std::nullopt;
    return readRefs(reply.m);
}

std::optional<uint32_t> AtspiBus::role(const AccessibleRef& n) {
    Reply reply;
    uint32_t role = 0;
    if (!call(n, "org.a11y.atspi.Accessible", "GetRole", reply) ||
        sd_bus_message_read(reply.m, "u", &role) < 0)
        return std::nullopt;
    return role;
}

std::optional<uint64_t> AtspiBus::states(const AccessibleRef& n) {
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

std::optional<std::map<std::string, std::string>> AtspiBus::documentAttributes(const AccessibleRef& n) {
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

std::optional<std::vector<AccessibleRef>> AtspiBus::applications() {
    return children({"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"});
}

std::optional<int32_t> AtspiBus::processOf(const AccessibleRef& application) {
    const uint64_t timeout = callTimeoutUsec();
    if (!bus_ || timeout == 0)
        return std::nullopt;
    sd_bus_set_method_call_timeout(bus_, timeout);
    Error err;
    Reply reply;
    uint32_t pid = 0;
    if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetConnectionUnixProcessID", &err.e, &reply.m, "s",
                           application.bus.c_str()) < 0 ||
        sd_bus_message_read(reply.m, "u", &pid) < 0 || pid == 0)
        return std::nullopt;
    return int32_t(pid);
}

std::optional<AccessibleRef> AtspiBus::application(int32_t pid) {
    auto apps = applications();
    if (!apps)
        return std::nullopt;
    for (const auto& app : *apps) {
        if (outOfTime())
            return std::nullopt;
        if (processOf(app) == pid)
            return app;
    }
    return std::nullopt;
}

}  // namespace dz::x11
