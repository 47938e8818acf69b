#include "linux/clipboard/X11Clipboard.h"

#include <unistd.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>

#include "core/text/Unicode.h"
#include "linux/clipboard/IncrementalTransfer.h"

namespace dz::x11 {

using Clock = std::chrono::steady_clock;

struct X11Clipboard::Owned {
    std::vector<ClipboardSnapshot::Entry> items;
    std::vector<ReadOrigin> origins;
    Content content;
    xcb_timestamp_t time = 0;
};

// An INCR transfer we serve: the requester deletes the property, we write the
// next chunk, until a zero-length chunk has been read.
struct X11Clipboard::Transfer {
    xcb_atom_t type = 0;
    Content content;  // keeps `data` alive
    std::string_view data;
    size_t offset = 0;
    bool finished = false;  // the zero-length chunk is written
    Clock::time_point deadline;
    uint64_t pasteID = 0;
};

// Requests held while the paste hook decides for one requester.
struct X11Clipboard::Asking {
    uint64_t id = 0;
    uint64_t generation = 0;
    Clock::time_point deadline;
    std::vector<xcb_selection_request_event_t> requests;
};

namespace {

bool isTextTarget(std::string_view target) {
    return target == mime::textUTF8 || target == mime::utf8String || target == mime::textPlain ||
           target == mime::string || target == mime::text;
}

uint8_t eventType(const xcb_generic_event_t* ev) {
    return ev->response_type & 0x7F;
}

}  // namespace

std::unique_ptr<X11Clipboard> X11Clipboard::create(Callbacks callbacks, std::string* error,
                                                   const char* display, Limits limits) {
    auto conn = XcbConnection::open(display, error);
    if (!conn)
        return nullptr;
    std::unique_ptr<X11Clipboard> clipboard(new X11Clipboard(std::move(conn), std::move(callbacks), limits));
    if (!clipboard->setUp(error))
        return nullptr;
    return clipboard;
}

X11Clipboard::X11Clipboard(std::unique_ptr<XcbConnection> conn, Callbacks callbacks, Limits limits)
    : conn_(std::move(conn)), loop_(*conn_), callbacks_(std::move(callbacks)), limits_(limits) {}

X11Clipboard::~X11Clipboard() {
    shutdown(false);
}

bool X11Clipboard::setUp(std::string* error) {
    auto* c = conn_->get();
    auto reply = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!reply || !reply->present) {
        if (error)
            *error = "the X server lacks the XFIXES extension";
        return false;
    }
    xfixesEvent_ = reply->first_event;
    XcbReply<xcb_xfixes_query_version_reply_t> version(
        xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
    if (!version) {
        if (error)
            *error = "the X server's XFIXES extension does not answer";
        return false;
    }
    auto atoms = conn_->atoms({"CLIPBOARD", "TARGETS", "TIMESTAMP", "SAVE_TARGETS", "MULTIPLE", "INCR",
                               "ATOM_PAIR", "UTF8_STRING", "CLIPBOARD_MANAGER", "DZ_SELECTION", "DZ_TIME",
                               "NULL", "DZ_READ_0", "DZ_READ_1", "DZ_READ_2", "DZ_READ_3"});
    clipboard_ = atoms[0], targets_ = atoms[1], timestamp_ = atoms[2], saveTargets_ = atoms[3],
    multiple_ = atoms[4], incr_ = atoms[5], atomPair_ = atoms[6], utf8String_ = atoms[7],
    clipboardManager_ = atoms[8], property_ = atoms[9], timeProperty_ = atoms[10], null_ = atoms[11];
    for (size_t i = 0; i < readProperties_.size(); ++i) readProperties_[i] = atoms[12 + i];

    window_ = xcb_generate_id(c);
    uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, conn_->root(), -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    static constexpr char title[] = "dozuzavuvu clipboard";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof title - 1, title);
    xcb_xfixes_select_selection_input(c, window_, clipboard_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
    if (conn_->failed()) {
        if (error)
            *error = "the X connection failed while setting up the clipboard";
        return false;
    }
    // Property writes must stay under the request limit, with room for the header.
    size_t maxRequest = conn_->maximumRequestBytes();
    incrThreshold_ = maxRequest > 4096 ? maxRequest - 1024 : 3072;
    chunkBytes_ = limits_.chunkBytes ? std::min(limits_.chunkBytes, incrThreshold_)
                                     : std::min<size_t>(incrThreshold_, 1 << 20);
    ownPID_ = int32_t(getpid());

    EventLoop::Handler handler;
    handler.event = [this](xcb_generic_event_t* ev) { onEvent(ev); };
    handler.nextDeadline = [this] { return nextDeadline(); };
    handler.deadline = [this](Clock::time_point now) { onDeadline(now); };
    handler.idle = [this] { captureIfChanged(); };
    handler.connectionLost = [this] {
        alive_ = false;
        owns_ = false;
        if (callbacks_.connectionLost)
            callbacks_.connectionLost();
    };
    loop_.start(std::move(handler));
    return true;
}

X11Clipboard::Stats X11Clipboard::stats() const {
    std::lock_guard lock(statsMutex_);
    Stats out = stats_;
    out.wakeups = loop_.wakeups();
    return out;
}

void X11Clipboard::own(std::vector<ClipboardSnapshot::Entry> items, std::vector<ReadOrigin> origins,
                       std::optional<uint64_t> basis) {
    loop_.post([this, items = std::move(items), origins = std::move(origins), basis]() mutable {
        takeOwnership(std::move(items), std::move(origins), basis);
    });
}

void X11Clipboard::afterQueued(std::function<void()> task) {
    loop_.post(std::move(task));
}

void X11Clipboard::shutdown(bool handOverContent) {
    loop_.stop([this, handOverContent] {
        if (handOverContent && alive_)
            handOver();
    });
}

// ---------------------------------------------------------------- events

void X11Clipboard::onEvent(xcb_generic_event_t* ev) {
    uint8_t type = eventType(ev);
    if (type == uint8_t(xfixesEvent_ + XCB_XFIXES_SELECTION_NOTIFY)) {
        auto* e = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(ev);
        if (e->selection != clipboard_)
            return;
        {
            std::lock_guard lock(statsMutex_);
            ++stats_.ownerEvents;
        }
        selectionTime_ = e->selection_timestamp;
        bool ours = e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && e->owner == window_;
        if (ours)
            return;  // counted where we wrote
        ++pendingChanges_;
        pendingOwner_ = e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER ? e->owner : 0;
        pendingTime_ = e->timestamp;
        if (pendingOwner_) {
            ++pendingNewOwners_;
            lastRead_.reset();
        }
        captureCancelled_ = true;
        return;
    }
    switch (type) {
        case XCB_SELECTION_REQUEST:
            onSelectionRequest(*reinterpret_cast<xcb_selection_request_event_t*>(ev));
            break;
        case XCB_SELECTION_CLEAR: {
            auto* e = reinterpret_cast<xcb_selection_clear_event_t*>(ev);
            if (e->selection == clipboard_ && owned_ && e->time >= owned_->time) {
                owned_.reset();
                owns_ = false;
                ++generation_;
                forgetAnswers();
            }
            break;
        }
        case XCB_PROPERTY_NOTIFY:
            onPropertyNotify(*reinterpret_cast<xcb_property_notify_event_t*>(ev));
            break;
        default:
            break;  // errors from requesters that went away, among others
    }
}

std::optional<Clock::time_point> X11Clipboard::nextDeadline() {
    std::optional<Clock::time_point> next;
    auto consider = [&](Clock::time_point t) {
        if (!next || t < *next)
            next = t;
    };
    if (pendingChanges_ > 0)
        consider(Clock::now());
    for (auto& [key, asking] : asking_) consider(asking->deadline);
    for (auto& [key, t] : transfers_) consider(t->deadline);
    for (auto& [key, kept] : kept_)
        if (openPastes_.count(kept.id))
            consider(kept.until);
    return next;
}

void X11Clipboard::onDeadline(Clock::time_point now) {
    std::vector<RequestKey> late;
    for (auto& [key, asking] : asking_)
        if (asking->deadline <= now)
            late.push_back(key);
    for (auto key : late) answer(key, generation_, std::nullopt);
    std::erase_if(transfers_, [&](const auto& entry) {
        if (entry.second->deadline > now)
            return false;
        finished(entry.second->pasteID);
        return true;
    });
    std::erase_if(kept_, [&](const auto& entry) {
        if (entry.second.until > now)
            return false;
        finished(entry.second.id);
        return true;
    });
}

// ---------------------------------------------------------------- reading

std::optional<X11Clipboard::ReadReply> X11Clipboard::convert(xcb_atom_t target, xcb_timestamp_t time,
                                                             Duration timeout) {
    auto* c = conn_->get();
    // Each read asks into a property of its own: the answer to a read given
    // up (a newer copy came) may still arrive, for the same target and time,
    // and must not pass for this one's.
    const xcb_atom_t property = readProperties_[nextRead_++ % readProperties_.size()];
    xcb_delete_property(c, window_, property);
    xcb_convert_selection(c, window_, clipboard_, target, property, time);
    auto notified = loop_.waitFor(
        [&](xcb_generic_event_t* ev) {
            if (eventType(ev) != XCB_SELECTION_NOTIFY)
                return false;
            auto* e = reinterpret_cast<xcb_selection_notify_event_t*>(ev);
            return e->requestor == window_ && e->selection == clipboard_ && e->target == target &&
                   (e->property == property || e->property == XCB_ATOM_NONE) &&
                   (e->time == time || e->time == XCB_CURRENT_TIME);
        },
        Clock::now() + timeout, [this] { return readCancelled(); });
    if (!notified)
        return std::nullopt;
    auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(notified.get());
    if (n->property == XCB_ATOM_NONE)
        return std::nullopt;

    // One byte over the limit is enough to know the item is too large.
    uint32_t words = uint32_t(std::min<size_t>(limits_.maxItemBytes / 4 + 1, UINT32_MAX / 4));
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window_, n->property, XCB_GET_PROPERTY_TYPE_ANY, 0, words), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE) {
        xcb_delete_property(c, window_, n->property);
        return std::nullopt;
    }
    if (reply->type != incr_) {
        xcb_delete_property(c, window_, n->property);
        size_t length = size_t(xcb_get_property_value_length(reply.get()));
        if (reply->bytes_after > 0 || length > limits_.maxItemBytes)
            return std::nullopt;
        ReadReply out{reply->type,
                      std::string(static_cast<const char*>(xcb_get_property_value(reply.get())), length)};
        if (reply->format != 8 && target != targets_)
            return std::nullopt;
        return out;
    }

    // INCR: each deletion of the property asks for the next chunk; a chunk of
    // length 0 ends the transfer. The idle limit restarts with every chunk.
    xcb_atom_t prop = n->property;
    xcb_delete_property(c, window_, prop);
    IncrementalTransfer transfer(limits_.maxItemBytes);
    for (;;) {
        auto changed = loop_.waitFor(
            [&](xcb_generic_event_t* ev) {
                if (eventType(ev) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
                return e->window == window_ && e->atom == prop && e->state == XCB_PROPERTY_NEW_VALUE;
            },
            Clock::now() + limits_.dataIdleTimeout, [this] { return readCancelled(); });
        if (!changed) {
            xcb_delete_property(c, window_, prop);
            return std::nullopt;
        }
        XcbReply<xcb_get_property_reply_t> chunk(xcb_get_property_reply(
            c,
            xcb_get_property(c, 1, window_, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, transfer.nextRequestUnits()),
            nullptr));
        if (!chunk)
            return std::nullopt;
        std::string_view bytes(static_cast<const char*>(xcb_get_property_value(chunk.get())),
                               size_t(xcb_get_property_value_length(chunk.get())));
        auto step = transfer.add(chunk->type, chunk->format, bytes, chunk->bytes_after);
        if (step == IncrementalTransfer::Step::done)
            break;
        if (step == IncrementalTransfer::Step::failed) {
            // Stop listening: the owner gives up on its own time-out.
            xcb_delete_property(c, window_, prop);
            return std::nullopt;
        }
    }
    ReadReply out;
    // An empty transfer names no type: it is accepted for any target.
    out.type = transfer.type() ? transfer.type() : incr_;
    out.data = transfer.take();
    return out;
}

// A newer change makes the copy being read stale; quitting makes it moot,
// and quit must not wait for an owner that hangs or trickles its data.
bool X11Clipboard::readCancelled() const {
    return captureCancelled_ || loop_.stopping();
}

std::optional<std::string> X11Clipboard::readTarget(const std::string& target, xcb_timestamp_t time) {
    xcb_atom_t atom = conn_->atom(target);
    if (!atom)
        return std::nullopt;
    auto reply = convert(atom, time, limits_.dataIdleTimeout);
    if (!reply)
        return std::nullopt;
    if (reply->type == atom || (reply->type == incr_ && reply->data.empty()))
        return std::move(reply->data);
    // Owners answer text requests with whichever text type they hold; any
    // other type is a lie (an HTML owner answering every target with HTML).
    if (isTextTarget(target)) {
        if (reply->type == utf8String_ && unicode::isValidUTF8(reply->data))
            return std::move(reply->data);
        if (reply->type == XCB_ATOM_STRING)
            return target == mime::string ? std::move(reply->data) : unicode::decodeLatin1(reply->data);
    }
    return std::nullopt;
}

void X11Clipboard::captureIfChanged() {
    while (pendingChanges_ > 0 && !loop_.stopping()) {
        if (owned_) {
            // Another owner's notice read after our own write: the server
            // clears our ownership before it announces a newer owner, so this
            // change predates the write, which replaced it. Reading now would
            // ask ourselves.
            pendingChanges_ = 0;
            pendingNewOwners_ = 0;
            return;
        }
        // The owner of the copy last reported went away: the copy stays on
        // the clipboard, served by us, and nothing changed for the main
        // thread, whose work on that copy still applies.
        if (pendingNewOwners_ == 0 && lastRead_) {
            ReadResult read = std::move(*lastRead_);
            lastRead_.reset();
            if (takeOwnership(std::move(read.items), std::move(read.origins), std::nullopt))
                continue;
        }
        Change change;
        change.changes = pendingChanges_;
        change.owner = pendingOwner_;
        xcb_timestamp_t time = pendingTime_;
        pendingChanges_ = 0;
        pendingNewOwners_ = 0;
        captureCancelled_ = false;
        bool cut = false;  // a read was cut short by a newer change
        if (change.owner != 0) {
            change.ownerPID = conn_->clientPID(change.owner);
            if (auto reply = convert(targets_, time, limits_.targetsTimeout)) {
                if ((reply->type == XCB_ATOM_ATOM || reply->type == targets_) &&
                    reply->data.size() % 4 == 0) {
                    std::vector<xcb_atom_t> atoms(
                        std::min(reply->data.size() / 4, limits_.maxOfferedTargets));
                    if (!atoms.empty())
                        std::memcpy(atoms.data(), reply->data.data(), atoms.size() * 4);
                    auto names = conn_->atomNames(atoms);
                    std::erase(names, std::string());
                    change.readable = true;
                    change.content =
                        readTargets(names, [&](const std::string& target) -> std::optional<std::string> {
                            if (readCancelled()) {
                                cut = true;
                                return std::nullopt;
                            }
                            auto bytes = readTarget(target, time);
                            cut = cut || (!bytes && captureCancelled_);
                            return bytes;
                        });
                }
            } else {
                cut = captureCancelled_;
            }
        }
        if (loop_.stopping())
            return;  // a copy cut short by quitting is not reported
        // Owners going away after the copy was read in full leave it whole:
        // it is reported, and their departure is settled above.
        if (captureCancelled_ && (cut || pendingNewOwners_ > 0 || change.owner == 0)) {
            // A newer change came while reading: report both with the newer content.
            pendingChanges_ += change.changes;
            if (change.owner != 0)
                ++pendingNewOwners_;
            continue;
        }
        if (change.owner != 0 && change.readable)
            lastRead_ = change.content;
        else
            lastRead_.reset();
        change.serial = ++reported_;
        if (callbacks_.changed)
            callbacks_.changed(std::move(change));
    }
}

// ---------------------------------------------------------------- owning

std::optional<xcb_timestamp_t> X11Clipboard::serverTime() {
    // A zero-length append to our own window: the PropertyNotify carries the
    // server's time, which ownership needs (CurrentTime invites races).
    auto* c = conn_->get();
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window_, timeProperty_, XCB_ATOM_INTEGER, 32, 0, nullptr);
    auto ev = loop_.waitFor(
        [&](xcb_generic_event_t* ev) {
            if (eventType(ev) != XCB_PROPERTY_NOTIFY)
                return false;
            auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
            return e->window == window_ && e->atom == timeProperty_;
        },
        Clock::now() + std::chrono::seconds(1));
    if (!ev)
        return std::nullopt;
    return reinterpret_cast<xcb_property_notify_event_t*>(ev.get())->time;
}

bool X11Clipboard::takeOwnership(std::vector<ClipboardSnapshot::Entry> items, std::vector<ReadOrigin> origins,
                                 std::optional<uint64_t> basis) {
    // Content made from an older copy never replaces a newer one: the newer
    // one is either on its way to the main thread or still to be read.
    auto superseded = [&] { return (basis && *basis != reported_) || pendingNewOwners_ > 0; };
    if (superseded())
        return false;
    auto content = toTargets(items, origins);
    if (content.empty())
        return false;  // a clipboard offering nothing but TARGETS is a lost copy
    // The round trip also brings in every owner notice sent before it.
    auto time = serverTime();
    if (!time || superseded())
        return false;
    // Taken as of the last change announced, so that the server refuses the
    // write if another owner has taken the clipboard since.
    xcb_timestamp_t at = selectionTime_ ? selectionTime_ : *time;
    auto owned = std::make_unique<Owned>();
    owned->content = std::make_shared<const std::vector<MimeItem>>(std::move(content));
    owned->items = std::move(items);
    owned->origins = std::move(origins);
    owned->time = at;
    auto* c = conn_->get();
    xcb_set_selection_owner(c, window_, clipboard_, at);
    XcbReply<xcb_get_selection_owner_reply_t> confirm(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard_), nullptr));
    ++generation_;
    forgetAnswers();
    if (!confirm || confirm->owner != window_) {
        // A newer owner: its notice follows, and its copy is read.
        owned_.reset();
        owns_ = false;
        return false;
    }
    // Only owners going away can be pending here; this write settles them.
    pendingChanges_ = 0;
    owned_ = std::move(owned);
    owns_ = true;
    lastRead_.reset();
    return true;
}

void X11Clipboard::finished(uint64_t pasteID, bool delivered) {
    if (pasteID && openPastes_.erase(pasteID) && callbacks_.pasteFinished)
        callbacks_.pasteFinished(pasteID, delivered);
}

void X11Clipboard::forgetAnswers(int32_t pid) {
    loop_.post([this, pid] {
        for (auto it = kept_.begin(); it != kept_.end();) {
            if (it->first.pid != pid) {
                ++it;
                continue;
            }
            finished(it->second.id);
            it = kept_.erase(it);
        }
    });
}

void X11Clipboard::forgetAnswers() {
    for (auto& [key, kept] : kept_) finished(kept.id);
    kept_.clear();
    // Requests still waiting for a decision get the (new) content now.
    auto asking = std::move(asking_);
    asking_.clear();
    for (auto& [key, a] : asking) {
        for (auto& r : a->requests) {
            if (owned_)
                serve(r, owned_->content);
            else
                notify(r, XCB_ATOM_NONE);
        }
        finished(a->id);
    }
}

void X11Clipboard::notify(const xcb_selection_request_event_t& e, xcb_atom_t property) {
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = e.time;
    n.requestor = e.requestor;
    n.selection = e.selection;
    n.target = e.target;
    n.property = property;
    xcb_send_event(conn_->get(), 0, e.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
    std::lock_guard lock(statsMutex_);
    ++(property == XCB_ATOM_NONE ? stats_.requestsRefused : stats_.requestsServed);
}

void X11Clipboard::onSelectionRequest(const xcb_selection_request_event_t& e) {
    if (e.selection != clipboard_ || !owned_ || (e.time != XCB_CURRENT_TIME && e.time < owned_->time)) {
        notify(e, XCB_ATOM_NONE);
        return;
    }
    if (!callbacks_.pasteRequest || shuttingDown_ || e.target == timestamp_) {
        serve(e, owned_->content);
        return;
    }
    auto pid = conn_->clientPID(e.requestor);
    if (!pid || *pid == ownPID_) {
        serve(e, owned_->content);
        return;
    }
    RequestKey key{e.requestor, *pid};
    auto now = Clock::now();
    if (auto it = kept_.find(key); it != kept_.end()) {
        if (it->second.until > now) {
            serve(e, it->second.content, it->second.id);
            return;
        }
        finished(it->second.id);
        kept_.erase(it);
    }
    if (auto it = asking_.find(key); it != asking_.end()) {
        it->second->requests.push_back(e);
        return;
    }
    auto asking = std::make_unique<Asking>();
    asking->id = nextPasteID_++;
    openPastes_.insert(asking->id);
    asking->generation = generation_;
    asking->deadline = now + limits_.answerTimeout;
    asking->requests.push_back(e);
    asking_[key] = std::move(asking);

    Request request{asking_[key]->id, e.requestor, *pid, conn_->atomName(e.target)};
    auto once = std::make_shared<std::atomic<bool>>(false);
    uint64_t generation = generation_;
    callbacks_.pasteRequest(
        request, [this, key, generation, once](std::optional<std::vector<ClipboardSnapshot::Entry>> items) {
            if (once->exchange(true) || !alive_)
                return;
            loop_.post([this, key, generation, items = std::move(items)]() mutable {
                answer(key, generation, std::move(items));
            });
        });
}

void X11Clipboard::answer(RequestKey key, uint64_t generation,
                          std::optional<std::vector<ClipboardSnapshot::Entry>> items) {
    auto it = asking_.find(key);
    if (it == asking_.end() || it->second->generation != generation || generation != generation_ || !owned_)
        return;  // answered late, or the content changed meanwhile (already served)
    auto asking = std::move(it->second);
    asking_.erase(it);
    Content content = owned_->content;
    if (items)
        content = std::make_shared<const std::vector<MimeItem>>(toTargets(*items, owned_->origins));
    kept_[key] = {content, Clock::now() + limits_.answerKept, asking->id};
    for (auto& r : asking->requests) serve(r, content, asking->id);
}

void X11Clipboard::serve(const xcb_selection_request_event_t& e, const Content& content, uint64_t pasteID) {
    xcb_atom_t property = e.property ? e.property : e.target;  // obsolete requesters name no property
    if (e.target == multiple_) {
        if (!e.property) {
            notify(e, XCB_ATOM_NONE);
            return;
        }
        auto pairs = conn_->property(e.requestor, e.property);
        if (!pairs || pairs->empty() || pairs->size() % 8 != 0) {
            notify(e, XCB_ATOM_NONE);
            return;
        }
        std::vector<xcb_atom_t> list(pairs->size() / 4);
        std::memcpy(list.data(), pairs->data(), pairs->size());
        // Real requesters ask for a few targets at once; pairs past the cap
        // are refused, so that no request holds the thread up.
        const size_t served = std::min(list.size() / 2, limits_.maxMultiplePairs);
        std::vector<xcb_atom_t> wanted(served);
        for (size_t i = 0; i < served; ++i) wanted[i] = list[2 * i];
        const auto names = conn_->atomNames(wanted);
        bool incremental = false, data = false;
        for (size_t i = 0; i < list.size() / 2; ++i) {
            xcb_atom_t target = list[2 * i], &into = list[2 * i + 1];
            auto result = i >= served || target == multiple_ || !into
                              ? Served::refused
                              : serveInto(e.requestor, into, target, names[i], content, pasteID);
            if (result == Served::refused)
                into = XCB_ATOM_NONE;
            incremental = incremental || result == Served::incremental;
            data = data || (result == Served::done && isDataTarget(target));
        }
        xcb_change_property(conn_->get(), XCB_PROP_MODE_REPLACE, e.requestor, e.property, atomPair_, 32,
                            uint32_t(list.size()), list.data());
        notify(e, e.property);
        if (!incremental)
            finished(pasteID, data);
        return;
    }
    auto served = serveInto(e.requestor, property, e.target, conn_->atomName(e.target), content, pasteID);
    notify(e, served == Served::refused ? xcb_atom_t(XCB_ATOM_NONE) : property);
    if (served == Served::done && isDataTarget(e.target))
        finished(pasteID, true);
}

bool X11Clipboard::isDataTarget(xcb_atom_t target) const {
    return target != targets_ && target != timestamp_ && target != saveTargets_;
}

X11Clipboard::Served X11Clipboard::serveInto(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target,
                                             const std::string& name, const Content& content,
                                             uint64_t pasteID) {
    auto* c = conn_->get();
    if (target == targets_) {
        std::vector<xcb_atom_t> list{targets_, timestamp_, saveTargets_, multiple_};
        std::vector<std::string> names;
        for (const auto& item : *content) names.push_back(item.target);
        for (auto a : conn_->atoms(names))
            if (a)
                list.push_back(a);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            uint32_t(list.size()), list.data());
        return Served::done;
    }
    if (target == timestamp_) {
        uint32_t time = owned_ ? owned_->time : 0;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &time);
        return Served::done;
    }
    if (target == saveTargets_) {
        // A side-effect target: answered with an empty NULL property.
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, null_, 32, 0, nullptr);
        return Served::done;
    }
    auto found =
        std::find_if(content->begin(), content->end(), [&](const MimeItem& m) { return m.target == name; });
    if (name.empty() || found == content->end())
        return Served::refused;
    xcb_atom_t type = target;
    if (name == mime::text)
        type = utf8String_;
    std::string_view data = found->data();
    if (data.size() > incrThreshold_) {
        auto t = std::make_unique<Transfer>();
        t->type = type;
        t->content = content;  // the transfer can outlive a change of content
        t->data = data;
        t->deadline = Clock::now() + limits_.servingIdleTimeout;
        t->pasteID = pasteID;
        if (auto other = transfers_.lower_bound({requestor, 0});
            other == transfers_.end() || other->first.requestor != requestor) {
            uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
        }
        uint32_t size = uint32_t(std::min<size_t>(data.size(), UINT32_MAX));
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1, &size);
        transfers_[{requestor, property}] = std::move(t);
        return Served::incremental;
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, type, 8, uint32_t(data.size()),
                        data.data());
    return Served::done;
}

void X11Clipboard::onPropertyNotify(const xcb_property_notify_event_t& e) {
    if (e.state != XCB_PROPERTY_DELETE)
        return;
    auto it = transfers_.find({e.window, e.atom});
    if (it == transfers_.end())
        return;
    Transfer& t = *it->second;
    auto* c = conn_->get();
    if (t.finished) {
        finished(t.pasteID, true);
        transfers_.erase(it);
        auto next = transfers_.lower_bound({e.window, 0});
        if (next == transfers_.end() || next->first.requestor != e.window) {
            uint32_t none = 0;
            xcb_change_window_attributes(c, e.window, XCB_CW_EVENT_MASK, &none);
        }
        return;
    }
    size_t n = std::min(chunkBytes_, t.data.size() - t.offset);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.window, e.atom, t.type, 8, uint32_t(n),
                        t.data.data() + t.offset);
    t.offset += n;
    if (n == 0)
        t.finished = true;
    t.deadline = Clock::now() + limits_.servingIdleTimeout;
}

void X11Clipboard::handOver() {
    shuttingDown_ = true;
    if (!owned_)
        return;
    auto* c = conn_->get();
    XcbReply<xcb_get_selection_owner_reply_t> manager(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboardManager_), nullptr));
    if (!manager || manager->owner == XCB_WINDOW_NONE)
        return;
    // The manager saves the targets listed, in order: the text first, so that
    // it is kept even when a large copy runs out of time.
    const auto& content = *owned_->content;
    std::vector<std::string> order;
    size_t bytes = 0;
    for (auto text : {mime::utf8String, mime::textUTF8, mime::textPlain, mime::string, mime::text})
        for (const auto& item : content)
            if (item.target == text)
                order.push_back(item.target);
    for (const auto& item : content) {
        if (!isTextTarget(item.target))
            order.push_back(item.target);
        bytes += item.data().size();
    }
    std::vector<xcb_atom_t> targets = conn_->atoms(order);
    std::erase(targets, xcb_atom_t(XCB_ATOM_NONE));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, property_, XCB_ATOM_ATOM, 32,
                        uint32_t(targets.size()), targets.data());
    xcb_convert_selection(c, window_, clipboardManager_, saveTargets_, property_, owned_->time);
    auto limit = limits_.handOverTimeout + std::chrono::duration_cast<Duration>(limits_.handOverPerTenMB *
                                                                                (double(bytes) / 10'000'000));
    loop_.waitFor(
        [&](xcb_generic_event_t* ev) {
            if (eventType(ev) != XCB_SELECTION_NOTIFY)
                return false;
            auto* e = reinterpret_cast<xcb_selection_notify_event_t*>(ev);
            return e->requestor == window_ && e->selection == clipboardManager_;
        },
        Clock::now() + std::min(limit, limits_.handOverMaximum));
    xcb_flush(c);
}

}  // namespace dz::x11
