#pragma once

namespace dz {

// A table of attributed text; its cells are paragraphs carrying a
// TextTableBlock that names the table by its index in the text.
struct TextTable {
    int numberOfColumns = 0;

    bool operator==(const TextTable&) const = default;
};

}  // namespace dz
