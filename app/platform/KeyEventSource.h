#pragma once

#include <functional>
#include <optional>

#include "app/platform/Scheduler.h"

namespace dz {

// A key going down or up anywhere on the desktop, as the Alt-tap detector
// needs it.
struct KeyStateEvent {
    enum class Key { control, alt, shift, super, other };

    Key key = Key::other;  // `other`: any key that is not a modifier
    bool down = true;      // false: released
    TimePoint time = 0;    // when it happened, on the scheduler's clock
    bool right = false;    // the right-hand key of a modifier pair (Right Ctrl)
    // Auto-repeated presses of a held key are not reported.
    bool operator==(const KeyStateEvent&) const = default;
};

// Watches the keyboard without grabbing it.
class KeyEventSource {
  public:
    using Handler = std::function<void(const KeyStateEvent&)>;

    virtual ~KeyEventSource() = default;

    // Receives every key press and release, in order, on the main thread.
    // Setting a new handler replaces the old one.
    virtual void setHandler(Handler handler) = 0;
    // Whether a key of this kind is down right now, asked of the desktop;
    // nothing where it cannot tell. Events can go missing (another client's
    // grab), so a key must not stay held in our books for ever.
    virtual std::optional<bool> isHeld(KeyStateEvent::Key key) const {
        (void)key;
        return std::nullopt;
    }
};

}  // namespace dz
