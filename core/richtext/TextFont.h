#pragma once

#include <string_view>

namespace dz {

// The font facts the converters read from a stretch of attributed text.
struct TextFont {
    double pointSize = 12;
    bool bold = false;
    bool italic = false;
    bool monospace = false;   // the monospace symbolic trait
    bool fixedPitch = false;  // every glyph has the same advance

    // Whether a font family name is that of a monospace font ("Courier New",
    // "Consolas", "DejaVu Sans Mono", "'Roboto Mono'", ...). The one test for
    // family names from HTML styles and from rich text font tables; quotes,
    // spaces and letter case do not matter.
    static bool isMonospaceFamilyName(std::string_view family);

    bool operator==(const TextFont&) const = default;
};

}  // namespace dz
