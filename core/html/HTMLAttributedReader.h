#pragma once
// Reads HTML into attributed text the way a browser's rich-text export does:
// block elements end paragraphs (each ends with "\n"), <br> is U+2028, white
// space collapses outside <pre>, headings are bold at 24/18/14/12/10/8 points
// over a 12-point body, emphasis and monospace come from elements and inline
// styles, list items carry their lists and a "\t<marker>\t" prefix, table
// cells carry their table, row, column and spans (a cell goes to the first
// column a row span from above leaves free), and images are U+FFFC. Scripts,
// styles, the head and hidden content are left out.
//
// The walk keeps its own stack (no recursion); HTMLDocument has already
// refused absurd nesting.

#include <optional>
#include <string_view>

#include "core/html/HTMLDocument.h"
#include "core/richtext/AttributedText.h"

namespace dz {

class HTMLAttributedReader {
  public:
    // Nothing when the HTML cannot be parsed (invalid UTF-8, hostile nesting).
    static std::optional<AttributedText> read(std::string_view html,
                                              AttributedText::Detail detail = AttributedText::Detail::full);
    static AttributedText read(const HTMLDocument& document,
                               AttributedText::Detail detail = AttributedText::Detail::full);

    static constexpr double bodyFontSize = 12;
    // A colspan beyond this counts as this.
    static constexpr int maxColspan = 1000;
    // A rowspan beyond this counts as this.
    static constexpr int maxRowspan = 1000;

  private:
    class Builder;
};

}  // namespace dz
