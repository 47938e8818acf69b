#pragma once
// How the plain renderings lay out attributed text: the text around tables
// stays as it is, and each table row becomes one line of fields separated by
// tabs, the way browsers write tables as plain text (so that it pastes into a
// spreadsheet). A field's own paragraphs and line breaks are left to the
// caller, which writes them on the row's line.

#include <optional>
#include <string>
#include <vector>

#include "core/richtext/AttributedText.h"

namespace dz {

class PlainTextLayout {
  public:
    // A stretch of text with the link it carries, if any.
    struct Span {
        std::string text;
        std::optional<std::string> link;
        bool operator==(const Span&) const = default;
    };
    // One table cell. Its field is the `column`-th of the row's line; the
    // columns up to the next cell are empty fields (`columnSpan` - 1 of them
    // belong to this cell, the others are covered from above or missing).
    struct Cell {
        int column = 0;
        int columnSpan = 1;
        std::vector<Span> spans;  // every paragraph of the cell, each ending in "\n"
        bool operator==(const Cell&) const = default;
    };
    using Row = std::vector<Cell>;  // in column order, never empty

    // Either running text or one table.
    struct Block {
        bool isTable = false;
        // Running text; before a table it ends without the paragraph break
        // that the table's first line stands for.
        std::vector<Span> text;
        std::vector<Row> rows;  // a table's rows, in order
        bool operator==(const Block&) const = default;
    };

    // The blocks of `text` in order; nested tables are text of the outer
    // table's cell.
    static std::vector<Block> blocks(const AttributedText& text);
};

}  // namespace dz
