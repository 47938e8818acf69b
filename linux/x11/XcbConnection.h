#pragma once
// One connection to the X server with its atom cache. Each service that
// needs its own event stream (the clipboard, the keyboard) opens its own.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dz::x11 {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;
using XcbEvent = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

class XcbConnection {
  public:
    // Nothing (with the reason) when no X display can be opened.
    static std::unique_ptr<XcbConnection> open(const char* display = nullptr, std::string* error = nullptr);
    ~XcbConnection();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    xcb_connection_t* get() const { return conn_; }
    xcb_window_t root() const { return screen_->root; }
    xcb_screen_t* screen() const { return screen_; }
    bool failed() const { return xcb_connection_has_error(conn_) != 0; }
    // The largest request the server takes, in bytes.
    size_t maximumRequestBytes() const;

    // Atoms and their names are cached, at most `atomCacheSize` of them, the
    // oldest evicted first. Names longer than `maxAtomNameBytes` are refused
    // (no atom, an empty name) and never cached: no real target comes near,
    // and any client can make up atoms. Thread-safe.
    static constexpr size_t atomCacheSize = 4096;
    static constexpr size_t maxAtomNameBytes = 256;
    size_t cachedAtoms();

    // Interned on first use.
    xcb_atom_t atom(std::string_view name);
    // Several at once: one round trip for all the missing ones.
    std::vector<xcb_atom_t> atoms(const std::vector<std::string>& names);
    std::string atomName(xcb_atom_t atom);
    std::vector<std::string> atomNames(const std::vector<xcb_atom_t>& atoms);

    // Whether the server offers an extension.
    bool hasExtension(const char* name);

    // A window's property as bytes (8-bit) or nothing; `type` 0 for any type.
    std::optional<std::string> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type = 0);
    std::optional<uint32_t> cardinalProperty(xcb_window_t window, xcb_atom_t property);
    std::optional<xcb_window_t> windowProperty(xcb_window_t window, xcb_atom_t property);
    std::vector<xcb_window_t> windowListProperty(xcb_window_t window, xcb_atom_t property);

    // The process behind a window's client, through X-Resource; nothing for
    // remote clients or without the extension.
    std::optional<int32_t> clientPID(xcb_window_t window);

  private:
    XcbConnection(xcb_connection_t* conn, xcb_screen_t* screen) : conn_(conn), screen_(screen) {}

    void remember(const std::string& name, xcb_atom_t atom);  // with `mutex_` held

    xcb_connection_t* conn_;
    xcb_screen_t* screen_;
    std::mutex mutex_;
    std::unordered_map<std::string, xcb_atom_t> atoms_;
    std::unordered_map<xcb_atom_t, std::string> names_;
    std::deque<xcb_atom_t> cached_;  // oldest first
};

}  // namespace dz::x11
