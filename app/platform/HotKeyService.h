#pragma once

#include <cstdint>
#include <functional>

#include "app/input/KeyCombo.h"

namespace dz {

// System-wide shortcuts. `HotKeyCenter` decides what is registered and routes
// the presses; this interface only talks to the desktop. Main thread only.
class HotKeyService {
  public:
    using PressHandler = std::function<void(uint32_t id)>;

    virtual ~HotKeyService() = default;

    // Grabs the combination (its key code and modifier mask; the display text
    // is not used) under `id`. False when the desktop refuses, for instance
    // because another application holds it; nothing is registered then.
    virtual bool registerHotKey(uint32_t id, const KeyCombo& combo) = 0;
    // Releases the registration made under `id`; unknown ids are ignored.
    virtual void unregisterHotKey(uint32_t id) = 0;
    // Receives the id of each press of a registered combination, on the main
    // thread. Setting a new handler replaces the old one.
    virtual void setPressHandler(PressHandler handler) = 0;
};

}  // namespace dz
