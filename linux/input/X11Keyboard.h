#pragma once
// The keyboard on X11, on its own connection and thread: global shortcuts
// (key grabs on the root window), key presses and releases for the Alt-tap
// detector (XInput2 raw events: no grab, no polling) and synthetic
// keystrokes (XTest).

#include <atomic>
#include <bitset>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/platform/HotKeyService.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/KeystrokeSender.h"
#include "app/platform/Scheduler.h"
#include "linux/x11/EventLoop.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

class X11Keyboard final : public HotKeyService, public KeyEventSource, public KeystrokeSender {
  public:
    static std::unique_ptr<X11Keyboard> create(Scheduler& scheduler, std::string* error = nullptr,
                                               const char* display = nullptr);
    ~X11Keyboard() override;

    bool registerHotKey(uint32_t id, const KeyCombo& combo) override;
    void unregisterHotKey(uint32_t id) override;
    void setPressHandler(PressHandler handler) override;

    void setHandler(KeyEventSource::Handler handler) override;
    std::optional<bool> isHeld(KeyStateEvent::Key key) const override;

    bool canSendKeystrokes() const override { return hasXTest_; }
    bool reachesKnownWindowsOnly() const override { return underXwayland_; }
    // Set where the display is Xwayland.
    void setUnderXwayland(bool under) { underXwayland_ = under; }
    void press(uint32_t keyCode, uint32_t modifiers) override;

    // Whether raw key events arrive (the server has XInput 2).
    bool watchesKeys() const { return hasXI2_; }
    // How long `press` waits at most for the shortcut's own keys to come up:
    // first its letter (while that is down, the shortcut's grab would take
    // the keystroke), then its modifiers. Modifiers still held after that
    // are lifted for the keystroke and pressed again afterwards while the
    // user's keyboard still holds them.
    std::chrono::milliseconds letterReleaseWait{4000};
    std::chrono::milliseconds modifierReleaseWait{300};

  private:
    struct Grab {
        uint8_t keycode = 0;
        uint16_t modifiers = 0;
        KeyCombo combo;
    };
    struct Alive {
        std::atomic<bool> alive{true};
    };

    X11Keyboard(std::unique_ptr<XcbConnection> conn, Scheduler& scheduler);
    bool setUp(std::string* error);
    void onEvent(xcb_generic_event_t* ev);
    void loadMappingLocked();
    std::optional<uint8_t> keycodeLocked(uint32_t keysym) const;
    uint32_t keysymLocked(uint8_t keycode) const;
    uint16_t xModifiersLocked(uint32_t carbonModifiers) const;
    std::vector<uint16_t> lockVariantsLocked() const;
    bool grabLocked(Grab& grab);
    void ungrabLocked(const Grab& grab);
    void ungrabLocked(const Grab& grab, const std::vector<uint16_t>& variants);
    void sendKeystroke(uint32_t keyCode, uint32_t modifiers);
    void onRawKey(uint16_t sourceID, uint32_t keycode, bool down);
    bool isXTestDevice(uint16_t deviceID);
    // The keys down on the server now (any device, ours included).
    std::optional<std::bitset<256>> serverKeys();
    // Which of these keys are modifiers (lock keys and AltGr are not).
    std::vector<uint8_t> modifiersAmong(const std::bitset<256>& keys);
    bool anyKeyBesidesModifiers(const std::bitset<256>& keys);
    // The keys the real keyboards (not the XTest devices) hold now.
    std::bitset<256> physicalKeys();
    // Handles events until `until`; with a round trip first, everything the
    // server sent before now has been handled when it returns.
    void pump(std::chrono::steady_clock::time_point until, bool roundTrip = false);
    void fakeKey(uint8_t type, uint8_t keycode);

    std::unique_ptr<XcbConnection> conn_;
    EventLoop loop_;
    Scheduler& scheduler_;
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
    bool hasXTest_ = false;
    bool underXwayland_ = false;
    bool hasXI2_ = false;
    uint8_t xinputOpcode_ = 0;

    // Main thread.
    PressHandler pressHandler_;
    KeyEventSource::Handler keyHandler_;

    // Shared with the keyboard thread.
    mutable std::mutex mutex_;
    uint8_t minKeycode_ = 8, maxKeycode_ = 255;
    uint8_t symsPerCode_ = 0;
    std::vector<uint32_t> keysyms_;
    std::vector<uint8_t> modifierKeycodes_;  // 8 groups of `codesPerModifier_`
    uint8_t codesPerModifier_ = 0;
    uint16_t numLockMask_ = 0, altMask_ = XCB_MOD_MASK_1, superMask_ = XCB_MOD_MASK_4;
    std::map<uint32_t, Grab> grabs_;

    // Keyboard thread only.
    std::map<uint16_t, bool> xtestDevices_;
    // Modifiers we pressed again for the user after a keystroke: when the
    // user's keyboard lets one go, the XTest device lets go too, or its next
    // press of that key would be taken for a repeat and lost.
    std::set<uint8_t> repressed_;
    // Grabbed keys that are down, to tell auto-repeat from a new press.
    std::set<uint8_t> grabbedDown_;
    uint8_t lastGrabRelease_ = 0;
    xcb_timestamp_t lastGrabReleaseTime_ = 0;
};

}  // namespace dz::x11
