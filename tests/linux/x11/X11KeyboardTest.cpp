// Shortcuts, raw key events and synthetic keystrokes on a real X server.
#include <gtest/gtest.h>

#include <xcb/xtest.h>

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
    std::this_thread::sleep_for(300ms);
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

}  // namespace
}  // namespace dz::x11
