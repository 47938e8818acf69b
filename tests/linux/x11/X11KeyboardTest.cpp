// Shortcuts, raw key events and synthetic keystrokes on a real X server.
#include <gtest/gtest.h>

#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "app/input/KeyNames.h"
#include "linux/input/KeySyms.h"
#include "linux/input/X11Keyboard.h"
#include "tests/linux/x11/PumpScheduler.h"

namespace dz::x11 {
namespace {

using namespace std::chrono_literals;
using test::PumpScheduler;
using Key = KeyStateEvent::Key;

KeyCombo combo(const char* text) {
    return *keynames::parse(text);
}

// The first key code whose unshifted symbol is `sym`; 0 when none is.
uint8_t keyCodeFor(xcb_connection_t* c, uint32_t sym) {
    auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, 8, 248), nullptr);
    if (!map)
        return 0;
    uint8_t code = 0;
    auto* syms = xcb_get_keyboard_mapping_keysyms(map);
    for (int i = 0; i < xcb_get_keyboard_mapping_keysyms_length(map) && !code; i += map->keysyms_per_keycode)
        if (syms[i] == sym)
            code = uint8_t(8 + i / map->keysyms_per_keycode);
    free(map);
    return code;
}

// A user's key going down or up, typed through XTest on its own connection.
void fakeKey(xcb_connection_t* c, uint8_t type, uint8_t code) {
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_flush(c);
}

class X11KeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        keyboard = X11Keyboard::create(scheduler, &error);
        ASSERT_TRUE(keyboard) << error;
        keyboard->setPressHandler([this](uint32_t id) { presses.push_back(id); });
        keyboard->setHandler([this](const KeyStateEvent& e) { keys.push_back(e); });
    }
    PumpScheduler scheduler;
    std::unique_ptr<X11Keyboard> keyboard;
    std::vector<uint32_t> presses;
    std::vector<KeyStateEvent> keys;
};

TEST_F(X11KeyboardTest, AShortcutHeldByAnotherClientIsRefused) {
    auto other = X11Keyboard::create(scheduler);
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->registerHotKey(1, combo("Ctrl+Alt+V")));
    EXPECT_FALSE(keyboard->registerHotKey(7, combo("Ctrl+Alt+V")));
    EXPECT_TRUE(keyboard->registerHotKey(8, combo("Ctrl+Alt+M")));
    // Once released, it can be had.
    other->unregisterHotKey(1);
    EXPECT_TRUE(keyboard->registerHotKey(7, combo("Ctrl+Alt+V")));
}

TEST_F(X11KeyboardTest, SyntheticKeystrokesReachShortcutsAndTheKeyWatcher) {
    ASSERT_TRUE(keyboard->canSendKeystrokes());
    ASSERT_TRUE(keyboard->watchesKeys());
    ASSERT_TRUE(keyboard->registerHotKey(3, combo("Ctrl+Alt+M")));
    ASSERT_TRUE(keyboard->registerHotKey(4, combo("Shift+Super+F5")));
    auto sender = X11Keyboard::create(scheduler);
    ASSERT_TRUE(sender);
    // One shortcut at a time, as a person presses them.
    sender->press(*keynames::keyCode("M"), KeyCombo::control | KeyCombo::option);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return presses.size() == 1; }));
    sender->press(*keynames::keyCode("F5"), KeyCombo::shift | KeyCombo::command);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return presses.size() == 2; }));
    sender->press(*keynames::keyCode("M"), KeyCombo::control);  // not a shortcut
    ASSERT_TRUE(scheduler.pumpUntil([&] {
        return !keys.empty() && keys.back().key == Key::control && !keys.back().down && keys.size() > 10;
    }));
    scheduler.pump(100ms);
    EXPECT_EQ(presses, (std::vector<uint32_t>{3, 4}));
    // The watcher saw every press and the modifiers' releases, in order. (The
    // release of a grabbed key belongs to the grab and may not be reported.)
    std::vector<std::pair<Key, bool>> seen;
    for (auto& k : keys)
        if (k.key != Key::other || k.down)
            seen.push_back({k.key, k.down});
    std::vector<std::pair<Key, bool>> expected{
        {Key::control, true},  {Key::alt, true},    {Key::other, true},   {Key::alt, false},
        {Key::control, false}, {Key::shift, true},  {Key::super, true},   {Key::other, true},
        {Key::super, false},   {Key::shift, false}, {Key::control, true}, {Key::other, true},
        {Key::control, false}};
    EXPECT_EQ(seen, expected);
    for (size_t i = 1; i < keys.size(); ++i) EXPECT_LE(keys[i - 1].time, keys[i].time);
}

TEST_F(X11KeyboardTest, AnAltTapIsSeenAndKeystrokesWaitForHeldModifiers) {
    // A user's Alt tap, typed through XTest on a separate connection.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const uint8_t altCode = keyCodeFor(c, keysym::altL), ctrlCode = keyCodeFor(c, keysym::controlR);
    ASSERT_NE(altCode, 0);
    ASSERT_NE(ctrlCode, 0);
    fakeKey(c, XCB_KEY_PRESS, altCode);
    fakeKey(c, XCB_KEY_RELEASE, altCode);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return keys.size() >= 2; }));
    EXPECT_EQ(keys[0].key, Key::alt);
    EXPECT_TRUE(keys[0].down);
    EXPECT_EQ(keys[1].key, Key::alt);
    EXPECT_FALSE(keys[1].down);

    // The user still holds Ctrl when a shortcut asks for Ctrl+V: the keystroke
    // waits for the release (here 300 ms later).
    keys.clear();
    fakeKey(c, XCB_KEY_PRESS, ctrlCode);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return keys.size() >= 1; }));
    keyboard->press(*keynames::keyCode("V"), KeyCombo::control);
    std::this_thread::sleep_for(150ms);
    fakeKey(c, XCB_KEY_RELEASE, ctrlCode);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return keys.size() >= 6; }));
    // Ctrl (the user's) down, up; then our Ctrl down, V down, V up, Ctrl up.
    EXPECT_EQ(keys[1].key, Key::control);
    EXPECT_FALSE(keys[1].down);
    EXPECT_EQ(keys[3].key, Key::other);
    EXPECT_TRUE(keys[3].down);
    xcb_disconnect(c);
}

TEST_F(X11KeyboardTest, KeystrokesWaitForAShortcutsLetterLetGoAfterItsModifiers) {
    // Ctrl+M pressed, Ctrl let go first, M still down: while it is down the
    // shortcut's grab would take our Ctrl+V away from the target.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const uint8_t ctrlCode = keyCodeFor(c, keysym::controlR), mCode = keyCodeFor(c, 'm');
    ASSERT_NE(ctrlCode, 0);
    ASSERT_NE(mCode, 0);
    auto fake = [&](uint8_t type, uint8_t key) { fakeKey(c, type, key); };
    fake(XCB_KEY_PRESS, ctrlCode);
    fake(XCB_KEY_PRESS, mCode);
    fake(XCB_KEY_RELEASE, ctrlCode);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return keys.size() >= 3; }));
    keyboard->press(*keynames::keyCode("V"), KeyCombo::control);
    std::this_thread::sleep_for(200ms);
    fake(XCB_KEY_RELEASE, mCode);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return keys.size() >= 8; }));
    // M up comes first, then our Ctrl down, V down, V up, Ctrl up.
    std::vector<std::pair<Key, bool>> seen;
    for (size_t i = 3; i < 8; ++i) seen.push_back({keys[i].key, keys[i].down});
    EXPECT_EQ(seen, (std::vector<std::pair<Key, bool>>{{Key::other, false},
                                                       {Key::control, true},
                                                       {Key::other, true},
                                                       {Key::other, false},
                                                       {Key::control, false}}));
    xcb_disconnect(c);
}

// The user's own keyboard: keys go down on the server's real keyboard device
// (Xvfb's "Xvfb keyboard", through XTest's device events), not on an XTest
// device, as a person's hands would.
class UserKeyboard {
  public:
    UserKeyboard() : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        auto* xi = xcb_get_extension_data(c_, &xcb_input_id);
        if (!xi || !xi->present)
            return;
        xiFirstEvent_ = xi->first_event;
        auto* reply =
            xcb_input_xi_query_device_reply(c_, xcb_input_xi_query_device(c_, XCB_INPUT_DEVICE_ALL), nullptr);
        if (!reply)
            return;
        for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem;
             xcb_input_xi_device_info_next(&it)) {
            std::string name(xcb_input_xi_device_info_name(it.data),
                             size_t(xcb_input_xi_device_info_name_length(it.data)));
            if (it.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD &&
                name.find("XTEST") == std::string::npos)
                device_ = uint8_t(it.data->deviceid);
        }
        free(reply);
    }
    ~UserKeyboard() {
        // A failed check leaves no key down for the next test.
        for (uint8_t code : std::vector<uint8_t>(held_.begin(), held_.end())) key(code, false);
        xcb_disconnect(c_);
    }
    bool available() const { return device_ != 0; }
    xcb_connection_t* connection() const { return c_; }
    void key(uint8_t code, bool down) {
        if (down)
            held_.insert(code);
        else
            held_.erase(code);
        // XInput 1's DeviceKeyPress and DeviceKeyRelease follow its first event number.
        xcb_test_fake_input(c_, uint8_t(xiFirstEvent_ + (down ? 1 : 2)), code, XCB_CURRENT_TIME, root_, 0, 0,
                            device_);
        xcb_flush(c_);
    }
    // The modifiers down on the server, whoever holds them.
    std::vector<uint8_t> modifiersDown(const std::vector<uint8_t>& modifierCodes) {
        std::vector<uint8_t> down;
        auto* keymap = xcb_query_keymap_reply(c_, xcb_query_keymap(c_), nullptr);
        for (uint8_t code : modifierCodes)
            if (keymap && (keymap->keys[code / 8] & (1 << (code % 8))))
                down.push_back(code);
        free(keymap);
        return down;
    }

  private:
    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    uint8_t xiFirstEvent_ = 0;
    uint8_t device_ = 0;
    std::set<uint8_t> held_;
};

// Tests that type on the user's own keyboard.
class UserKeyboardTest : public X11KeyboardTest {
  protected:
    void SetUp() override {
        X11KeyboardTest::SetUp();
        if (HasFatalFailure())
            return;
        if (!user.available())
            GTEST_SKIP() << "no keyboard device besides XTest on this server";
        ctrl = keyCodeFor(user.connection(), keysym::controlL);
        alt = keyCodeFor(user.connection(), keysym::altL);
        ASSERT_TRUE(ctrl && alt);
    }
    // Ctrl+Alt+`key`, pressed and let go.
    void ctrlAlt(uint8_t key) {
        for (uint8_t code : {ctrl, alt, key}) user.key(code, true);
        for (uint8_t code : {key, alt, ctrl}) user.key(code, false);
    }
    UserKeyboard user;
    uint8_t ctrl = 0, alt = 0;
};

// Each switch between the user's keyboard and XTest makes the server report
// a new key map; shortcuts pressed right after one of our keystrokes still
// reach us.
TEST_F(UserKeyboardTest, ShortcutsRightAfterOurKeystrokesAreSeen) {
    const uint8_t m = keyCodeFor(user.connection(), 'm');
    ASSERT_NE(m, 0);
    ASSERT_TRUE(keyboard->registerHotKey(1, combo("Ctrl+Alt+M")));
    constexpr size_t rounds = 15;
    for (size_t i = 0; i < rounds; ++i) {
        keyboard->press(*keynames::keyCode("F8"), 0);
        // Apart by more than the server's clock tick, or it is a key repeat.
        std::this_thread::sleep_for(10ms);
        scheduler.pump(5ms);
        ctrlAlt(m);
        ASSERT_TRUE(scheduler.pumpUntil([&] { return presses.size() == i + 1; })) << "round " << i;
    }
}

// A new layout that moves a shortcut's key: the grab follows it.
TEST_F(UserKeyboardTest, AShortcutFollowsItsKeyToANewKeyCode) {
    xcb_connection_t* c = user.connection();
    const uint8_t m = keyCodeFor(c, 'm');
    ASSERT_NE(m, 0);
    auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, 8, 248), nullptr);
    ASSERT_TRUE(map);
    const uint8_t width = map->keysyms_per_keycode;
    const uint32_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    uint8_t spare = 0;  // a key code with no symbol at all
    for (int code = 255; code > 8 && !spare; --code)
        if (std::all_of(syms + (code - 8) * width, syms + (code - 7) * width, [](uint32_t s) { return !s; }))
            spare = uint8_t(code);
    const std::vector<uint32_t> mSyms(syms + (m - 8) * width, syms + (m - 7) * width);
    free(map);
    ASSERT_NE(spare, 0);
    ASSERT_TRUE(keyboard->registerHotKey(1, combo("Ctrl+Alt+M")));

    auto remap = [&](uint8_t code, const std::vector<uint32_t>& to) {
        xcb_change_keyboard_mapping(c, 1, code, width, to.data());
        xcb_flush(c);
    };
    remap(spare, mSyms);
    remap(m, std::vector<uint32_t>(width, 0));
    scheduler.pump(300ms);
    ctrlAlt(m);
    scheduler.pump(200ms);
    EXPECT_TRUE(presses.empty()) << "the old key code is still grabbed";
    ctrlAlt(spare);
    EXPECT_TRUE(scheduler.pumpUntil([&] { return presses.size() == 1; }));
    remap(m, mSyms);
    remap(spare, std::vector<uint32_t>(width, 0));
    scheduler.pump(300ms);
}

// A focused window of another client that records the keys it receives.
class TargetWindow {
  public:
    TargetWindow() : c_(xcb_connect(nullptr, nullptr)) {
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        window_ = xcb_generate_id(c_);
        uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, root, 0, 0, 200, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        xcb_map_window(c_, window_);
        xcb_flush(c_);
        std::this_thread::sleep_for(200ms);
        xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
        free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~TargetWindow() { xcb_disconnect(c_); }
    // The modifier state of each press of `code` received so far.
    std::vector<uint16_t> pressesOf(uint8_t code) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
            if ((ev->response_type & 0x7F) == XCB_KEY_PRESS) {
                auto* e = reinterpret_cast<xcb_key_press_event_t*>(ev);
                if (e->detail == code)
                    presses_.push_back(uint16_t(e->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL |
                                                            XCB_MOD_MASK_1 | XCB_MOD_MASK_4)));
            }
            free(ev);
        }
        return presses_;
    }

  private:
    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
    std::vector<uint16_t> presses_;
};

struct HeldChord {
    const char* shortcut;  // Ctrl+Alt+ this letter
    std::chrono::milliseconds hold;
};

class HeldChordTest : public UserKeyboardTest, public ::testing::WithParamInterface<HeldChord> {};

// A one-shot shortcut held like any chord: its letter and modifiers held for
// a while, the letter let go, the modifiers as long again. The target gets
// exactly Ctrl+V, the shortcut runs once, and nothing stays down.
TEST_P(HeldChordTest, TheTargetGetsCtrlVAndNoModifierStaysDown) {
    xcb_connection_t* c = user.connection();
    const uint8_t letter = keyCodeFor(c, uint32_t(std::tolower(GetParam().shortcut[0]))),
                  v = keyCodeFor(c, 'v');
    ASSERT_TRUE(letter && v);
    TargetWindow target;
    ASSERT_TRUE(keyboard->registerHotKey(1, combo((std::string("Ctrl+Alt+") + GetParam().shortcut).c_str())));

    user.key(ctrl, true);
    user.key(alt, true);
    user.key(letter, true);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return !presses.empty(); }));
    keyboard->press(*keynames::keyCode("V"), KeyCombo::control);
    const auto holdUntil = std::chrono::steady_clock::now() + GetParam().hold;
    while (std::chrono::steady_clock::now() < holdUntil) scheduler.pump(10ms);
    // Nothing is typed while the shortcut's letter is down.
    EXPECT_TRUE(target.pressesOf(v).empty());
    user.key(letter, false);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return !target.pressesOf(v).empty(); }));
    const auto modifiersUntil = std::chrono::steady_clock::now() + GetParam().hold;
    while (std::chrono::steady_clock::now() < modifiersUntil) scheduler.pump(10ms);
    user.key(alt, false);
    user.key(ctrl, false);
    scheduler.pump(200ms);

    EXPECT_EQ(target.pressesOf(v), std::vector<uint16_t>{XCB_MOD_MASK_CONTROL});
    EXPECT_EQ(presses, std::vector<uint32_t>{1});
    EXPECT_TRUE(user.modifiersDown({ctrl, alt}).empty());
    // Our next keystroke is whole: no press of ours was left pending.
    keyboard->press(*keynames::keyCode("V"), KeyCombo::control);
    ASSERT_TRUE(scheduler.pumpUntil([&] { return target.pressesOf(v).size() == 2; }));
    EXPECT_EQ(target.pressesOf(v).back(), XCB_MOD_MASK_CONTROL);
    scheduler.pump(100ms);
    EXPECT_TRUE(user.modifiersDown({ctrl, alt}).empty());
}

INSTANTIATE_TEST_SUITE_P(OneShotShortcuts, HeldChordTest,
                         ::testing::Values(HeldChord{"M", 100ms}, HeldChord{"M", 600ms},
                                           HeldChord{"M", 2000ms}, HeldChord{"V", 100ms},
                                           HeldChord{"V", 600ms}, HeldChord{"V", 2000ms}),
                         [](const auto& info) {
                             return std::string("CtrlAlt") + info.param.shortcut + "Held" +
                                    std::to_string(info.param.hold.count()) + "ms";
                         });

}  // namespace
}  // namespace dz::x11
