#include "app/input/OptionTapDetector.h"

#include <cmath>

namespace dz {

namespace {

// Seconds between two times, to the microsecond: times are large numbers of
// seconds, and a hold of exactly 0.8 s must not come out a hair shorter.
double between(TimePoint from, TimePoint to) {
    return std::round((to - from) * 1e6) / 1e6;
}

}  // namespace

void OptionTapDetector::setTapKey(TapKey key) {
    if (key == tapKey_)
        return;
    tapKey_ = key;
    tapDown_ = false;
    tapDownAt_.reset();
    lastTapAt_.reset();
}

bool OptionTapDetector::isTapKey(const KeyStateEvent& event) const {
    using Key = KeyStateEvent::Key;
    switch (tapKey_) {
        case TapKey::alt:
            return event.key == Key::alt;
        case TapKey::shift:
            return event.key == Key::shift;
        case TapKey::rightControl:
            return event.key == Key::control && event.right;
        case TapKey::off:
            return false;
    }
    return false;
}

void OptionTapDetector::handle(const KeyStateEvent& event) {
    if (event.key == KeyStateEvent::Key::other) {
        if (event.down)
            lastKeyPressAt_ = event.time;
        return;
    }
    if (!isTapKey(event)) {
        othersDown_.set(slot(event), event.down);
        if (event.down && tapDown_)
            otherModifierDuringHold_ = true;
        return;
    }
    if (event.down) {
        if (!tapDown_) {
            tapDown_ = true;
            tapDownAt_ = event.time;
            otherModifierDuringHold_ = othersDown_.any();
        }
        return;
    }
    if (tapDown_ && tapDownAt_) {
        double held = between(*tapDownAt_, event.time);
        bool quietEnough = !lastKeyPressAt_ || held + keySlack < between(*lastKeyPressAt_, event.time);
        if (!otherModifierDuringHold_ && held < maximumHold && quietEnough)
            lastTapAt_ = event.time;
    }
    tapDown_ = false;
    tapDownAt_.reset();
}

bool OptionTapDetector::consumeBypass(TimePoint now, double window, std::optional<bool> altHeldNow) {
    if (tapKey_ == TapKey::alt && altHeldNow && !*altHeldNow && tapDown_) {
        tapDown_ = false;
        tapDownAt_.reset();
    }
    if (tapKey_ == TapKey::alt && altHeldNow.value_or(tapDown_))
        return true;
    if (lastTapAt_ && between(*lastTapAt_, now) < window) {
        lastTapAt_.reset();
        return true;
    }
    return false;
}

}  // namespace dz
