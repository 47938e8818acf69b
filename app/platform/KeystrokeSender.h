#pragma once

#include <cstdint>

namespace dz {

// Presses keys on the user's behalf.
class KeystrokeSender {
  public:
    virtual ~KeystrokeSender() = default;

    // Whether keystrokes can be sent on this desktop at all (on X11: the XTest
    // extension is there). Main thread.
    virtual bool canSendKeystrokes() const = 0;
    // Whether keys reach only the windows the workspace knows: X11's through
    // Xwayland, where a native Wayland application in front (no known front
    // application) would get nothing.
    virtual bool reachesKnownWindowsOnly() const { return false; }

    // Presses and releases the key with this stored key code (the codes of
    // `KeyCombo`) while holding the modifiers of this mask (`KeyCombo::control`,
    // `option` = Alt, `shift`, `command` = Super). The user's own held
    // modifiers must not leak into the keystroke. Main thread; returns at once.
    virtual void press(uint32_t keyCode, uint32_t modifiers) = 0;
};

}  // namespace dz
