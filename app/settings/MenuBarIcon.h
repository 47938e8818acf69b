#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// The icon the status item shows; the images belong to the user interface.
enum class MenuBarIcon { hammer, anvil, monogram, clipboard, wand, sparkles };

namespace menubaricon {

inline constexpr std::array<MenuBarIcon, 6> allCases{MenuBarIcon::hammer,   MenuBarIcon::anvil,
                                                     MenuBarIcon::monogram, MenuBarIcon::clipboard,
                                                     MenuBarIcon::wand,     MenuBarIcon::sparkles};

constexpr std::string_view rawValue(MenuBarIcon icon) {
    switch (icon) {
        case MenuBarIcon::hammer:
            return "hammer";
        case MenuBarIcon::anvil:
            return "anvil";
        case MenuBarIcon::monogram:
            return "monogram";
        case MenuBarIcon::clipboard:
            return "clipboard";
        case MenuBarIcon::wand:
            return "wand";
        case MenuBarIcon::sparkles:
            return "sparkles";
    }
    return "hammer";
}

constexpr std::string_view title(MenuBarIcon icon) {
    switch (icon) {
        case MenuBarIcon::hammer:
            return "Hammer";
        case MenuBarIcon::anvil:
            return "Anvil";
        case MenuBarIcon::monogram:
            return "Monogram";
        case MenuBarIcon::clipboard:
            return "Clipboard";
        case MenuBarIcon::wand:
            return "Wand";
        case MenuBarIcon::sparkles:
            return "Sparkles";
    }
    return "Hammer";
}

inline std::optional<MenuBarIcon> fromRaw(std::string_view raw) {
    for (MenuBarIcon icon : allCases)
        if (rawValue(icon) == raw)
            return icon;
    return std::nullopt;
}

}  // namespace menubaricon
}  // namespace dz
