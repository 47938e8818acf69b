#include "linux/workspace/X11WindowEvents.h"

#include <utility>

namespace dz::x11 {

std::unique_ptr<X11WindowEvents> X11WindowEvents::create(Scheduler& scheduler, Resolver resolve,
                                                         std::string* error, const char* display) {
    auto conn = XcbConnection::open(display, error);
    if (!conn)
        return nullptr;
    std::unique_ptr<X11WindowEvents> events(
        new X11WindowEvents(std::move(conn), scheduler, std::move(resolve)));
    EventLoop::Handler handler;
    handler.event = [raw = events.get()](xcb_generic_event_t* ev) { raw->onEvent(ev); };
    events->loop_.start(std::move(handler));
    return events;
}

X11WindowEvents::X11WindowEvents(std::unique_ptr<XcbConnection> conn, Scheduler& scheduler, Resolver resolve)
    : conn_(std::move(conn)), loop_(*conn_), scheduler_(scheduler), resolve_(std::move(resolve)) {
    auto atoms = conn_->atoms({"_NET_ACTIVE_WINDOW", "_NET_WM_NAME"});
    activeWindow_ = atoms[0], netWMName_ = atoms[1];
}

X11WindowEvents::~X11WindowEvents() {
    alive_->alive = false;
    loop_.stop([this] { stop(); });
}

void X11WindowEvents::watch(Handler handler) {
    bool on = static_cast<bool>(handler);
    bool was = static_cast<bool>(handler_);
    handler_ = std::move(handler);
    if (on == was)
        return;
    if (!on)
        known_.clear();
    loop_.post([this, on] { on ? start() : stop(); });
}

void X11WindowEvents::start() {
    if (watching_)
        return;
    watching_ = true;
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn_->get(), conn_->root(), XCB_CW_EVENT_MASK, &mask);
    xcb_flush(conn_->get());
    active_ = 0;
    activeChanged();
}

void X11WindowEvents::stop() {
    if (!watching_)
        return;
    watching_ = false;
    uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(conn_->get(), conn_->root(), XCB_CW_EVENT_MASK, &none);
    for (xcb_window_t window : watched_)
        xcb_change_window_attributes(conn_->get(), window, XCB_CW_EVENT_MASK, &none);
    watched_.clear();
    active_ = 0;
    xcb_flush(conn_->get());
}

void X11WindowEvents::activeChanged() {
    xcb_window_t window = conn_->windowProperty(conn_->root(), activeWindow_).value_or(0);
    if (window == active_)
        return;
    active_ = window;
    if (window && watched_.insert(window).second) {
        // Errors for a window gone already arrive as events, and are ignored.
        uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_->get(), window, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(conn_->get());
    }
    report(Change::activated, window);
}

void X11WindowEvents::onEvent(xcb_generic_event_t* ev) {
    if (!watching_)
        return;
    switch (ev->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
            if (e->window == conn_->root()) {
                if (e->atom == activeWindow_)
                    activeChanged();
            } else if ((e->atom == netWMName_ || e->atom == XCB_ATOM_WM_NAME) && watched_.count(e->window)) {
                report(Change::titleChanged, e->window);
            }
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            auto* e = reinterpret_cast<xcb_destroy_notify_event_t*>(ev);
            if (watched_.erase(e->window)) {
                if (active_ == e->window)
                    active_ = 0;
                report(Change::closed, e->window);
            }
            break;
        }
        default:
            break;
    }
}

void X11WindowEvents::report(Change change, xcb_window_t window) {
    scheduler_.post([this, alive = alive_, change, window] {
        if (alive->alive)
            deliver(change, window);
    });
}

void X11WindowEvents::deliver(Change change, xcb_window_t window) {
    if (!handler_)
        return;
    Window reported{window, std::nullopt, std::nullopt};
    if (change == Change::activated) {
        if (window) {
            if (auto app = resolve_ ? resolve_(window) : std::nullopt) {
                reported.bundleID = app->bundleID;
                reported.pid = app->pid;
            }
            known_[window] = reported;
        }
    } else if (auto it = known_.find(window); it != known_.end()) {
        reported = it->second;
        if (change == Change::closed)
            known_.erase(it);
    }
    handler_(change, reported);
}

}  // namespace dz::x11
