#include "linux/clipboard/X11PrimarySelection.h"

#include <algorithm>
#include <cstring>

#include "core/clipboard/PasteboardTypes.h"
#include "core/text/Unicode.h"
#include "linux/clipboard/IncrementalTransfer.h"

namespace dz::x11 {

namespace {

uint8_t eventType(const xcb_generic_event_t* ev) {
    return ev->response_type & 0x7F;
}

bool isTextTarget(std::string_view target) {
    return target == mime::textUTF8 || target == mime::utf8String || target == mime::textPlain ||
           target == mime::string || target == mime::text;
}

// Only text goes into PRIMARY: terminals read nothing else.
std::vector<MimeItem> textTargets(const std::string& utf8) {
    return toTargets({ClipboardSnapshot::Entry{std::string(pasteboardtype::string), utf8}});
}

}  // namespace

std::unique_ptr<X11PrimarySelection> X11PrimarySelection::create(std::string* error, const char* display,
                                                                 Limits limits) {
    auto conn = XcbConnection::open(display, error);
    if (!conn)
        return nullptr;
    std::unique_ptr<X11PrimarySelection> selection(new X11PrimarySelection(std::move(conn), limits));
    if (!selection->setUp(error))
        return nullptr;
    return selection;
}

X11PrimarySelection::X11PrimarySelection(std::unique_ptr<XcbConnection> conn, Limits limits)
    : conn_(std::move(conn)), loop_(*conn_), limits_(limits) {}

// What we own goes with our connection; there is nothing to give back.
X11PrimarySelection::~X11PrimarySelection() {
    loop_.stop();
}

bool X11PrimarySelection::setUp(std::string* error) {
    auto* c = conn_->get();
    auto atoms = conn_->atoms({"PRIMARY", "TARGETS", "TIMESTAMP", "MULTIPLE", "INCR", "UTF8_STRING",
                               "DZ_PRIMARY", "DZ_PRIMARY_TIME"});
    primary_ = atoms[0], targets_ = atoms[1], timestamp_ = atoms[2], multiple_ = atoms[3], incr_ = atoms[4],
    utf8String_ = atoms[5], property_ = atoms[6], timeProperty_ = atoms[7];
    window_ = xcb_generate_id(c);
    uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, conn_->root(), -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_flush(c);
    if (conn_->failed()) {
        if (error)
            *error = "the X connection failed while setting up the primary selection";
        return false;
    }
    const size_t maxRequest = conn_->maximumRequestBytes();
    largestProperty_ = maxRequest > 4096 ? maxRequest - 1024 : 3072;

    EventLoop::Handler handler;
    handler.event = [this](xcb_generic_event_t* ev) { onEvent(ev); };
    handler.nextDeadline = [this] { return nextDeadline(); };
    handler.deadline = [this](Clock::time_point now) {
        if (restoreAt_ && *restoreAt_ <= now)
            restore();
    };
    loop_.start(std::move(handler));
    return true;
}

void X11PrimarySelection::offerOnce(std::vector<ClipboardSnapshot::Entry> items,
                                    std::function<void(bool)> ready) {
    std::optional<std::string> text;
    for (const auto& item : items)
        if (item.type == pasteboardtype::string)
            text = item.data;
    loop_.post([this, text = std::move(text), ready = std::move(ready)] {
        if (!text || text->size() > largestProperty_) {
            // Nothing to offer, or more than one property holds (we do not
            // serve PRIMARY incrementally).
            ready(false);
            return;
        }
        offer(textTargets(*text), ready);
    });
}

// ---------------------------------------------------------------- events

void X11PrimarySelection::onEvent(xcb_generic_event_t* ev) {
    switch (eventType(ev)) {
        case XCB_SELECTION_REQUEST:
            serve(*reinterpret_cast<xcb_selection_request_event_t*>(ev));
            break;
        case XCB_SELECTION_CLEAR: {
            auto* e = reinterpret_cast<xcb_selection_clear_event_t*>(ev);
            if (e->selection != primary_ || !held_ || e->time < held_->time)
                break;
            // The user selected something else: that stays, and so nothing
            // of ours comes back.
            held_.reset();
            owns_ = false;
            previous_.reset();
            restoreAt_.reset();
            restorePending_ = false;
            break;
        }
        default:
            break;
    }
}

// ---------------------------------------------------------------- reading

std::optional<std::string> X11PrimarySelection::convert(xcb_atom_t target, Clock::duration timeout,
                                                        xcb_atom_t* type) {
    auto* c = conn_->get();
    xcb_delete_property(c, window_, property_);
    xcb_convert_selection(c, window_, primary_, target, property_, XCB_CURRENT_TIME);
    auto notified = loop_.waitFor(
        [&](xcb_generic_event_t* ev) {
            if (eventType(ev) != XCB_SELECTION_NOTIFY)
                return false;
            auto* e = reinterpret_cast<xcb_selection_notify_event_t*>(ev);
            return e->requestor == window_ && e->selection == primary_ && e->target == target;
        },
        Clock::now() + timeout, [this] { return loop_.stopping(); });
    if (!notified)
        return std::nullopt;
    auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(notified.get());
    if (n->property == XCB_ATOM_NONE)
        return std::nullopt;
    const uint32_t words = uint32_t(std::min<size_t>(limits_.maxItemBytes / 4 + 1, UINT32_MAX / 4));
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 1, window_, n->property, XCB_GET_PROPERTY_TYPE_ANY, 0, words), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    if (reply->type != incr_) {
        const size_t length = size_t(xcb_get_property_value_length(reply.get()));
        if (reply->bytes_after > 0 || length > limits_.maxItemBytes)
            return std::nullopt;
        *type = reply->type;
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
    }
    // INCR: every deletion asks for the next chunk, a zero-length one ends it;
    // the idle limit restarts with each chunk.
    IncrementalTransfer transfer(limits_.maxItemBytes);
    for (;;) {
        auto changed = loop_.waitFor(
            [&](xcb_generic_event_t* ev) {
                if (eventType(ev) != XCB_PROPERTY_NOTIFY)
                    return false;
                auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
                return e->window == window_ && e->atom == property_ && e->state == XCB_PROPERTY_NEW_VALUE;
            },
            Clock::now() + limits_.dataIdleTimeout, [this] { return loop_.stopping(); });
        if (!changed) {
            xcb_delete_property(c, window_, property_);
            return std::nullopt;
        }
        XcbReply<xcb_get_property_reply_t> chunk(
            xcb_get_property_reply(c,
                                   xcb_get_property(c, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                    transfer.nextRequestUnits()),
                                   nullptr));
        if (!chunk)
            return std::nullopt;
        std::string_view bytes(static_cast<const char*>(xcb_get_property_value(chunk.get())),
                               size_t(xcb_get_property_value_length(chunk.get())));
        auto step = transfer.add(chunk->type, chunk->format, bytes, chunk->bytes_after);
        if (step == IncrementalTransfer::Step::done)
            break;
        if (step == IncrementalTransfer::Step::failed) {
            xcb_delete_property(c, window_, property_);
            return std::nullopt;
        }
    }
    *type = transfer.type();
    return transfer.take();
}

std::optional<std::vector<MimeItem>> X11PrimarySelection::readCurrent() {
    auto* c = conn_->get();
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, primary_), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return std::nullopt;
    if (owner->owner == window_)
        return held_ ? held_->items : std::vector<MimeItem>{};
    std::vector<MimeItem> kept;
    xcb_atom_t type = 0;
    auto list = convert(targets_, limits_.targetsTimeout, &type);
    if (!list || (type != XCB_ATOM_ATOM && type != targets_) || list->size() % 4)
        return kept;
    std::vector<xcb_atom_t> atoms(list->size() / 4);
    if (!atoms.empty())
        std::memcpy(atoms.data(), list->data(), atoms.size() * 4);
    std::vector<std::string> names = conn_->atomNames(atoms);
    // The text in its best form: UTF-8 first, Latin-1 as the last resort.
    for (std::string_view wanted : {mime::utf8String, mime::textUTF8, mime::string}) {
        if (std::find(names.begin(), names.end(), wanted) == names.end())
            continue;
        xcb_atom_t target = conn_->atom(std::string(wanted));
        auto bytes = target ? convert(target, limits_.dataIdleTimeout, &type) : std::nullopt;
        if (!bytes)
            continue;
        if (type == XCB_ATOM_STRING)
            return textTargets(unicode::decodeLatin1(*bytes));
        if ((type == utf8String_ || type == target) && unicode::isValidUTF8(*bytes))
            return textTargets(*bytes);
    }
    return kept;
}

// ---------------------------------------------------------------- owning

bool X11PrimarySelection::own(std::vector<MimeItem> items) {
    // A zero-length append brings the server's time, which ownership needs.
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
        return false;
    const xcb_timestamp_t time = reinterpret_cast<xcb_property_notify_event_t*>(ev.get())->time;
    xcb_set_selection_owner(c, window_, primary_, time);
    XcbReply<xcb_get_selection_owner_reply_t> confirm(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, primary_), nullptr));
    if (!confirm || confirm->owner != window_) {
        held_.reset();
        owns_ = false;
        return false;
    }
    held_ = Held{std::move(items), time};
    owns_ = true;
    return true;
}

void X11PrimarySelection::offer(std::vector<MimeItem> items, const std::function<void(bool)>& ready) {
    // One offer over another keeps the text from before the first.
    if (!previous_) {
        auto current = readCurrent();
        previous_ = current ? std::move(*current) : std::vector<MimeItem>{};
    }
    if (!own(std::move(items))) {
        previous_.reset();
        restoreAt_.reset();
        restorePending_ = false;
        ready(false);
        return;
    }
    delivered_ = false;
    restoreAt_ = Clock::now() + limits_.pasteWait;
    restorePending_ = true;
    ready(true);
}

void X11PrimarySelection::restore() {
    restoreAt_.reset();
    restorePending_ = false;
    if (!previous_ || !held_)
        return;
    std::vector<MimeItem> previous = std::move(*previous_);
    previous_.reset();
    if (!previous.empty()) {
        own(std::move(previous));
        return;
    }
    // PRIMARY was empty, or its text could not be read: leave it empty
    // rather than holding on to what we offered.
    auto* c = conn_->get();
    xcb_set_selection_owner(c, XCB_NONE, primary_, held_->time);
    xcb_flush(c);
    held_.reset();
    owns_ = false;
}

void X11PrimarySelection::serve(const xcb_selection_request_event_t& e) {
    auto* c = conn_->get();
    xcb_atom_t property = e.property == XCB_NONE ? e.target : e.property;  // obsolete clients
    bool served = false;
    bool data = false;
    if (held_ && e.selection == primary_ && (e.time == XCB_CURRENT_TIME || e.time >= held_->time)) {
        if (e.target == targets_) {
            std::vector<xcb_atom_t> list{targets_, timestamp_};
            std::vector<std::string> names;
            for (const auto& item : held_->items) names.push_back(item.target);
            for (auto a : conn_->atoms(names))
                if (a)
                    list.push_back(a);
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, property, XCB_ATOM_ATOM, 32,
                                uint32_t(list.size()), list.data());
            served = true;
        } else if (e.target == timestamp_) {
            uint32_t time = held_->time;
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, property, XCB_ATOM_INTEGER, 32, 1,
                                &time);
            served = true;
        } else if (e.target != multiple_) {
            const std::string name = conn_->atomName(e.target);
            auto found = std::find_if(held_->items.begin(), held_->items.end(),
                                      [&](const MimeItem& m) { return m.target == name; });
            if (!name.empty() && isTextTarget(name) && found != held_->items.end()) {
                const xcb_atom_t type = name == mime::text ? utf8String_ : e.target;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, property, type, 8,
                                    uint32_t(found->data().size()), found->data().data());
                served = data = true;
            }
        }
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = e.time;
    notify.requestor = e.requestor;
    notify.selection = e.selection;
    notify.target = e.target;
    notify.property = served ? property : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(c, 0, e.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
    // The paste has its text: the rest of it may follow shortly, then the
    // old text goes back.
    if (data && restoreAt_ && !delivered_) {
        delivered_ = true;
        restoreAt_ = std::min(*restoreAt_, Clock::now() + limits_.pasteGrace);
    }
}

}  // namespace dz::x11
