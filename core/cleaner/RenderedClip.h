#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/Pasteboard.h"

namespace dz {

// One rendition of a copy: the plain text, and for link-preserving output the
// HTML that carries the links, and the copy's own link cleaned.
struct RenderedClip {
    std::string string;
    std::optional<std::string> html;
    std::optional<std::string> url;

    // The items that carry this rendition, in order, ending with the processed marker.
    std::vector<ClipboardSnapshot::Entry> items() const;
    // Replaces the clipboard's contents by `items()`.
    void write(Pasteboard& pasteboard) const;

    bool operator==(const RenderedClip&) const = default;
};

}  // namespace dz
