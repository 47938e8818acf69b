#pragma once
// Stored key codes (the settings document's portable ones) and X keysyms,
// both ways, through the key names of app/input/KeyNames.

#include <cstdint>
#include <optional>

namespace dz::x11 {

// The keysym of a stored key code: lower-case letters, digits and ASCII
// punctuation as themselves, named keys (Return, arrows, F1–F12…) as theirs.
std::optional<uint32_t> keysymForKeyCode(uint32_t keyCode);
// The stored key code of a keysym (either case of a letter), for the recorder.
std::optional<uint32_t> keyCodeForKeysym(uint32_t keysym);

// What kind of key a keysym is, for the Alt-tap detector.
enum class ModifierKind { none, control, alt, shift, super, ignored };  // ignored: lock keys, AltGr
ModifierKind modifierKind(uint32_t keysym);

namespace keysym {
inline constexpr uint32_t numLock = 0xff7f;
inline constexpr uint32_t capsLock = 0xffe5;
inline constexpr uint32_t shiftL = 0xffe1, shiftR = 0xffe2, controlL = 0xffe3, controlR = 0xffe4;
inline constexpr uint32_t metaL = 0xffe7, metaR = 0xffe8, altL = 0xffe9, altR = 0xffea;
inline constexpr uint32_t superL = 0xffeb, superR = 0xffec;
}  // namespace keysym

}  // namespace dz::x11
