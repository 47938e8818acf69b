#pragma once
// The X clipboard (CLIPBOARD selection) on its own connection and thread:
// reports every owner change with the copy already read, owns and serves our
// own content, and asks, per requesting application, which content to serve.
// Nothing here blocks the caller; every callback runs on the clipboard's
// thread and must hand its work on (post it) rather than do it there.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "linux/clipboard/MimeTypes.h"
#include "linux/x11/EventLoop.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

struct ClipboardLimits {
    using Duration = std::chrono::steady_clock::duration;
    Duration targetsTimeout = std::chrono::seconds(1);
    Duration dataIdleTimeout = std::chrono::seconds(2);  // per conversion and per INCR chunk
    size_t maxItemBytes = 31'457'280;
    Duration answerTimeout = std::chrono::milliseconds(700);
    Duration answerKept = std::chrono::seconds(2);
    // The hand-over to a clipboard manager at quit waits `handOverTimeout`
    // plus `handOverPerTenMB` per 10 MB handed over, at most `handOverMaximum`.
    Duration handOverTimeout = std::chrono::seconds(1);
    Duration handOverPerTenMB = std::chrono::seconds(1);
    Duration handOverMaximum = std::chrono::seconds(5);
    Duration servingIdleTimeout = std::chrono::seconds(5);  // an INCR requester that stops reading
    // Pairs served per MULTIPLE request; the rest are refused. Each costs the
    // server a search of the requester's properties.
    size_t maxMultiplePairs = 256;
    // Targets looked at per copy. Real owners offer a few dozen; a list of
    // millions would cost the clipboard thread a name look-up each.
    size_t maxOfferedTargets = 512;
    size_t chunkBytes = 0;  // 0: chosen from the server's request size
};

class X11Clipboard {
  public:
    using Duration = std::chrono::steady_clock::duration;

    using Limits = ClipboardLimits;

    // One or more owner changes, with what the new owner offers.
    struct Change {
        uint64_t serial = 0;     // numbers the reports, for `own`'s basis
        uint64_t changes = 1;    // owner events this report covers
        xcb_window_t owner = 0;  // 0 when the owner went away
        std::optional<int32_t> ownerPID;
        bool readable = false;  // the owner answered TARGETS
        ReadResult content;
    };

    struct Request {
        uint64_t id = 0;  // one per paste, for `pasteFinished`
        xcb_window_t requestor = 0;
        int32_t pid = 0;
        std::string target;
    };
    // Nothing: serve the clipboard's content. Callable once, from any thread.
    using Answer = std::function<void(std::optional<std::vector<ClipboardSnapshot::Entry>>)>;

    struct Callbacks {
        // Not called when the owner of a copy read in full goes away: the
        // copy stays, and we own and serve it from then on.
        std::function<void(Change)> changed;
        // Without it every requester gets the clipboard's content.
        std::function<void(const Request&, Answer)> pasteRequest;
        // A paste's data has reached its requester (`delivered`), or never
        // will (it read only TARGETS, its kept answer ran out or the content
        // changed first).
        std::function<void(uint64_t id, bool delivered)> pasteFinished;
        std::function<void()> connectionLost;
    };

    struct Stats {
        uint64_t ownerEvents = 0;  // XFixes notices, our own included
        uint64_t requestsServed = 0;
        uint64_t requestsRefused = 0;
        uint64_t wakeups = 0;  // times the thread woke up, for the idle check
    };

    static std::unique_ptr<X11Clipboard> create(Callbacks callbacks, std::string* error = nullptr,
                                                const char* display = nullptr, Limits limits = {});
    ~X11Clipboard();

    // Takes the clipboard with this content, unless nothing of it can be
    // served (an empty clipboard is never owned), or unless the content was
    // made from the report `basis` and a newer copy has appeared since: that
    // copy is the current one, and it is read and reported instead.
    // Thread-safe, returns at once.
    void own(std::vector<ClipboardSnapshot::Entry> items, std::vector<ReadOrigin> origins = {},
             std::optional<uint64_t> basis = std::nullopt);
    // Forgets the answers kept for process `pid`'s requesters: their next
    // request is asked about again. Thread-safe, returns at once.
    void forgetAnswers(int32_t pid);
    // Runs `task` on the clipboard thread after what was asked of it before
    // (an `own` included) is done.
    void afterQueued(std::function<void()> task);
    // Abandons a copy being read, waits (at most the hand-over limit, which
    // grows with the content's size) for a clipboard manager to take our
    // content when one runs, its text first, then stops. Call once before
    // destruction.
    void shutdown(bool handOver = true);

    bool ownsClipboard() const { return owns_; }
    xcb_window_t window() const { return window_; }
    Stats stats() const;
    XcbConnection& connection() { return *conn_; }

  private:
    struct Owned;
    struct Transfer;
    struct Asking;
    using Content = std::shared_ptr<const std::vector<MimeItem>>;
    struct RequestKey {
        xcb_window_t window;
        int32_t pid;
        auto operator<=>(const RequestKey&) const = default;
    };
    struct TransferKey {
        xcb_window_t requestor;
        xcb_atom_t property;
        auto operator<=>(const TransferKey&) const = default;
    };
    struct Kept {
        Content content;
        std::chrono::steady_clock::time_point until;
        uint64_t id = 0;
    };
    struct ReadReply {
        xcb_atom_t type = 0;
        std::string data;
    };

    X11Clipboard(std::unique_ptr<XcbConnection> conn, Callbacks callbacks, Limits limits);
    bool setUp(std::string* error);

    void onEvent(xcb_generic_event_t* ev);
    std::optional<std::chrono::steady_clock::time_point> nextDeadline();
    void onDeadline(std::chrono::steady_clock::time_point now);
    void captureIfChanged();

    std::optional<ReadReply> convert(xcb_atom_t target, xcb_timestamp_t time, Duration timeout);
    std::optional<std::string> readTarget(const std::string& target, xcb_timestamp_t time);
    bool readCancelled() const;

    bool takeOwnership(std::vector<ClipboardSnapshot::Entry> items, std::vector<ReadOrigin> origins,
                       std::optional<uint64_t> basis);
    std::optional<xcb_timestamp_t> serverTime();
    void onSelectionRequest(const xcb_selection_request_event_t& e);
    void serve(const xcb_selection_request_event_t& e, const Content& content, uint64_t pasteID = 0);
    enum class Served { refused, done, incremental };
    Served serveInto(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target, const std::string& name,
                     const Content& content, uint64_t pasteID);
    void finished(uint64_t pasteID, bool delivered = false);
    bool isDataTarget(xcb_atom_t target) const;
    void notify(const xcb_selection_request_event_t& e, xcb_atom_t property);
    void answer(RequestKey key, uint64_t generation,
                std::optional<std::vector<ClipboardSnapshot::Entry>> items);
    void onPropertyNotify(const xcb_property_notify_event_t& e);
    void forgetAnswers();
    void handOver();

    std::unique_ptr<XcbConnection> conn_;
    EventLoop loop_;
    Callbacks callbacks_;
    Limits limits_;
    xcb_window_t window_ = 0;
    uint8_t xfixesEvent_ = 0;
    size_t chunkBytes_ = 0;
    size_t incrThreshold_ = 0;
    int32_t ownPID_ = 0;
    std::atomic<bool> owns_{false};
    std::atomic<bool> alive_{true};

    // Atoms used on every request.
    xcb_atom_t clipboard_, targets_, timestamp_, saveTargets_, multiple_, incr_, atomPair_, utf8String_,
        clipboardManager_, property_, timeProperty_, null_;
    std::array<xcb_atom_t, 4> readProperties_{};  // taken in turn by reads
    uint32_t nextRead_ = 0;

    // Loop-thread state.
    std::unique_ptr<Owned> owned_;
    uint64_t generation_ = 0;
    uint64_t pendingChanges_ = 0;
    uint64_t pendingNewOwners_ = 0;  // of `pendingChanges_`, those not owners going away
    xcb_window_t pendingOwner_ = 0;
    xcb_timestamp_t pendingTime_ = 0;
    xcb_timestamp_t selectionTime_ = 0;  // the clipboard's last change as the server announced it
    uint64_t reported_ = 0;
    bool captureCancelled_ = false;
    // The last copy reported, while its owner still holds the clipboard: when
    // that owner goes away we keep serving it.
    std::optional<ReadResult> lastRead_;
    bool shuttingDown_ = false;
    std::map<RequestKey, Kept> kept_;
    std::map<RequestKey, std::unique_ptr<Asking>> asking_;
    std::map<TransferKey, std::unique_ptr<Transfer>> transfers_;
    uint64_t nextPasteID_ = 1;
    std::set<uint64_t> openPastes_;

    mutable std::mutex statsMutex_;
    Stats stats_;
};

}  // namespace dz::x11
