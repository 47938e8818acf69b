#pragma once

#include <cstddef>

namespace dz {

// Marks a paragraph as (part of) one table cell.
struct TextTableBlock {
    size_t table = 0;  // index into AttributedText::tables()
    int startingRow = 0;
    int startingColumn = 0;
    // Rows and columns the cell covers; readers that do not know write 1.
    int rowSpan = 1;
    int columnSpan = 1;

    bool operator==(const TextTableBlock&) const = default;
};

}  // namespace dz
