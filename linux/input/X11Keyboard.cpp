#include "linux/input/X11Keyboard.h"

#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <chrono>
#include <thread>

#include "linux/input/KeySyms.h"

namespace dz::x11 {

using Clock = std::chrono::steady_clock;

std::unique_ptr<X11Keyboard> X11Keyboard::create(Scheduler& scheduler, std::string* error,
                                                 const char* display) {
    auto conn = XcbConnection::open(display, error);
    if (!conn)
        return nullptr;
    std::unique_ptr<X11Keyboard> keyboard(new X11Keyboard(std::move(conn), scheduler));
    if (!keyboard->setUp(error))
        return nullptr;
    return keyboard;
}

X11Keyboard::X11Keyboard(std::unique_ptr<XcbConnection> conn, Scheduler& scheduler)
    : conn_(std::move(conn)), loop_(*conn_), scheduler_(scheduler) {}

X11Keyboard::~X11Keyboard() {
    alive_->alive = false;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, grab] : grabs_) ungrabLocked(grab);
        grabs_.clear();
        xcb_flush(conn_->get());
    }
    loop_.stop();
}

bool X11Keyboard::setUp(std::string* error) {
    auto* c = conn_->get();
    if (auto* xtest = xcb_get_extension_data(c, &xcb_test_id); xtest && xtest->present)
        hasXTest_ = true;
    if (auto* xi = xcb_get_extension_data(c, &xcb_input_id); xi && xi->present) {
        XcbReply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        if (version && version->major_version >= 2) {
            xinputOpcode_ = xi->major_opcode;
            struct {
                xcb_input_event_mask_t head;
                uint32_t mask;
            } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                   XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
            xcb_input_xi_select_events(c, conn_->root(), 1, &mask.head);
            hasXI2_ = true;
        }
    }
    {
        std::lock_guard lock(mutex_);
        loadMappingLocked();
    }
    xcb_flush(c);
    if (conn_->failed()) {
        if (error)
            *error = "the X connection failed while setting up the keyboard";
        return false;
    }
    EventLoop::Handler handler;
    handler.event = [this](xcb_generic_event_t* ev) { onEvent(ev); };
    loop_.start(std::move(handler));
    return true;
}

// ---------------------------------------------------------------- key map

void X11Keyboard::loadMappingLocked() {
    auto* c = conn_->get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    minKeycode_ = setup->min_keycode;
    maxKeycode_ = setup->max_keycode;
    XcbReply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, minKeycode_, uint8_t(maxKeycode_ - minKeycode_ + 1)), nullptr));
    if (map) {
        symsPerCode_ = map->keysyms_per_keycode;
        auto* syms = xcb_get_keyboard_mapping_keysyms(map.get());
        keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map.get()));
    }
    XcbReply<xcb_get_modifier_mapping_reply_t> mods(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (mods) {
        codesPerModifier_ = mods->keycodes_per_modifier;
        auto* codes = xcb_get_modifier_mapping_keycodes(mods.get());
        modifierKeycodes_.assign(codes, codes + xcb_get_modifier_mapping_keycodes_length(mods.get()));
    }
    // Which modifier bit NumLock, Alt and Super sit on differs between layouts.
    auto maskOf = [&](uint32_t sym) -> uint16_t {
        for (size_t i = 0; i < modifierKeycodes_.size(); ++i)
            if (modifierKeycodes_[i] && keysymLocked(modifierKeycodes_[i]) == sym)
                return uint16_t(1u << (i / std::max<uint8_t>(codesPerModifier_, 1)));
        return 0;
    };
    numLockMask_ = maskOf(keysym::numLock);
    if (auto m = maskOf(keysym::altL))
        altMask_ = m;
    if (auto m = maskOf(keysym::superL))
        superMask_ = m;
}

uint32_t X11Keyboard::keysymLocked(uint8_t keycode) const {
    if (keycode < minKeycode_ || !symsPerCode_)
        return 0;
    size_t index = size_t(keycode - minKeycode_) * symsPerCode_;
    return index < keysyms_.size() ? keysyms_[index] : 0;
}

std::optional<uint8_t> X11Keyboard::keycodeLocked(uint32_t keysym) const {
    if (!symsPerCode_)
        return std::nullopt;
    // The unshifted column first, then the shifted one.
    for (size_t column = 0; column < std::min<size_t>(symsPerCode_, 2); ++column)
        for (size_t code = minKeycode_; code <= maxKeycode_; ++code) {
            size_t index = (code - minKeycode_) * symsPerCode_ + column;
            if (index < keysyms_.size() && keysyms_[index] == keysym)
                return uint8_t(code);
        }
    return std::nullopt;
}

uint16_t X11Keyboard::xModifiersLocked(uint32_t carbon) const {
    uint16_t mods = 0;
    if (carbon & KeyCombo::control)
        mods |= XCB_MOD_MASK_CONTROL;
    if (carbon & KeyCombo::shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (carbon & KeyCombo::option)
        mods |= altMask_;
    if (carbon & KeyCombo::command)
        mods |= superMask_;
    return mods;
}

std::vector<uint16_t> X11Keyboard::lockVariantsLocked() const {
    std::vector<uint16_t> v{0, XCB_MOD_MASK_LOCK};
    if (numLockMask_) {
        v.push_back(numLockMask_);
        v.push_back(uint16_t(numLockMask_ | XCB_MOD_MASK_LOCK));
    }
    return v;
}

// ---------------------------------------------------------------- hot keys

bool X11Keyboard::grabLocked(Grab& grab) {
    auto* c = conn_->get();
    auto sym = keysymForKeyCode(grab.combo.keyCode);
    if (!sym)
        return false;
    auto code = keycodeLocked(*sym);
    if (!code)
        return false;
    grab.keycode = *code;
    grab.modifiers = xModifiersLocked(grab.combo.carbonModifiers);
    std::vector<uint16_t> done;
    for (uint16_t variant : lockVariantsLocked()) {
        auto cookie = xcb_grab_key_checked(c, 1, conn_->root(), uint16_t(grab.modifiers | variant),
                                           grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // Checked at once: another client's grab is a BadAccess error.
        if (XcbReply<xcb_generic_error_t> err{xcb_request_check(c, cookie)}) {
            for (uint16_t d : done)
                xcb_ungrab_key(c, grab.keycode, conn_->root(), uint16_t(grab.modifiers | d));
            xcb_flush(c);
            return false;
        }
        done.push_back(variant);
    }
    return true;
}

void X11Keyboard::ungrabLocked(const Grab& grab) {
    for (uint16_t variant : lockVariantsLocked())
        xcb_ungrab_key(conn_->get(), grab.keycode, conn_->root(), uint16_t(grab.modifiers | variant));
}

bool X11Keyboard::registerHotKey(uint32_t id, const KeyCombo& combo) {
    std::lock_guard lock(mutex_);
    if (auto it = grabs_.find(id); it != grabs_.end()) {
        ungrabLocked(it->second);
        grabs_.erase(it);
    }
    Grab grab{0, 0, combo};
    if (!grabLocked(grab))
        return false;
    grabs_[id] = grab;
    xcb_flush(conn_->get());
    return true;
}

void X11Keyboard::unregisterHotKey(uint32_t id) {
    std::lock_guard lock(mutex_);
    if (auto it = grabs_.find(id); it != grabs_.end()) {
        ungrabLocked(it->second);
        grabs_.erase(it);
        // A round trip, so the combination is free for others once this returns.
        auto* c = conn_->get();
        XcbReply<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
}

void X11Keyboard::setPressHandler(PressHandler handler) {
    pressHandler_ = std::move(handler);
}
void X11Keyboard::setHandler(KeyEventSource::Handler handler) {
    keyHandler_ = std::move(handler);
}

// ---------------------------------------------------------------- events

void X11Keyboard::onEvent(xcb_generic_event_t* ev) {
    uint8_t type = ev->response_type & 0x7F;
    if (type == XCB_KEY_PRESS) {
        auto* e = reinterpret_cast<xcb_key_press_event_t*>(ev);
        std::optional<uint32_t> id;
        {
            std::lock_guard lock(mutex_);
            uint16_t ignored = uint16_t(XCB_MOD_MASK_LOCK | numLockMask_);
            uint16_t relevant = uint16_t(XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | altMask_ | superMask_);
            for (auto& [gid, grab] : grabs_)
                if (grab.keycode == e->detail && (e->state & ~ignored & relevant) == grab.modifiers)
                    id = gid;
        }
        if (id)
            scheduler_.post([this, alive = alive_, id = *id] {
                if (alive->alive && pressHandler_)
                    pressHandler_(id);
            });
        return;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        // A new layout moves keys and modifier bits: grab again from the stored combos.
        std::lock_guard lock(mutex_);
        for (auto& [id, grab] : grabs_) ungrabLocked(grab);
        loadMappingLocked();
        for (auto it = grabs_.begin(); it != grabs_.end();) {
            if (grabLocked(it->second))
                ++it;
            else
                it = grabs_.erase(it);
        }
        xcb_flush(conn_->get());
        return;
    }
    if (type == XCB_GE_GENERIC && hasXI2_) {
        auto* ge = reinterpret_cast<xcb_ge_generic_event_t*>(ev);
        if (ge->extension != xinputOpcode_ ||
            (ge->event_type != XCB_INPUT_RAW_KEY_PRESS && ge->event_type != XCB_INPUT_RAW_KEY_RELEASE))
            return;
        auto* raw = reinterpret_cast<xcb_input_raw_key_press_event_t*>(ev);
        if (raw->flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT)
            return;
        uint32_t sym;
        {
            std::lock_guard lock(mutex_);
            sym = keysymLocked(uint8_t(raw->detail));
        }
        KeyStateEvent event;
        switch (modifierKind(sym)) {
            case ModifierKind::control:
                event.key = KeyStateEvent::Key::control;
                break;
            case ModifierKind::alt:
                event.key = KeyStateEvent::Key::alt;
                break;
            case ModifierKind::shift:
                event.key = KeyStateEvent::Key::shift;
                break;
            case ModifierKind::super:
                event.key = KeyStateEvent::Key::super;
                break;
            case ModifierKind::ignored:
                return;
            case ModifierKind::none:
                event.key = KeyStateEvent::Key::other;
                break;
        }
        event.down = ge->event_type == XCB_INPUT_RAW_KEY_PRESS;
        event.time =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        scheduler_.post([this, alive = alive_, event] {
            if (alive->alive && keyHandler_)
                keyHandler_(event);
        });
    }
}

// ---------------------------------------------------------------- keystrokes

bool X11Keyboard::keysHeld() {
    auto* c = conn_->get();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return false;
    std::lock_guard lock(mutex_);
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        if (!(keymap->keys[code / 8] & (1 << (code % 8))))
            continue;
        if (modifierKind(keysymLocked(uint8_t(code))) != ModifierKind::ignored)
            return true;
    }
    return false;
}

void X11Keyboard::press(uint32_t keyCode, uint32_t modifiers) {
    loop_.post([this, keyCode, modifiers] { sendKeystroke(keyCode, modifiers); });
}

void X11Keyboard::sendKeystroke(uint32_t keyCode, uint32_t modifiers) {
    if (!hasXTest_)
        return;
    // The user may still hold the shortcut that asked for this keystroke:
    // the target would see Ctrl+Alt+V instead of Ctrl+V, and while the
    // shortcut's own key is down its grab sends every key to us, not to the
    // target (modifiers are often let go before the letter). Wait a little.
    auto until = Clock::now() + modifierReleaseWait;
    while (keysHeld() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    std::vector<uint8_t> held;
    std::optional<uint8_t> key;
    {
        std::lock_guard lock(mutex_);
        auto add = [&](uint32_t sym) {
            if (auto code = keycodeLocked(sym))
                held.push_back(*code);
        };
        if (modifiers & KeyCombo::control)
            add(keysym::controlL);
        if (modifiers & KeyCombo::option)
            add(keysym::altL);
        if (modifiers & KeyCombo::shift)
            add(keysym::shiftL);
        if (modifiers & KeyCombo::command)
            add(keysym::superL);
        if (auto sym = keysymForKeyCode(keyCode))
            key = keycodeLocked(*sym);
    }
    if (!key)
        return;
    auto* c = conn_->get();
    auto fake = [&](uint8_t type, uint8_t code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, conn_->root(), 0, 0, 0);
    };
    for (auto code : held) fake(XCB_KEY_PRESS, code);
    fake(XCB_KEY_PRESS, *key);
    fake(XCB_KEY_RELEASE, *key);
    for (auto it = held.rbegin(); it != held.rend(); ++it) fake(XCB_KEY_RELEASE, *it);
    xcb_flush(c);
}

}  // namespace dz::x11
