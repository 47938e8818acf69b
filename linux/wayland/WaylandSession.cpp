#include "linux/wayland/WaylandSession.h"

#include <sys/socket.h>
#include <wayland-client.h>

#include <cstring>

namespace dz::wayland {

namespace {

void addGlobal(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    static_cast<std::vector<std::string>*>(data)->emplace_back(interface);
}
void removeGlobal(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener listener{addGlobal, removeGlobal};

}  // namespace

std::optional<std::vector<std::string>> waylandGlobals(const char* display,
                                                       std::optional<int32_t>* compositor) {
    wl_display* connection = wl_display_connect(display);
    if (!connection)
        return std::nullopt;
    if (compositor) {
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(wl_display_get_fd(connection), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
            peer.pid > 0)
            *compositor = int32_t(peer.pid);
    }
    std::vector<std::string> names;
    wl_registry* registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &listener, &names);
    int result = wl_display_roundtrip(connection);
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    if (result < 0)
        return std::nullopt;
    return names;
}

SessionFacts probeSession(const std::function<const char*(const char*)>& getenv,
                          const std::function<bool()>& canConnectX11) {
    auto value = [&](const char* name) -> std::string {
        const char* v = getenv(name);
        return v ? v : "";
    };
    SessionFacts facts;
    facts.wayland = !value("WAYLAND_DISPLAY").empty() || value("XDG_SESSION_TYPE") == "wayland";
    facts.xdgCurrentDesktop = value("XDG_CURRENT_DESKTOP");
    if (const char* forced = getenv("DZ_BACKEND"))
        facts.forced = forced;
    if (facts.wayland) {
        if (auto globals = waylandGlobals(nullptr, &facts.compositorPID)) {
            facts.waylandReachable = true;
            facts.globals = std::move(*globals);
            for (const auto& name : facts.globals)
                if (name == "ext_data_control_manager_v1" || name == "zwlr_data_control_manager_v1")
                    facts.dataControl = true;
        }
    }
    facts.x11 = !value("DISPLAY").empty() && canConnectX11();
    return facts;
}

}  // namespace dz::wayland
