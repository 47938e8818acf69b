#pragma once
// Between Qt's key events and the portable key codes the settings store.

#include <optional>

#include <QString>

#include "app/input/KeyEvent.h"

class QKeyEvent;

namespace dz::QtKeys {

// The portable virtual key code of a Qt key (letters, digits, punctuation
// of a US layout, shifted or not, and the named keys); nothing for others.
std::optional<uint32_t> virtualKeyCode(int qtKey);
// Nothing for keys without a code, and for bare modifier presses.
std::optional<KeyEvent> keyEvent(const QKeyEvent& event);
// Whether the press is only a modifier going down.
bool isModifierKey(int qtKey);

}  // namespace dz::QtKeys
