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

void OptionTapDetector::handle(const KeyStateEvent& event) {
    using Key = KeyStateEvent::Key;
    switch (event.key) {
        case Key::alt:
            if (event.down) {
                if (!optionDown_) {
                    optionDown_ = true;
                    optionDownAt_ = event.time;
                    otherModifierDuringHold_ = otherModifierDown();
                }
                return;
            }
            if (optionDown_ && optionDownAt_) {
                double held = between(*optionDownAt_, event.time);
                bool quietEnough =
                    !lastKeyPressAt_ || held + keySlack < between(*lastKeyPressAt_, event.time);
                if (!otherModifierDuringHold_ && held < maximumHold && quietEnough)
                    lastTapAt_ = event.time;
            }
            optionDown_ = false;
            optionDownAt_.reset();
            return;
        case Key::control:
        case Key::shift:
        case Key::super:
            (event.key == Key::control ? controlDown_
             : event.key == Key::shift ? shiftDown_
                                       : superDown_) = event.down;
            if (event.down && optionDown_)
                otherModifierDuringHold_ = true;
            return;
        case Key::other:
            if (event.down)
                lastKeyPressAt_ = event.time;
            return;
    }
}

bool OptionTapDetector::consumeBypass(TimePoint now, double window) {
    if (optionDown_)
        return true;
    if (lastTapAt_ && between(*lastTapAt_, now) < window) {
        lastTapAt_.reset();
        return true;
    }
    return false;
}

}  // namespace dz
