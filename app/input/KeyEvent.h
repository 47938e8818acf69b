#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dz {

// A key press as the desktop reports it, without any toolkit types.
struct KeyEvent {
    struct Modifiers {
        bool control = false;
        bool option = false;
        bool shift = false;
        bool command = false;

        bool operator==(const Modifiers&) const = default;
    };

    uint32_t keyCode = 0;  // virtual key code
    Modifiers modifiers;
    // The characters the key gives without modifiers; nothing for keys that
    // give none.
    std::optional<std::string> charactersIgnoringModifiers;
};

}  // namespace dz
