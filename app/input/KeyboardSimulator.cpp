#include "app/input/KeyboardSimulator.h"

#include "app/input/KeyCombo.h"
#include "app/platform/KeystrokeSender.h"

namespace dz {

const std::unordered_set<std::string_view>& KeyboardSimulator::terminals() {
    static const std::unordered_set<std::string_view> names{
        // desktop ids
        "gnome-terminal",
        "org.gnome.Terminal",
        "org.gnome.Console",
        "konsole",
        "org.kde.konsole",
        "kitty",
        "alacritty",
        "Alacritty",
        "org.alacritty.Alacritty",
        "foot",
        "org.codeberg.dnkl.foot",
        "tilix",
        "com.gexperts.Tilix",
        "terminator",
        "xfce4-terminal",
        "lxterminal",
        "mate-terminal",
        "wezterm",
        "org.wezfurlong.wezterm",
        "st",
        "st-256color",
        // executables
        "gnome-terminal-server",
        "kgx",
        "wezterm-gui",
    };
    return names;
}

const std::unordered_set<std::string_view>& KeyboardSimulator::selectionTerminals() {
    static const std::unordered_set<std::string_view> names{
        "xterm",  "uxterm", "debian-xterm", "debian-uxterm", "XTerm",
        "UXTerm", "urxvt",  "rxvt-unicode", "urxvtc",        "urxvt-tabbed",
    };
    return names;
}

KeyboardSimulator::KeyStyle KeyboardSimulator::keyStyle(
    const std::optional<Workspace::RunningApplication>& app) {
    if (!app)
        return KeyStyle::ordinary;
    auto known = [&](const std::unordered_set<std::string_view>& names) {
        return names.count(app->bundleID) || (app->executable && names.count(*app->executable));
    };
    if (known(selectionTerminals()))
        return KeyStyle::selectionTerminal;
    if (known(terminals()))
        return KeyStyle::terminal;
    return KeyStyle::ordinary;
}

bool KeyboardSimulator::canPressKeys() const {
    return sender_.canSendKeystrokes();
}

void KeyboardSimulator::press(uint32_t keyCode, uint32_t modifiers) {
    sender_.press(keyCode, modifiers);
}

void KeyboardSimulator::pressPaste(KeyStyle style) {
    switch (style) {
        case KeyStyle::ordinary:
            sender_.press(keyV, KeyCombo::control);
            return;
        case KeyStyle::terminal:
            sender_.press(keyV, KeyCombo::control | KeyCombo::shift);
            return;
        case KeyStyle::selectionTerminal:
            sender_.press(keyInsert, KeyCombo::shift);
            return;
    }
}

bool KeyboardSimulator::pressCopy(KeyStyle style) {
    switch (style) {
        case KeyStyle::ordinary:
            sender_.press(keyC, KeyCombo::control);
            return true;
        case KeyStyle::terminal:
            sender_.press(keyC, KeyCombo::control | KeyCombo::shift);
            return true;
        case KeyStyle::selectionTerminal:
            // Ctrl+Shift+C would reach the running program as ^C.
            return false;
    }
    return false;
}

}  // namespace dz
