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
            // Raw key events come through the masters, each naming the device
            // it came from; a change of devices may reuse their numbers.
            struct {
                xcb_input_event_mask_t keysHead;
                uint32_t keys;
                xcb_input_event_mask_t devicesHead;
                uint32_t devices;
            } masks{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                    XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE,
                    {XCB_INPUT_DEVICE_ALL, 1},
                    XCB_INPUT_XI_EVENT_MASK_HIERARCHY};
            xcb_input_xi_select_events(c, conn_->root(), 2, &masks.keysHead);
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
    ungrabLocked(grab, lockVariantsLocked());
}

void X11Keyboard::ungrabLocked(const Grab& grab, const std::vector<uint16_t>& variants) {
    for (uint16_t variant : variants)
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
        // A held key repeats as release and press at the same time (or as
        // presses alone): one shortcut press runs its action once.
        const bool repeat = grabbedDown_.count(e->detail) ||
                            (e->detail == lastGrabRelease_ && e->time == lastGrabReleaseTime_);
        grabbedDown_.insert(e->detail);
        if (repeat)
            return;
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
    if (type == XCB_KEY_RELEASE) {
        auto* e = reinterpret_cast<xcb_key_release_event_t*>(ev);
        grabbedDown_.erase(e->detail);
        lastGrabRelease_ = e->detail;
        lastGrabReleaseTime_ = e->time;
        return;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        if (reinterpret_cast<xcb_mapping_notify_event_t*>(ev)->request == XCB_MAPPING_POINTER)
            return;
        // The server reports a new map each time keys come from another
        // device (the user's keyboard after our XTest keys), mostly the same
        // map. A grab is lifted only when its key or modifiers moved: while
        // lifted it misses the shortcut the user is pressing.
        std::lock_guard lock(mutex_);
        const auto oldVariants = lockVariantsLocked();
        loadMappingLocked();
        const bool sameVariants = lockVariantsLocked() == oldVariants;
        for (auto it = grabs_.begin(); it != grabs_.end();) {
            Grab& grab = it->second;
            auto sym = keysymForKeyCode(grab.combo.keyCode);
            auto code = sym ? keycodeLocked(*sym) : std::nullopt;
            if (sameVariants && code == grab.keycode &&
                xModifiersLocked(grab.combo.carbonModifiers) == grab.modifiers) {
                ++it;
                continue;
            }
            ungrabLocked(grab, oldVariants);
            if (grabLocked(grab))
                ++it;
            else
                it = grabs_.erase(it);
        }
        xcb_flush(conn_->get());
        return;
    }
    if (type == XCB_GE_GENERIC && hasXI2_) {
        auto* ge = reinterpret_cast<xcb_ge_generic_event_t*>(ev);
        if (ge->extension != xinputOpcode_)
            return;
        if (ge->event_type == XCB_INPUT_HIERARCHY) {
            xtestDevices_.clear();
            return;
        }
        if (ge->event_type != XCB_INPUT_RAW_KEY_PRESS && ge->event_type != XCB_INPUT_RAW_KEY_RELEASE)
            return;
        auto* raw = reinterpret_cast<xcb_input_raw_key_press_event_t*>(ev);
        if (raw->flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT)
            return;
        const bool down = ge->event_type == XCB_INPUT_RAW_KEY_PRESS;
        onRawKey(raw->sourceid, raw->detail, down);
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
        event.right = sym == keysym::controlR || sym == keysym::shiftR || sym == keysym::altR ||
                      sym == keysym::metaR || sym == keysym::superR;
        event.down = down;
        event.time =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        scheduler_.post([this, alive = alive_, event] {
            if (alive->alive && keyHandler_)
                keyHandler_(event);
        });
    }
}

void X11Keyboard::onRawKey(uint16_t sourceID, uint32_t keycode, bool down) {
    if (keycode > 255)
        return;
    // A grab's release may go astray (another client's grab broke ours);
    // the raw events still tell that the key came up.
    if (!down)
        grabbedDown_.erase(uint8_t(keycode));
    if (down || isXTestDevice(sourceID))
        return;
    if (repressed_.erase(uint8_t(keycode))) {
        fakeKey(XCB_KEY_RELEASE, uint8_t(keycode));
        xcb_flush(conn_->get());
    }
}

bool X11Keyboard::isXTestDevice(uint16_t deviceID) {
    if (auto it = xtestDevices_.find(deviceID); it != xtestDevices_.end())
        return it->second;
    // Every master has its XTest slave, named after it ("Virtual core XTEST
    // keyboard"); what xdotool and we type comes from there.
    bool xtest = false;
    auto* c = conn_->get();
    XcbReply<xcb_input_xi_query_device_reply_t> reply(
        xcb_input_xi_query_device_reply(c, xcb_input_xi_query_device(c, deviceID), nullptr));
    if (reply) {
        for (auto it = xcb_input_xi_query_device_infos_iterator(reply.get()); it.rem;
             xcb_input_xi_device_info_next(&it)) {
            std::string_view name(xcb_input_xi_device_info_name(it.data),
                                  size_t(xcb_input_xi_device_info_name_length(it.data)));
            if (it.data->deviceid == deviceID && name.find("XTEST") != std::string_view::npos)
                xtest = true;
        }
    }
    xtestDevices_[deviceID] = xtest;
    return xtest;
}

std::bitset<256> X11Keyboard::physicalKeys() {
    // Each real keyboard's own key state: an XTest release we sent does not
    // change it, and it needs no event to have arrived.
    std::bitset<256> keys;
    auto* c = conn_->get();
    XcbReply<xcb_input_xi_query_device_reply_t> devices(
        xcb_input_xi_query_device_reply(c, xcb_input_xi_query_device(c, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices)
        return keys;
    for (auto it = xcb_input_xi_query_device_infos_iterator(devices.get()); it.rem;
         xcb_input_xi_device_info_next(&it)) {
        std::string_view name(xcb_input_xi_device_info_name(it.data),
                              size_t(xcb_input_xi_device_info_name_length(it.data)));
        if (it.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD ||
            name.find("XTEST") != std::string_view::npos)
            continue;
        XcbReply<xcb_input_query_device_state_reply_t> state(xcb_input_query_device_state_reply(
            c, xcb_input_query_device_state(c, uint8_t(it.data->deviceid)), nullptr));
        if (!state)
            continue;
        for (auto cls = xcb_input_query_device_state_classes_iterator(state.get()); cls.rem;
             xcb_input_input_state_next(&cls)) {
            if (cls.data->class_id != XCB_INPUT_INPUT_CLASS_KEY)
                continue;
            auto* keyState = reinterpret_cast<const xcb_input_key_state_t*>(cls.data);
            for (size_t code = 0; code < 256; ++code)
                if (keyState->keys[code / 8] & (1 << (code % 8)))
                    keys.set(code);
        }
    }
    return keys;
}

// ---------------------------------------------------------------- keystrokes

std::optional<std::bitset<256>> X11Keyboard::serverKeys() {
    auto* c = conn_->get();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return std::nullopt;
    std::bitset<256> keys;
    for (int code = 0; code < 256; ++code)
        if (keymap->keys[code / 8] & (1 << (code % 8)))
            keys.set(size_t(code));
    return keys;
}

std::vector<uint8_t> X11Keyboard::modifiersAmong(const std::bitset<256>& keys) {
    std::vector<uint8_t> out;
    std::lock_guard lock(mutex_);
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        if (!keys.test(size_t(code)))
            continue;
        ModifierKind kind = modifierKind(keysymLocked(uint8_t(code)));
        if (kind != ModifierKind::none && kind != ModifierKind::ignored)
            out.push_back(uint8_t(code));
    }
    return out;
}

std::optional<bool> X11Keyboard::isHeld(KeyStateEvent::Key key) const {
    auto* c = conn_->get();
    XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    if (!keymap)
        return std::nullopt;
    std::lock_guard lock(mutex_);
    for (int code = minKeycode_; code <= maxKeycode_; ++code) {
        if (!(keymap->keys[code / 8] & (1 << (code % 8))))
            continue;
        const ModifierKind kind = modifierKind(keysymLocked(uint8_t(code)));
        if ((key == KeyStateEvent::Key::alt && kind == ModifierKind::alt) ||
            (key == KeyStateEvent::Key::control && kind == ModifierKind::control) ||
            (key == KeyStateEvent::Key::shift && kind == ModifierKind::shift) ||
            (key == KeyStateEvent::Key::super && kind == ModifierKind::super) ||
            (key == KeyStateEvent::Key::other && kind == ModifierKind::none))
            return true;
    }
    return false;
}

bool X11Keyboard::anyKeyBesidesModifiers(const std::bitset<256>& keys) {
    std::lock_guard lock(mutex_);
    for (int code = minKeycode_; code <= maxKeycode_; ++code)
        if (keys.test(size_t(code)) && modifierKind(keysymLocked(uint8_t(code))) == ModifierKind::none)
            return true;
    return false;
}

void X11Keyboard::pump(Clock::time_point until, bool roundTrip) {
    auto* c = conn_->get();
    if (roundTrip) {
        XcbReply<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    loop_.waitFor([](xcb_generic_event_t*) { return false; }, until);
}

void X11Keyboard::fakeKey(uint8_t type, uint8_t keycode) {
    xcb_test_fake_input(conn_->get(), type, keycode, XCB_CURRENT_TIME, conn_->root(), 0, 0, 0);
}

void X11Keyboard::press(uint32_t keyCode, uint32_t modifiers) {
    loop_.post([this, keyCode, modifiers] { sendKeystroke(keyCode, modifiers); });
}

void X11Keyboard::sendKeystroke(uint32_t keyCode, uint32_t modifiers) {
    if (!hasXTest_)
        return;
    // The user may still hold the shortcut that asked for this keystroke.
    // While its letter is down, its grab sends every key to us rather than to
    // the target, so that must come up first.
    const auto letterUntil = Clock::now() + letterReleaseWait;
    std::optional<std::bitset<256>> held;
    for (;;) {
        held = serverKeys();
        if (!held || !anyKeyBesidesModifiers(*held) || Clock::now() >= letterUntil)
            break;
        pump(Clock::now() + std::chrono::milliseconds(10));
    }
    if (!held || anyKeyBesidesModifiers(*held))
        return;
    // Modifiers are often let go a moment after the letter.
    const auto modifiersUntil = Clock::now() + modifierReleaseWait;
    while (!modifiersAmong(*held).empty() && Clock::now() < modifiersUntil) {
        pump(Clock::now() + std::chrono::milliseconds(10));
        if (auto keys = serverKeys())
            held = keys;
    }

    std::vector<uint8_t> ours;
    std::optional<uint8_t> key;
    uint16_t xModifiers = 0;
    std::vector<Grab> matching;
    {
        std::lock_guard lock(mutex_);
        auto add = [&](uint32_t sym) {
            if (auto code = keycodeLocked(sym))
                ours.push_back(*code);
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
        xModifiers = xModifiersLocked(modifiers);
        // Our own shortcut must not catch the keystroke meant for the target.
        if (key)
            for (auto& [id, grab] : grabs_)
                if (grab.keycode == *key && grab.modifiers == xModifiers) {
                    ungrabLocked(grab);
                    matching.push_back(grab);
                }
    }
    if (!key)
        return;

    // Presses of ours the user has let go of meanwhile (their release event
    // may have gone astray) are released first, or the XTest device would
    // take our next press of that key for a repeat.
    pump(Clock::now(), true);
    const std::bitset<256> before = physicalKeys();
    for (auto it = repressed_.begin(); it != repressed_.end();) {
        if (before.test(*it)) {
            ++it;
            continue;
        }
        fakeKey(XCB_KEY_RELEASE, *it);
        it = repressed_.erase(it);
    }
    // As `xdotool --clearmodifiers` does: lift what is held, type, and press
    // again what the user's keyboard still holds.
    const std::vector<uint8_t> lifted = modifiersAmong(*held);
    for (uint8_t code : lifted) fakeKey(XCB_KEY_RELEASE, code);
    for (uint8_t code : ours) fakeKey(XCB_KEY_PRESS, code);
    fakeKey(XCB_KEY_PRESS, *key);
    fakeKey(XCB_KEY_RELEASE, *key);
    for (auto it = ours.rbegin(); it != ours.rend(); ++it) fakeKey(XCB_KEY_RELEASE, *it);
    if (!matching.empty()) {
        std::lock_guard lock(mutex_);
        for (auto& grab : matching)
            for (auto& [id, live] : grabs_)
                if (live.keycode == grab.keycode && live.modifiers == grab.modifiers)
                    grabLocked(live);
    }
    // A key let go after this question releases our press (onRawKey), or
    // at the latest before our next keystroke (above).
    pump(Clock::now(), true);
    const std::bitset<256> after = physicalKeys();
    for (uint8_t code : lifted)
        if (after.test(code)) {
            fakeKey(XCB_KEY_PRESS, code);
            repressed_.insert(code);
        }
    xcb_flush(conn_->get());
}

}  // namespace dz::x11
