#pragma once
// Turns the HTML flavour of a clipboard copy into Markdown: headings,
// emphasis, links, images, code, lists, quotes and tables, one blank line
// between blocks.
//
//   HTMLMarkdownConverter converter(markdownOptions, cleaningOptions);
//   std::optional<std::string> markdown = converter.convert(html, plainText);
//
// `convert` gives nothing when the HTML cannot be parsed (invalid UTF-8,
// absurd nesting; see HTMLDocument), and may give an empty text when the
// HTML has nothing to render; callers fall back to the copy's rich text in
// both cases. It never throws.

#include <optional>
#include <string>
#include <string_view>

#include "core/html/HTMLNode.h"
#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"

namespace dz {

struct HTMLMarkdownConverter {
    MarkdownOptions options;
    CleaningOptions cleaning;

    HTMLMarkdownConverter(const MarkdownOptions& options, const CleaningOptions& cleaning)
        : options(options), cleaning(cleaning) {}

    // `plainText` is the plain-text flavour of the same copy, if any; it is
    // used as is for copies from code editors.
    std::optional<std::string> convert(std::string_view html,
                                       std::optional<std::string_view> plainText = std::nullopt) const;

    // Word-processor HTML, which is better converted from the copy's rich
    // text.
    static bool isWordHTML(std::string_view html);

    // The first element below `node` (not `node` itself) whose name is
    // `name` (lower case), depth first in document order.
    static HTMLNode firstElement(std::string_view name, HTMLNode node);

    bool operator==(const HTMLMarkdownConverter&) const = default;
};

}  // namespace dz
