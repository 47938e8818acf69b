#pragma once
// Key names on this desktop. Stored shortcuts keep the other desktop's
// virtual key codes, modifier mask and symbol display text, so settings files
// stay portable; what the user reads and types is "Ctrl+Alt+V".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/input/KeyCombo.h"

namespace dz::keynames {

// The name of the key with this virtual key code: "A", "1", "=", "Return",
// "Page Up", "F5"… Nothing for codes outside the table.
std::optional<std::string_view> name(uint32_t keyCode);

// The virtual key code of a key name. Letters and named keys are matched
// without regard to case ("v", "page up"); "PageUp", "PageDown" and "Enter"
// are accepted as well.
std::optional<uint32_t> keyCode(std::string_view name);

// The modifiers as the user reads them: "Ctrl+Alt+Shift+Super+", in that
// order, for the bits of the mask that are set.
std::string modifierPrefix(uint32_t carbonModifiers);

// What the user sees for a stored combo: the modifiers, then the key name.
// A key code outside the table keeps the key part of the stored display text
// ("?" when there is none).
std::string displayText(const KeyCombo& combo);

// The stored form of a key with modifiers: the key code, the mask reduced to
// the four modifier bits, and the symbol display text (⌃⌥V, ⌃⇧↩). Nothing
// for a key code outside the table.
std::optional<KeyCombo> combo(uint32_t keyCode, uint32_t carbonModifiers);

// Reads "Ctrl+Alt+V" back into the stored form. Modifier names are Ctrl
// (Control), Alt (Option), Shift and Super (Command), in any order and case,
// each at most once; the key comes last. Nothing for anything else.
std::optional<KeyCombo> parse(std::string_view text);

}  // namespace dz::keynames
