#include "linux/input/KeySyms.h"

#include <array>
#include <string_view>

#include "app/input/KeyNames.h"

namespace dz::x11 {

namespace {

struct Named {
    std::string_view name;
    uint32_t keysym;
};

constexpr std::array<Named, 26> namedKeys{{
    {"Return", 0xff0d}, {"Tab", 0xff09},     {"Space", 0x20},       {"Backspace", 0xff08}, {"Delete", 0xffff},
    {"Left", 0xff51},   {"Right", 0xff53},   {"Up", 0xff52},        {"Down", 0xff54},      {"Home", 0xff50},
    {"End", 0xff57},    {"Page Up", 0xff55}, {"Page Down", 0xff56}, {"F1", 0xffbe},        {"F2", 0xffbf},
    {"F3", 0xffc0},     {"F4", 0xffc1},      {"F5", 0xffc2},        {"F6", 0xffc3},        {"F7", 0xffc4},
    {"F8", 0xffc5},     {"F9", 0xffc6},      {"F10", 0xffc7},       {"F11", 0xffc8},       {"F12", 0xffc9},
    {"Insert", 0xff63},
}};

}  // namespace

std::optional<uint32_t> keysymForKeyCode(uint32_t keyCode) {
    auto name = keynames::name(keyCode);
    if (!name)
        return std::nullopt;
    for (const auto& k : namedKeys)
        if (k.name == *name)
            return k.keysym;
    if (name->size() != 1)
        return std::nullopt;
    char c = (*name)[0];
    if (c >= 'A' && c <= 'Z')
        return uint32_t(c - 'A' + 'a');
    return uint32_t(
        static_cast<unsigned char>(c));  // digits and punctuation: Latin-1 keysyms are the characters
}

std::optional<uint32_t> keyCodeForKeysym(uint32_t keysym) {
    for (const auto& k : namedKeys)
        if (k.keysym == keysym)
            return keynames::keyCode(k.name);
    if (keysym == 0xff8d)  // KP_Enter
        return keynames::keyCode("Return");
    if (keysym < 0x21 || keysym > 0x7e)
        return std::nullopt;
    char c = char(keysym);
    if (c >= 'a' && c <= 'z')
        c = char(c - 'a' + 'A');
    return keynames::keyCode(std::string_view(&c, 1));
}

ModifierKind modifierKind(uint32_t sym) {
    using namespace keysym;
    switch (sym) {
        case controlL:
        case controlR:
            return ModifierKind::control;
        case altL:
        case altR:
        case metaL:
        case metaR:
            return ModifierKind::alt;
        case shiftL:
        case shiftR:
            return ModifierKind::shift;
        case superL:
        case superR:
        case 0xffed:  // Hyper_L
        case 0xffee:  // Hyper_R
            return ModifierKind::super;
        case capsLock:
        case numLock:
        case 0xffe6:  // Shift_Lock
        case 0xfe03:  // ISO_Level3_Shift (AltGr) types characters, it is no Alt
        case 0xff7e:  // Mode_switch
            return ModifierKind::ignored;
        default:
            return ModifierKind::none;
    }
}

}  // namespace dz::x11
