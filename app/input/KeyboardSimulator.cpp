#include "app/input/KeyboardSimulator.h"

#include "app/input/KeyCombo.h"
#include "app/platform/KeystrokeSender.h"

namespace dz {

const std::unordered_set<std::string_view>& KeyboardSimulator::terminals() {
    static const std::unordered_set<std::string_view> ids{
        "gnome-terminal",
        "org.gnome.Terminal",
        "org.gnome.Console",
        "konsole",
        "org.kde.konsole",
        "xterm",
        "kitty",
        "alacritty",
        "Alacritty",
        "foot",
        "tilix",
        "com.gexperts.Tilix",
        "terminator",
        "xfce4-terminal",
        "lxterminal",
        "mate-terminal",
        "wezterm",
        "org.wezfurlong.wezterm",
        "urxvt",
    };
    return ids;
}

bool KeyboardSimulator::canPressKeys() const {
    return sender_.canSendKeystrokes();
}

void KeyboardSimulator::press(uint32_t keyCode, uint32_t modifiers) {
    sender_.press(keyCode, modifiers);
}

void KeyboardSimulator::pressShortcut(uint32_t keyCode, std::optional<std::string_view> frontmost) {
    uint32_t modifiers = KeyCombo::control;
    if (frontmost && terminals().count(*frontmost))
        modifiers |= KeyCombo::shift;
    sender_.press(keyCode, modifiers);
}

void KeyboardSimulator::pressPaste(std::optional<std::string_view> frontmost) {
    pressShortcut(keyV, frontmost);
}

void KeyboardSimulator::pressCopy(std::optional<std::string_view> frontmost) {
    pressShortcut(keyC, frontmost);
}

}  // namespace dz
