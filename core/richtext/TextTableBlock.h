#pragma once

#include <cstddef>

namespace dz {

// Marks a paragraph as (part of) one table cell.
struct TextTableBlock {
    size_t table = 0;  // index into AttributedText::tables()
    int startingRow = 0;
    int startingColumn = 0;

    bool operator==(const TextTableBlock&) const = default;
};

}  // namespace dz
