// A small X clipboard client for the X11 tests, since xclip offers a single
// target. Modes:
//   own [--hang] [--lie] [--trickle MS] [--reown-after MS] [--pad N] TARGET=TEXT | TARGET=@FILE ...
//       owns CLIPBOARD with these targets (no INCR); prints "owned" once the
//       server confirms; --hang never answers; --lie answers every target
//       with the first one's type and data; --trickle answers data targets
//       in INCR parts of one byte, MS apart, without end, and prints
//       "trickling" when the first part is asked for; --pad lists N
//       predefined atoms before the targets. Exits on losing ownership.
//   read TARGET [--times N] [--interval MS]
//       reads TARGET N times from one window and prints each result on its
//       own line ("<refused>" when refused).
//   multiple N TARGET
//       asks for TARGET N times in one MULTIPLE request, each into its own
//       property; prints "answered MS served K", K the pairs not refused, or
//       "<refused>".
//   window INSTANCE CLASS [--paste]
//       maps a normal top-level window with this WM_CLASS and its process id,
//       prints "mapped", and stays until killed. With --paste it asks the
//       window manager to activate it, prints "focused" once it has the
//       keyboard, and on each Ctrl+V reads the clipboard's UTF8_STRING and
//       prints "pasted TEXT" (newlines as \n, "<refused>" when refused); on
//       each C pressed with Ctrl it prints "copy-key MODS" (MODS: the held
//       modifiers, such as "ctrl" or "ctrl+shift"), and copies nothing.
//   burst N GAP_MS PREFIX
//       N windows take CLIPBOARD in turn, GAP_MS apart, window i offering
//       UTF8_STRING=PREFIXi; prints "done" after the last has taken it, and
//       exits once the last has lost it.
//   manager [--sizes | --hang]
//       owns CLIPBOARD_MANAGER; on SAVE_TARGETS copies the targets listed in
//       the request's property, or else all the clipboard's targets, in
//       order (INCR included), and prints "saved UTF8_STRING=TEXT", or with
//       --sizes "saved TARGET:BYTES ..." for every target saved; with
//       --hang it never answers.
#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

xcb_connection_t* c;
xcb_window_t win;
xcb_window_t root;

xcb_atom_t atom(const std::string& name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.data()), nullptr);
    xcb_atom_t a = r ? r->atom : 0;
    free(r);
    return a;
}

std::string atomName(xcb_atom_t a) {
    auto* r = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, a), nullptr);
    if (!r)
        return {};
    std::string s(xcb_get_atom_name_name(r), size_t(xcb_get_atom_name_name_length(r)));
    free(r);
    return s;
}

xcb_timestamp_t serverTime() {
    xcb_atom_t p = atom("DZ_TOOL_TIME");
    xcb_change_property(c, XCB_PROP_MODE_APPEND, win, p, XCB_ATOM_INTEGER, 32, 0, nullptr);
    xcb_flush(c);
    for (;;) {
        auto* ev = xcb_wait_for_event(c);
        if (!ev)
            exit(3);
        if ((ev->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            auto t = reinterpret_cast<xcb_property_notify_event_t*>(ev)->time;
            free(ev);
            return t;
        }
        free(ev);
    }
}

std::string getProperty(xcb_window_t w, xcb_atom_t p, xcb_atom_t* type = nullptr) {
    auto* r = xcb_get_property_reply(c, xcb_get_property(c, 1, w, p, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
                                     nullptr);
    if (!r)
        return {};
    std::string s(static_cast<const char*>(xcb_get_property_value(r)),
                  size_t(xcb_get_property_value_length(r)));
    if (type)
        *type = r->type;
    free(r);
    return s;
}

void notify(const xcb_selection_request_event_t& e, xcb_atom_t property) {
    xcb_selection_notify_event_t n{};
    n.response_type = XCB_SELECTION_NOTIFY;
    n.time = e.time;
    n.requestor = e.requestor;
    n.selection = e.selection;
    n.target = e.target;
    n.property = property;
    xcb_send_event(c, 0, e.requestor, 0, reinterpret_cast<const char*>(&n));
    xcb_flush(c);
}

struct Item {
    std::string target;
    std::string data;
};

// Predefined atoms listed in TARGETS before the real ones (own --pad).
size_t padTargets = 0;

// Serves `items` on `selection` until ownership is lost.
int serve(xcb_atom_t selection, const std::vector<Item>& items, bool hang, bool lie, int reownAfterMs,
          int trickleMs = 0, xcb_atom_t extraSelection = 0,
          const std::function<void(const xcb_selection_request_event_t&)>& extra = {}) {
    xcb_timestamp_t time = serverTime();
    xcb_set_selection_owner(c, win, selection, time);
    auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    if (!owner || owner->owner != win)
        return 2;
    free(owner);
    std::printf("owned\n");
    std::fflush(stdout);
    xcb_atom_t targets = atom("TARGETS"), incr = atom("INCR");
    struct Trickle {
        xcb_window_t requestor;
        xcb_atom_t property, type;
    };
    std::vector<Trickle> trickles;
    bool trickling = false;
    auto reownAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(reownAfterMs);
    bool reowned = reownAfterMs <= 0;
    for (;;) {
        xcb_generic_event_t* ev = nullptr;
        if (!reowned) {
            while (!(ev = xcb_poll_for_event(c))) {
                if (xcb_connection_has_error(c))
                    return 3;
                if (std::chrono::steady_clock::now() >= reownAt) {
                    time = serverTime();
                    xcb_set_selection_owner(c, win, selection, time);
                    xcb_flush(c);
                    std::printf("reowned\n");
                    std::fflush(stdout);
                    reowned = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (!ev)
                continue;
        } else {
            ev = xcb_wait_for_event(c);
        }
        if (!ev)
            return 3;
        int type = ev->response_type & 0x7F;
        if (type == XCB_SELECTION_CLEAR &&
            reinterpret_cast<xcb_selection_clear_event_t*>(ev)->selection == selection) {
            free(ev);
            return 0;
        }
        if (type == XCB_PROPERTY_NOTIFY) {
            auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
            for (const auto& t : trickles) {
                if (e->state != XCB_PROPERTY_DELETE || e->window != t.requestor || e->atom != t.property)
                    continue;
                if (!trickling) {
                    trickling = true;
                    std::printf("trickling\n");
                    std::fflush(stdout);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(trickleMs));
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, t.requestor, t.property, t.type, 8, 1, "x");
                xcb_flush(c);
            }
        }
        if (type == XCB_SELECTION_REQUEST) {
            auto e = *reinterpret_cast<xcb_selection_request_event_t*>(ev);
            if (extraSelection && e.selection == extraSelection && extra) {
                extra(e);
            } else if (trickleMs > 0 && e.target != targets) {
                xcb_atom_t prop = e.property ? e.property : e.target;
                uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, e.requestor, XCB_CW_EVENT_MASK, &mask);
                uint32_t size = 1u << 30;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, incr, 32, 1, &size);
                notify(e, prop);
                trickles.push_back({e.requestor, prop, e.target});
            } else if (!hang) {
                xcb_atom_t prop = e.property ? e.property : e.target;
                if (e.target == targets) {
                    std::vector<xcb_atom_t> list{targets};
                    for (size_t i = 0; i < padTargets; ++i)
                        list.push_back(xcb_atom_t(1 + i % XCB_ATOM_WM_TRANSIENT_FOR));
                    for (const auto& item : items) list.push_back(atom(item.target));
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, XCB_ATOM_ATOM, 32,
                                        uint32_t(list.size()), list.data());
                    notify(e, prop);
                } else {
                    const Item* found = nullptr;
                    std::string name = atomName(e.target);
                    for (const auto& item : items)
                        if (item.target == name)
                            found = &item;
                    if (lie && !items.empty())
                        found = &items.front();
                    if (found) {
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, atom(found->target),
                                            8, uint32_t(found->data.size()), found->data.data());
                        notify(e, prop);
                    } else {
                        notify(e, XCB_ATOM_NONE);
                    }
                }
            }
        }
        free(ev);
    }
}

// Copies in quick succession, as a user pressing Ctrl+C repeatedly in
// different windows of one application makes them.
int burst(xcb_atom_t selection, int count, int gapMs, const std::string& prefix) {
    std::vector<xcb_window_t> windows(size_t(std::max(count, 1)));
    for (auto& w : windows) {
        w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    xcb_atom_t targets = atom("TARGETS"), utf8 = atom("UTF8_STRING");
    bool lastLost = false;
    auto serveFor = [&](std::chrono::steady_clock::time_point until) {
        for (;;) {
            while (auto* ev = xcb_poll_for_event(c)) {
                int type = ev->response_type & 0x7F;
                if (type == XCB_SELECTION_CLEAR &&
                    reinterpret_cast<xcb_selection_clear_event_t*>(ev)->owner == windows.back()) {
                    lastLost = true;
                } else if (type == XCB_SELECTION_REQUEST) {
                    auto e = *reinterpret_cast<xcb_selection_request_event_t*>(ev);
                    auto at = std::find(windows.begin(), windows.end(), e.owner);
                    xcb_atom_t prop = e.property ? e.property : e.target;
                    if (at != windows.end() && e.target == targets) {
                        xcb_atom_t list[] = {targets, utf8};
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, XCB_ATOM_ATOM, 32, 2,
                                            list);
                        notify(e, prop);
                    } else if (at != windows.end() && e.target == utf8) {
                        std::string text = prefix + std::to_string(at - windows.begin());
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, utf8, 8,
                                            uint32_t(text.size()), text.data());
                        notify(e, prop);
                    } else {
                        notify(e, XCB_ATOM_NONE);
                    }
                }
                free(ev);
            }
            if (xcb_connection_has_error(c))
                return false;
            if (lastLost || std::chrono::steady_clock::now() >= until)
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    };
    for (auto w : windows) {
        xcb_set_selection_owner(c, w, selection, XCB_CURRENT_TIME);
        xcb_flush(c);
        if (!serveFor(std::chrono::steady_clock::now() + std::chrono::milliseconds(gapMs)))
            return 3;
    }
    std::printf("done\n");
    std::fflush(stdout);
    while (!lastLost)
        if (!serveFor(std::chrono::steady_clock::now() + std::chrono::seconds(1)))
            return 3;
    return 0;
}

bool waitNotify(xcb_atom_t selection, xcb_atom_t* property, int timeoutMs = 3000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        auto* ev = xcb_poll_for_event(c);
        if (!ev) {
            if (xcb_connection_has_error(c))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if ((ev->response_type & 0x7F) == XCB_SELECTION_NOTIFY) {
            auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(ev);
            if (n->selection == selection) {
                *property = n->property;
                free(ev);
                return true;
            }
        }
        free(ev);
    }
    return false;
}

std::optional<std::string> readOnce(xcb_atom_t selection, xcb_atom_t target, xcb_atom_t* type = nullptr) {
    xcb_atom_t prop = atom("DZ_TOOL_READ");
    xcb_convert_selection(c, win, selection, target, prop, XCB_CURRENT_TIME);
    xcb_flush(c);
    xcb_atom_t got = 0;
    if (!waitNotify(selection, &got) || got == XCB_ATOM_NONE)
        return std::nullopt;
    return getProperty(win, got, type);
}

// Like readOnce, following an INCR transfer to its end.
std::optional<std::string> readWhole(xcb_atom_t selection, xcb_atom_t target) {
    static const xcb_atom_t incr = atom("INCR");
    xcb_atom_t type = 0;
    auto first = readOnce(selection, target, &type);
    if (!first || type != incr)
        return first;
    xcb_atom_t prop = atom("DZ_TOOL_READ");  // deleted by readOnce, which asks for the first part
    std::string data;
    for (;;) {
        xcb_generic_event_t* ev = xcb_poll_for_event(c);
        if (!ev) {
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            if (xcb_connection_has_error(c) || poll(&fd, 1, 5000) <= 0)
                return std::nullopt;  // the owner stopped sending
            continue;
        }
        auto* e = reinterpret_cast<xcb_property_notify_event_t*>(ev);
        bool part = (ev->response_type & 0x7F) == XCB_PROPERTY_NOTIFY && e->atom == prop &&
                    e->state == XCB_PROPERTY_NEW_VALUE;
        free(ev);
        if (!part)
            continue;
        std::string chunk = getProperty(win, prop);  // deleting it asks for the next part
        xcb_flush(c);
        if (chunk.empty())
            return data;
        data += chunk;
    }
}

uint8_t keycodeOf(uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* r = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr);
    if (!r)
        return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    uint8_t found = 0;
    for (int i = 0; i < count * r->keysyms_per_keycode && !found; ++i)
        if (syms[i] == keysym)
            found = uint8_t(setup->min_keycode + i / r->keysyms_per_keycode);
    free(r);
    return found;
}

// Asks the window manager to raise and focus `w`, as a pager would.
void activate(xcb_window_t w) {
    xcb_client_message_event_t m{};
    m.response_type = XCB_CLIENT_MESSAGE;
    m.format = 32;
    m.window = w;
    m.type = atom("_NET_ACTIVE_WINDOW");
    m.data.data32[0] = 2;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&m));
    xcb_flush(c);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 64;
    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 3;
    root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    win = xcb_generate_id(c);
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, win, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    std::string mode = argv[1];
    xcb_atom_t clipboard = atom("CLIPBOARD");

    if (mode == "own") {
        bool hang = false, lie = false;
        int reown = 0, trickle = 0;
        std::vector<Item> items;
        for (int i = 2; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--hang")
                hang = true;
            else if (a == "--lie")
                lie = true;
            else if (a == "--reown-after" && i + 1 < argc)
                reown = std::atoi(argv[++i]);
            else if (a == "--trickle" && i + 1 < argc)
                trickle = std::atoi(argv[++i]);
            else if (a == "--pad" && i + 1 < argc)
                padTargets = size_t(std::atoi(argv[++i]));
            else if (auto eq = a.find('='); eq != std::string::npos) {
                std::string value = a.substr(eq + 1);
                if (!value.empty() && value[0] == '@') {
                    std::ifstream in(value.substr(1), std::ios::binary);
                    std::stringstream ss;
                    ss << in.rdbuf();
                    value = ss.str();
                }
                items.push_back({a.substr(0, eq), value});
            }
        }
        return serve(clipboard, items, hang, lie, reown, trickle);
    }
    if (mode == "read" && argc >= 3) {
        xcb_atom_t target = atom(argv[2]);
        int times = 1, interval = 0;
        for (int i = 3; i + 1 < argc; ++i) {
            if (std::string(argv[i]) == "--times")
                times = std::atoi(argv[++i]);
            else if (std::string(argv[i]) == "--interval")
                interval = std::atoi(argv[++i]);
        }
        for (int i = 0; i < times; ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            auto data = readOnce(clipboard, target);
            std::printf("%s\n", data ? data->c_str() : "<refused>");
            std::fflush(stdout);
        }
        return 0;
    }
    if (mode == "multiple" && argc >= 4) {
        const size_t count = size_t(std::atoi(argv[2]));
        std::vector<xcb_intern_atom_cookie_t> cookies;
        for (size_t i = 0; i < count; ++i) {
            std::string name = "DZ_TOOL_P" + std::to_string(i);
            cookies.push_back(xcb_intern_atom(c, 0, uint16_t(name.size()), name.data()));
        }
        std::vector<xcb_atom_t> pairs;
        const xcb_atom_t target = atom(argv[3]);
        for (auto cookie : cookies) {
            auto* r = xcb_intern_atom_reply(c, cookie, nullptr);
            pairs.push_back(target);
            pairs.push_back(r ? r->atom : 0);
            free(r);
        }
        xcb_atom_t request = atom("DZ_TOOL_MULTIPLE");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, request, atom("ATOM_PAIR"), 32,
                            uint32_t(pairs.size()), pairs.data());
        auto start = std::chrono::steady_clock::now();
        xcb_convert_selection(c, win, clipboard, atom("MULTIPLE"), request, XCB_CURRENT_TIME);
        xcb_flush(c);
        xcb_atom_t got = 0;
        if (!waitNotify(clipboard, &got, 60000) || got == XCB_ATOM_NONE) {
            std::printf("<refused>\n");
            return 0;
        }
        auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::string answered = getProperty(win, got);
        size_t served = 0;
        for (size_t i = 1; i * 4 + 4 <= answered.size(); i += 2) {
            xcb_atom_t property;
            std::memcpy(&property, answered.data() + i * 4, 4);
            served += property != XCB_ATOM_NONE;
        }
        std::printf("answered %lld served %zu\n", static_cast<long long>(ms.count()), served);
        return 0;
    }
    if (mode == "window" && argc >= 4) {
        const bool paste = argc >= 5 && std::string(argv[4]) == "--paste";
        xcb_window_t top = xcb_generate_id(c);
        auto* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        uint32_t values[] = {screen->white_pixel,
                             XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                 (paste ? XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_FOCUS_CHANGE : 0u)};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, top, root, 10, 10, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        std::string wmClass = std::string(argv[2]) + '\0' + argv[3] + '\0';
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, top, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            uint32_t(wmClass.size()), wmClass.data());
        uint32_t pid = uint32_t(getpid());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, top, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                            &pid);
        xcb_map_window(c, top);
        xcb_flush(c);
        const uint8_t keyV = paste ? keycodeOf(0x76) : 0, keyC = paste ? keycodeOf(0x63) : 0;
        for (;;) {
            auto* ev = xcb_wait_for_event(c);
            if (!ev)
                return 3;
            const int type = ev->response_type & 0x7F;
            if (type == XCB_MAP_NOTIFY) {
                std::printf("mapped\n");
                std::fflush(stdout);
                if (paste)
                    activate(top);
            } else if (type == XCB_FOCUS_IN) {
                std::printf("focused\n");
                std::fflush(stdout);
            } else if (type == XCB_KEY_PRESS) {
                auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
                if (key->detail == keyV && (key->state & XCB_MOD_MASK_CONTROL)) {
                    auto text = readOnce(clipboard, atom("UTF8_STRING"));
                    std::string shown = text ? *text : "<refused>";
                    for (size_t at = 0; (at = shown.find('\n', at)) != std::string::npos; at += 2)
                        shown.replace(at, 1, "\\n");
                    std::printf("pasted %s\n", shown.c_str());
                    std::fflush(stdout);
                } else if (key->detail == keyC && (key->state & XCB_MOD_MASK_CONTROL)) {
                    std::string mods = "ctrl";
                    if (key->state & XCB_MOD_MASK_1)
                        mods += "+alt";
                    if (key->state & XCB_MOD_MASK_SHIFT)
                        mods += "+shift";
                    std::printf("copy-key %s\n", mods.c_str());
                    std::fflush(stdout);
                }
            }
            free(ev);
        }
    }
    if (mode == "burst" && argc >= 5)
        return burst(clipboard, std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (mode == "manager") {
        xcb_atom_t manager = atom("CLIPBOARD_MANAGER"), saveTargets = atom("SAVE_TARGETS"),
                   targets = atom("TARGETS");
        const std::string option = argc >= 3 ? argv[2] : "";
        const bool sizes = option == "--sizes";
        std::vector<Item> saved;
        bool done = false;
        auto onSave = [&](const xcb_selection_request_event_t& e) {
            if (e.target != saveTargets) {
                notify(e, XCB_ATOM_NONE);
                return;
            }
            if (option == "--hang")
                return;
            std::optional<std::string> list;
            if (e.property)
                list = getProperty(e.requestor, e.property);
            if (!list || list->empty())
                list = readOnce(clipboard, targets);
            if (list) {
                std::vector<xcb_atom_t> atoms(list->size() / 4);
                std::memcpy(atoms.data(), list->data(), atoms.size() * 4);
                for (auto a : atoms) {
                    std::string name = atomName(a);
                    if (name == "TARGETS" || name == "TIMESTAMP" || name == "MULTIPLE" ||
                        name == "SAVE_TARGETS")
                        continue;
                    auto data = readWhole(clipboard, a);
                    if (data)
                        saved.push_back({name, *data});
                }
            }
            xcb_atom_t prop = e.property ? e.property : e.target;
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, e.requestor, prop, atom("NULL"), 32, 0, nullptr);
            notify(e, prop);
            std::printf("saved");
            for (const auto& s : saved)
                if (sizes)
                    std::printf(" %s:%zu", s.target.c_str(), s.data.size());
                else if (s.target == "UTF8_STRING")
                    std::printf(" %s=%s", s.target.c_str(), s.data.c_str());
            std::printf("\n");
            std::fflush(stdout);
            done = true;
        };
        int rc = serve(manager, {}, false, false, 0, 0, manager, onSave);
        (void)done;
        return rc;
    }
    return 64;
}
