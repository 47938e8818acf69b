#include "linux/x11/XcbConnection.h"

#include <xcb/res.h>

#include <algorithm>
#include <cstring>

namespace dz::x11 {

std::unique_ptr<XcbConnection> XcbConnection::open(const char* display, std::string* error) {
    int screenNumber = 0;
    xcb_connection_t* conn = xcb_connect(display, &screenNumber);
    if (!conn || xcb_connection_has_error(conn)) {
        if (error) {
            const char* name = display ? display : std::getenv("DISPLAY");
            *error = name && *name ? "cannot open the X display " + std::string(name) + " (error " +
                                         std::to_string(conn ? xcb_connection_has_error(conn) : -1) + ")"
                                   : "no X display (DISPLAY is not set)";
        }
        if (conn)
            xcb_disconnect(conn);
        return nullptr;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(conn));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        if (error)
            *error = "the X display has no screen";
        xcb_disconnect(conn);
        return nullptr;
    }
    return std::unique_ptr<XcbConnection>(new XcbConnection(conn, it.data));
}

XcbConnection::~XcbConnection() {
    xcb_disconnect(conn_);
}

size_t XcbConnection::maximumRequestBytes() const {
    return size_t(xcb_get_maximum_request_length(conn_)) * 4;
}

xcb_atom_t XcbConnection::atom(std::string_view name) {
    return atoms({std::string(name)}).front();
}

std::vector<xcb_atom_t> XcbConnection::atoms(const std::vector<std::string>& names) {
    std::vector<xcb_atom_t> out(names.size(), XCB_ATOM_NONE);
    std::vector<std::pair<size_t, xcb_intern_atom_cookie_t>> pending;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i].size() > maxAtomNameBytes)
                continue;
            if (auto it = atoms_.find(names[i]); it != atoms_.end())
                out[i] = it->second;
            else
                pending.push_back({i, xcb_intern_atom(conn_, 0, uint16_t(names[i].size()), names[i].data())});
        }
    }
    for (auto& [i, cookie] : pending) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(conn_, cookie, nullptr));
        if (!reply)
            continue;
        out[i] = reply->atom;
        std::lock_guard lock(mutex_);
        remember(names[i], reply->atom);
    }
    return out;
}

size_t XcbConnection::cachedAtoms() {
    std::lock_guard lock(mutex_);
    return names_.size();
}

void XcbConnection::remember(const std::string& name, xcb_atom_t atom) {
    if (names_.count(atom))
        return;
    if (cached_.size() >= atomCacheSize) {
        auto oldest = names_.find(cached_.front());
        atoms_.erase(oldest->second);
        names_.erase(oldest);
        cached_.pop_front();
    }
    names_[atom] = name;
    atoms_[name] = atom;
    cached_.push_back(atom);
}

std::string XcbConnection::atomName(xcb_atom_t atom) {
    return atomNames({atom}).front();
}

std::vector<std::string> XcbConnection::atomNames(const std::vector<xcb_atom_t>& list) {
    std::vector<std::string> out(list.size());
    std::vector<size_t> missing;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i] == XCB_ATOM_NONE)
                continue;
            if (auto it = names_.find(list[i]); it != names_.end())
                out[i] = it->second;
            else
                missing.push_back(i);
        }
    }
    // Asked for a few at a time, so that the replies to a list of long names
    // never pile up in memory together.
    constexpr size_t batch = 64;
    for (size_t from = 0; from < missing.size(); from += batch) {
        const size_t to = std::min(missing.size(), from + batch);
        std::vector<xcb_get_atom_name_cookie_t> cookies;
        for (size_t k = from; k < to; ++k) cookies.push_back(xcb_get_atom_name(conn_, list[missing[k]]));
        for (size_t k = from; k < to; ++k) {
            XcbReply<xcb_get_atom_name_reply_t> reply(
                xcb_get_atom_name_reply(conn_, cookies[k - from], nullptr));
            if (!reply || size_t(xcb_get_atom_name_name_length(reply.get())) > maxAtomNameBytes)
                continue;
            std::string& name = out[missing[k]];
            name.assign(xcb_get_atom_name_name(reply.get()),
                        size_t(xcb_get_atom_name_name_length(reply.get())));
            std::lock_guard lock(mutex_);
            remember(name, list[missing[k]]);
        }
    }
    return out;
}

bool XcbConnection::hasExtension(const char* name) {
    auto cookie = xcb_query_extension(conn_, uint16_t(std::char_traits<char>::length(name)), name);
    XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(conn_, cookie, nullptr));
    return reply && reply->present;
}

std::optional<std::string> XcbConnection::property(xcb_window_t window, xcb_atom_t prop, xcb_atom_t type) {
    auto cookie = xcb_get_property(conn_, 0, window, prop,
                                   type ? type : xcb_atom_t(XCB_GET_PROPERTY_TYPE_ANY), 0, 1 << 20);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(conn_, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || (type && reply->type != type))
        return std::nullopt;
    auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, size_t(xcb_get_property_value_length(reply.get())));
}

std::optional<uint32_t> XcbConnection::cardinalProperty(xcb_window_t window, xcb_atom_t prop) {
    auto bytes = property(window, prop, XCB_ATOM_CARDINAL);
    if (!bytes || bytes->size() < 4)
        return std::nullopt;
    uint32_t v;
    std::memcpy(&v, bytes->data(), 4);
    return v;
}

std::optional<xcb_window_t> XcbConnection::windowProperty(xcb_window_t window, xcb_atom_t prop) {
    auto list = windowListProperty(window, prop);
    if (list.empty() || list.front() == XCB_WINDOW_NONE)
        return std::nullopt;
    return list.front();
}

std::vector<xcb_window_t> XcbConnection::windowListProperty(xcb_window_t window, xcb_atom_t prop) {
    std::vector<xcb_window_t> out;
    auto bytes = property(window, prop, XCB_ATOM_WINDOW);
    // An empty property has no data pointer at all; memcpy may not see it.
    if (!bytes || bytes->size() < 4)
        return out;
    out.resize(bytes->size() / 4);
    std::memcpy(out.data(), bytes->data(), out.size() * 4);
    return out;
}

std::optional<int32_t> XcbConnection::clientPID(xcb_window_t window) {
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto cookie = xcb_res_query_client_ids(conn_, 1, &wanted);
    XcbReply<xcb_res_query_client_ids_reply_t> reply(xcb_res_query_client_ids_reply(conn_, cookie, nullptr));
    if (!reply)
        return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
         xcb_res_client_id_value_next(&it)) {
        if (!(it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID))
            continue;
        if (xcb_res_client_id_value_value_length(it.data) < 1)
            continue;
        return int32_t(*xcb_res_client_id_value_value(it.data));
    }
    return std::nullopt;
}

}  // namespace dz::x11
