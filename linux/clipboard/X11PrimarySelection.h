#pragma once
// The PRIMARY selection, for one paste into a terminal that has no key for
// the clipboard (xterm pastes PRIMARY with Shift+Insert): keeps what PRIMARY
// holds, offers our text in its place, and gives the old text back once the
// paste has been served. Its own connection and thread; nothing here blocks
// the caller.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"
#include "linux/clipboard/MimeTypes.h"
#include "linux/x11/EventLoop.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

struct PrimarySelectionLimits {
    using Clock = std::chrono::steady_clock;
    Clock::duration targetsTimeout = std::chrono::seconds(1);
    Clock::duration dataIdleTimeout = std::chrono::seconds(2);  // per conversion and per INCR chunk
    size_t maxItemBytes = 31'457'280;
    // The old text comes back this long after the first delivered paste
    // (the rest of that paste), or after `pasteWait` without one.
    Clock::duration pasteGrace = std::chrono::milliseconds(300);
    Clock::duration pasteWait = std::chrono::seconds(5);
};

class X11PrimarySelection {
  public:
    using Clock = std::chrono::steady_clock;

    using Limits = PrimarySelectionLimits;

    static std::unique_ptr<X11PrimarySelection> create(std::string* error = nullptr,
                                                       const char* display = nullptr, Limits limits = {});
    ~X11PrimarySelection();
    X11PrimarySelection(const X11PrimarySelection&) = delete;
    X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

    // Offers the text of `items` as PRIMARY for one paste. `ready` runs on the
    // selection's thread once, with whether we own PRIMARY now (only then is
    // the paste key worth typing). A selection the user makes meanwhile is
    // left alone; a second offer before the old text is back keeps that text.
    void offerOnce(std::vector<ClipboardSnapshot::Entry> items, std::function<void(bool)> ready);

    // What a test or a tool sees: whether we own PRIMARY, and whether the old
    // text is still to come back.
    bool ownsSelection() const { return owns_; }
    bool restorePending() const { return restorePending_; }

  private:
    struct Held {
        std::vector<MimeItem> items;  // as served
        xcb_timestamp_t time = 0;
    };

    X11PrimarySelection(std::unique_ptr<XcbConnection> conn, Limits limits);
    bool setUp(std::string* error);
    void onEvent(xcb_generic_event_t* ev);
    void offer(std::vector<MimeItem> items, const std::function<void(bool)>& ready);
    // The text PRIMARY holds now; nothing when it has no owner, an empty list
    // when the owner gave nothing we can keep.
    std::optional<std::vector<MimeItem>> readCurrent();
    std::optional<std::string> convert(xcb_atom_t target, Clock::duration timeout, xcb_atom_t* type);
    bool own(std::vector<MimeItem> items);
    void restore();
    void serve(const xcb_selection_request_event_t& e);
    std::optional<Clock::time_point> nextDeadline() const { return restoreAt_; }

    std::unique_ptr<XcbConnection> conn_;
    EventLoop loop_;
    Limits limits_;
    xcb_window_t window_ = 0;
    size_t largestProperty_ = 0;
    xcb_atom_t primary_, targets_, timestamp_, multiple_, incr_, utf8String_, property_, timeProperty_;

    // Selection thread.
    std::optional<Held> held_;
    // What goes back after the paste: nothing, or the old text (empty: PRIMARY had no owner).
    std::optional<std::vector<MimeItem>> previous_;
    std::optional<Clock::time_point> restoreAt_;
    bool delivered_ = false;
    std::atomic<bool> owns_{false};
    std::atomic<bool> restorePending_{false};
};

}  // namespace dz::x11
