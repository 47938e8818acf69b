#include "app/input/OptionTapDetector.h"

namespace dz {

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
                double held = event.time - *optionDownAt_;
                bool quietEnough = !lastKeyPressAt_ || held + keySlack < event.time - *lastKeyPressAt_;
                if (!otherModifierDuringHold_ && held < maximumHold && quietEnough)
                    lastTapAt_ = event.time;
            }
            optionDown_ = false;
            optionDownAt_.reset();
            return;
        case Key::control:
        case Key::shift:
        case Key::super:
            (event.key == Key::control ? controlDown_ : event.key == Key::shift ? shiftDown_ : superDown_) =
                event.down;
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
    if (lastTapAt_ && now - *lastTapAt_ < window) {
        lastTapAt_.reset();
        return true;
    }
    return false;
}

}  // namespace dz
