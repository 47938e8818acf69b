#pragma once
// Recognises the tap bypass: the tap key (Alt unless the user picked another)
// tapped alone (held under 0.8 s, no other modifier with it, no key pressed
// while it was down) arms the next copy for a few seconds; Alt held while
// copying bypasses that copy as well. Shift and Right Ctrl have no held
// form: they are part of ordinary copy keys.

#include <bitset>
#include <optional>

#include "app/input/TapKey.h"
#include "app/platform/KeyEventSource.h"

namespace dz {

class OptionTapDetector {
  public:
    static constexpr double maximumHold = 0.8;  // seconds
    static constexpr double keySlack = 0.05;    // a key this close to the release still spoils the tap

    // Which key's tap counts; a change forgets a hold in progress and an
    // armed tap.
    void setTapKey(TapKey key);
    TapKey tapKey() const { return tapKey_; }

    // One key event, in order.
    void handle(const KeyStateEvent& event);

    // Whether the copy reported now keeps its formatting: Alt held now with
    // Alt as the tap key (an armed tap stays armed), or a tap less than
    // `window` seconds ago (which is used up). `altHeldNow`, when the desktop
    // can tell, overrides what the events said: a release that never came
    // does not keep Alt down.
    bool consumeBypass(TimePoint now, double window = 3, std::optional<bool> altHeldNow = std::nullopt);

    bool isOptionDown() const { return tapDown_; }
    std::optional<TimePoint> lastTapAt() const { return lastTapAt_; }

  private:
    bool isTapKey(const KeyStateEvent& event) const;
    static size_t slot(const KeyStateEvent& event) { return size_t(event.key) * 2 + (event.right ? 1 : 0); }

    TapKey tapKey_ = TapKey::alt;
    bool tapDown_ = false;
    std::bitset<10> othersDown_;  // modifiers other than the tap key, by key and side
    std::optional<TimePoint> tapDownAt_;
    bool otherModifierDuringHold_ = false;
    std::optional<TimePoint> lastKeyPressAt_;  // non-modifier keys only
    std::optional<TimePoint> lastTapAt_;
};

}  // namespace dz
