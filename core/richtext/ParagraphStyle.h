#pragma once

#include <vector>

#include "core/richtext/TextList.h"
#include "core/richtext/TextTableBlock.h"

namespace dz {

// The paragraph properties the converters read.
struct ParagraphStyle {
    std::vector<TextList> textLists;         // outermost first
    std::vector<TextTableBlock> textBlocks;  // outermost table first

    bool empty() const { return textLists.empty() && textBlocks.empty(); }
    bool operator==(const ParagraphStyle&) const = default;
};

}  // namespace dz
