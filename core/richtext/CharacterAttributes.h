#pragma once

#include <optional>
#include <string>

#include "core/richtext/TextFont.h"

namespace dz {

// The character attributes of one stretch of attributed text.
struct CharacterAttributes {
    std::optional<TextFont> font;
    int strikethrough = 0;            // 0 = none, 1 = single, 9 = double
    std::optional<std::string> link;  // address or link string

    bool operator==(const CharacterAttributes&) const = default;
};

}  // namespace dz
