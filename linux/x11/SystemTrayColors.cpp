#include "linux/x11/SystemTrayColors.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace dz::x11 {
namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;

xcb_atom_t intern(xcb_connection_t* c, const std::string& name) {
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

std::optional<TrayColor> systemTrayForeground() {
    int screen = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> c(xcb_connect(nullptr, &screen),
                                                                     xcb_disconnect);
    if (!c || xcb_connection_has_error(c.get()))
        return std::nullopt;
    const xcb_atom_t selection = intern(c.get(), "_NET_SYSTEM_TRAY_S" + std::to_string(screen));
    const xcb_atom_t colors = intern(c.get(), "_NET_SYSTEM_TRAY_COLORS");
    if (selection == XCB_ATOM_NONE || colors == XCB_ATOM_NONE)
        return std::nullopt;
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c.get(), xcb_get_selection_owner(c.get(), selection), nullptr));
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return std::nullopt;
    Reply<xcb_get_property_reply_t> property(xcb_get_property_reply(
        c.get(), xcb_get_property(c.get(), 0, owner->owner, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr));
    // Foreground, error, warning and success colours, three 32-bit values each;
    // another client wrote it, so take nothing shorter or of another format.
    if (!property || property->format != 32 || property->type != XCB_ATOM_CARDINAL ||
        xcb_get_property_value_length(property.get()) < int(3 * sizeof(uint32_t)))
        return std::nullopt;
    uint32_t rgb[3];
    std::memcpy(rgb, xcb_get_property_value(property.get()), sizeof rgb);
    TrayColor color;
    for (size_t i = 0; i < 3; ++i) color[i] = uint16_t(rgb[i] > 0xFFFF ? 0xFFFF : rgb[i]);
    return color;
}

}  // namespace dz::x11
