#pragma once
// Recognises the Alt bypass: Alt tapped alone (held under 0.8 s, no other
// modifier with it, no key pressed while it was down) arms the next copy for
// a few seconds; Alt held while copying bypasses that copy.

#include <optional>

#include "app/platform/KeyEventSource.h"

namespace dz {

class OptionTapDetector {
  public:
    static constexpr double maximumHold = 0.8;  // seconds
    static constexpr double keySlack = 0.05;    // a key this close to the release still spoils the tap

    // One key event, in order.
    void handle(const KeyStateEvent& event);

    // Whether the copy reported now keeps its formatting: Alt held now (an
    // armed tap stays armed), or a tap less than `window` seconds ago (which
    // is used up).
    bool consumeBypass(TimePoint now, double window = 3);

    bool isOptionDown() const { return optionDown_; }
    std::optional<TimePoint> lastTapAt() const { return lastTapAt_; }

  private:
    bool otherModifierDown() const { return controlDown_ || shiftDown_ || superDown_; }

    bool optionDown_ = false;
    bool controlDown_ = false;
    bool shiftDown_ = false;
    bool superDown_ = false;
    std::optional<TimePoint> optionDownAt_;
    bool otherModifierDuringHold_ = false;
    std::optional<TimePoint> lastKeyPressAt_;  // non-modifier keys only
    std::optional<TimePoint> lastTapAt_;
};

}  // namespace dz
