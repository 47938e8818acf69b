#pragma once

namespace dz {

// The font facts the converters read from a stretch of attributed text.
struct TextFont {
    double pointSize = 12;
    bool bold = false;
    bool italic = false;
    bool monospace = false;   // the monospace symbolic trait
    bool fixedPitch = false;  // every glyph has the same advance

    bool operator==(const TextFont&) const = default;
};

}  // namespace dz
