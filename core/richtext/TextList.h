#pragma once

#include <string>

namespace dz {

// One level of a list a paragraph belongs to.
struct TextList {
    // Marker format such as "{disc}", "{decimal}." or "{lower-roman}".
    std::string markerFormat;
    int startingItemNumber = 1;

    bool operator==(const TextList&) const = default;
};

}  // namespace dz
