#include "core/richtext/PlainTextLayout.h"

#include <algorithm>
#include <map>

namespace dz {

namespace {

// Appends the text of [start, end) to `out` as spans of one link each. The
// link runs are visited in order; `next` is the first not yet passed.
void appendSpans(const AttributedText& text, const std::vector<AttributedText::LinkRun>& links, size_t& next,
                 size_t start, size_t end, std::vector<PlainTextLayout::Span>& out) {
    while (next < links.size() && links[next].end <= start) ++next;
    for (size_t i = next; i < links.size() && links[i].start < end; ++i) {
        size_t a = std::max(start, links[i].start), b = std::min(end, links[i].end);
        if (a >= b)
            continue;
        std::string_view piece = text.substring(a, b);
        if (!out.empty() && out.back().link == links[i].link)
            out.back().text += piece;
        else
            out.push_back({std::string(piece), links[i].link});
    }
}

}  // namespace

std::vector<PlainTextLayout::Block> PlainTextLayout::blocks(const AttributedText& text) {
    std::vector<Block> out;
    const std::vector<AttributedText::LinkRun> links = text.linkRuns();
    size_t next = 0;

    Block flow;
    struct Table {
        size_t id = 0;
        std::map<int, std::map<int, Cell>> rows;
    };
    std::optional<Table> table;

    auto finishFlow = [&](bool beforeTable) {
        if (beforeTable && !flow.text.empty() && flow.text.back().text.ends_with('\n')) {
            flow.text.back().text.pop_back();
            if (flow.text.back().text.empty())
                flow.text.pop_back();
        }
        if (!flow.text.empty())
            out.push_back(std::move(flow));
        flow = Block();
    };
    auto finishTable = [&] {
        if (!table)
            return;
        Block block;
        block.isTable = true;
        for (auto& [row, cells] : table->rows) {
            Row& line = block.rows.emplace_back();
            for (auto& [column, cell] : cells) line.push_back(std::move(cell));
        }
        out.push_back(std::move(block));
        table.reset();
    };

    size_t position = 0;
    for (const auto& range : text.paragraphStyles()) {
        if (range.style.textBlocks.empty())
            continue;
        const TextTableBlock& place = range.style.textBlocks.front();
        if (range.start > position) {
            finishTable();
            appendSpans(text, links, next, position, range.start, flow.text);
        }
        if (table && table->id != place.table)
            finishTable();
        if (!table) {
            finishFlow(true);
            table = Table{place.table, {}};
        }
        Cell& cell = table->rows[place.startingRow][place.startingColumn];
        cell.column = place.startingColumn;
        cell.columnSpan = std::max(cell.columnSpan, place.columnSpan);
        appendSpans(text, links, next, range.start, range.end, cell.spans);
        position = range.end;
    }
    if (position < text.length()) {
        finishTable();
        appendSpans(text, links, next, position, text.length(), flow.text);
    }
    finishTable();
    finishFlow(false);
    return out;
}

}  // namespace dz
