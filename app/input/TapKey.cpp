#include "app/input/TapKey.h"

namespace dz::tapkey {

std::string_view rawValue(TapKey key) {
    switch (key) {
        case TapKey::alt:
            return "alt";
        case TapKey::shift:
            return "shift";
        case TapKey::rightControl:
            return "rightControl";
        case TapKey::off:
            return "off";
    }
    return "alt";
}

std::optional<TapKey> fromRaw(std::string_view raw) {
    for (TapKey key : allCases)
        if (rawValue(key) == raw)
            return key;
    return std::nullopt;
}

std::string_view title(TapKey key) {
    switch (key) {
        case TapKey::alt:
            return "Alt";
        case TapKey::shift:
            return "Shift";
        case TapKey::rightControl:
            return "Right Ctrl";
        case TapKey::off:
            return "Off";
    }
    return "Alt";
}

std::optional<std::string_view> clash(TapKey key) {
    switch (key) {
        case TapKey::alt:
            return "Firefox and other applications with menu bars open their menu on a lone Alt; the copy "
                   "after "
                   "it may not happen.";
        case TapKey::shift:
            return "Input methods (fcitx5, ibus) may switch mode on a lone Shift.";
        case TapKey::rightControl:
            return "Some programs use Right Ctrl as their host key.";
        case TapKey::off:
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace dz::tapkey
