#include "core/richtext/AttributedMarkdownConverter.h"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "core/links/URLCleaner.h"
#include "core/markdown/MarkdownText.h"
#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

// UTF-16 units of UTF-8 text: one per code point, two above U+FFFF.
size_t utf16Length(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++n;
        if (c >= 0xF0)
            ++n;
    }
    return n;
}

bool isSpacesAndTabs(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (text.find(from) == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (true) {
        size_t next = text.find(from, at);
        if (next == std::string::npos)
            break;
        out.append(text, at, next - at);
        out.append(to);
        at = next + from.size();
    }
    out.append(text, at, std::string::npos);
    text.swap(out);
}

// Paragraph separators: line feed, carriage return (with a following line
// feed), U+2029. Gives the length of the separator at `i`, or 0.
size_t separatorLength(std::string_view s, size_t i) {
    char c = s[i];
    if (c == '\n')
        return 1;
    if (c == '\r')
        return i + 1 < s.size() && s[i + 1] == '\n' ? 2 : 1;
    if (c == '\xE2' && i + 2 < s.size() && s[i + 1] == '\x80' && s[i + 2] == '\xA9')
        return 3;
    return 0;
}

// The end of a paragraph's text once trailing line-break characters are dropped.
size_t trimLineBreaks(std::string_view s, size_t start, size_t end) {
    while (end > start) {
        unsigned char c = static_cast<unsigned char>(s[end - 1]);
        if (c == '\n' || c == '\r' || c == 0x0B || c == 0x0C) {
            --end;
        } else if (end - start >= 3 && s.substr(end - 3, 3) == "\xE2\x80\xA8") {
            end -= 3;
        } else if (end - start >= 3 && s.substr(end - 3, 3) == "\xE2\x80\xA9") {
            end -= 3;
        } else if (end - start >= 2 && s.substr(end - 2, 2) == "\xC2\x85") {
            end -= 2;
        } else {
            break;
        }
    }
    return end;
}

struct InlineRun {
    std::string text;
    bool bold = false;
    bool italic = false;
    bool mono = false;
    bool strike = false;
    std::optional<std::string> link;

    bool sameStyle(const InlineRun& other) const {
        return bold == other.bold && italic == other.italic && mono == other.mono && strike == other.strike &&
               link == other.link;
    }
};

}  // namespace

struct AttributedMarkdownConverter::Conversion {
    Conversion(const AttributedMarkdownConverter& converter, const AttributedText& text)
        : converter(converter), text(text), dominantSize(dominantFontSize(text)) {}

    const AttributedMarkdownConverter& converter;
    const AttributedText& text;
    std::vector<std::string> blocks;
    std::vector<std::string> codeLines;
    std::vector<std::string> listItems;
    std::vector<int> counters;
    struct PendingTable {
        size_t table = 0;
        std::map<int, std::map<int, std::string>> cells;
    };
    std::optional<PendingTable> table;
    double dominantSize = 0;

    void finishList() {
        if (!listItems.empty()) {
            std::string block;
            for (size_t i = 0; i < listItems.size(); ++i) {
                if (i)
                    block += '\n';
                block += listItems[i];
            }
            blocks.push_back(std::move(block));
        }
        listItems.clear();
        counters.clear();
    }

    void finishCode() {
        if (codeLines.empty())
            return;
        std::string code;
        for (size_t i = 0; i < codeLines.size(); ++i) {
            if (i)
                code += '\n';
            code += codeLines[i];
        }
        blocks.push_back(MarkdownText::codeBlock(code));
        codeLines.clear();
    }

    void flushTable() {
        if (!table)
            return;
        int columns = 0;
        if (table->table < text.tables().size())
            columns = text.tables()[table->table].numberOfColumns;
        for (const auto& [row, cells] : table->cells)
            if (!cells.empty())
                columns = std::max(columns, cells.rbegin()->first + 1);
        size_t rowCount = table->cells.size();
        bool fits = columns > 0 && rowCount <= maxTableCells / static_cast<size_t>(columns);
        if (converter.options.convertTables && columns > 1 && fits) {
            std::string block;
            bool first = true;
            for (const auto& [row, cells] : table->cells) {
                std::string line = "| ";
                for (int c = 0; c < columns; ++c) {
                    if (c)
                        line += " | ";
                    auto it = cells.find(c);
                    if (it != cells.end())
                        line += it->second;
                }
                line += " |";
                if (!block.empty())
                    block += '\n';
                block += line;
                if (first) {
                    block += "\n|";
                    for (int c = 0; c < columns; ++c) block += " --- |";
                    first = false;
                }
            }
            blocks.push_back(std::move(block));
        } else {
            for (const auto& [row, cells] : table->cells)
                for (const auto& [column, cell] : cells)
                    if (!cell.empty())
                        blocks.push_back(cell);
        }
        table.reset();
    }

    void paragraph(size_t start, size_t end);
};

const Regex& AttributedMarkdownConverter::listMarkerRegex() {
    static const Regex regex("^\\t?[^\\t\\n]{1,8}\\t");
    return regex;
}

double AttributedMarkdownConverter::dominantFontSize(const AttributedText& text) {
    std::map<double, size_t> totals;
    for (const auto& run : text.runs()) {
        const auto& font = text.attributes(run).font;
        if (font)
            totals[font->pointSize] += utf16Length(text.substring(run.start, run.end));
    }
    double best = 0;
    size_t bestCount = 0;
    for (const auto& [size, count] : totals)
        if (count > bestCount) {
            best = size;
            bestCount = count;
        }
    return best;
}

double AttributedMarkdownConverter::fontSize(const AttributedText& text, size_t position) {
    if (position >= text.length())
        return 0;
    const auto& font = text.attributes(position).font;
    return font ? font->pointSize : 0;
}

bool AttributedMarkdownConverter::isMonospace(const AttributedText& text, size_t start, size_t end) {
    if (start >= end || text.runs().empty())
        return false;
    bool looked = false;
    const auto& runs = text.runs();
    for (size_t i = text.runIndex(start); i < runs.size() && runs[i].start < end; ++i) {
        std::string_view part = text.substring(std::max(start, runs[i].start), std::min(end, runs[i].end));
        if (isSpacesAndTabs(part))
            continue;
        looked = true;
        const auto& font = text.attributes(runs[i]).font;
        if (!font || !(font->monospace || font->fixedPitch))
            return false;
    }
    return looked;
}

std::string AttributedMarkdownConverter::inlineMarkdown(const AttributedText& text, size_t start, size_t end,
                                                        bool heading) const {
    std::vector<InlineRun> runs;
    const auto& attributeRuns = text.runs();
    if (start < end && !attributeRuns.empty()) {
        for (size_t i = text.runIndex(start); i < attributeRuns.size() && attributeRuns[i].start < end; ++i) {
            std::string part(
                text.substring(std::max(start, attributeRuns[i].start), std::min(end, attributeRuns[i].end)));
            replaceAll(part, "\xEF\xBF\xBC", "");
            replaceAll(part, "\xE2\x80\xA8", "\n");
            if (part.empty())
                continue;
            const CharacterAttributes& attributes = text.attributes(attributeRuns[i]);
            InlineRun run;
            if (attributes.font) {
                run.bold = attributes.font->bold && !heading;
                run.italic = attributes.font->italic;
                run.mono = attributes.font->monospace || attributes.font->fixedPitch;
            }
            run.strike = attributes.strikethrough != 0;
            run.link = attributes.link;
            if (!runs.empty() && runs.back().sameStyle(run)) {
                runs.back().text += part;
            } else {
                run.text = std::move(part);
                runs.push_back(std::move(run));
            }
        }
    }
    bool underscores = options.emphasis == MarkdownEmphasis::underscores;
    std::string out;
    MarkdownText::JoinState joining;
    for (const InlineRun& run : runs) {
        std::string rendered;
        if (run.mono) {
            rendered = MarkdownText::codeSpan(run.text);
        } else {
            std::string plain = run.text;
            if ((cleaning.removeTrackingParameters || cleaning.unwrapRedirectLinks) &&
                plain.find("http") != std::string::npos)
                plain = URLCleaner::cleanURLs(plain, cleaning.removeTrackingParameters,
                                              cleaning.unwrapRedirectLinks);
            rendered = MarkdownText::escapeText(plain);
        }
        if (run.strike)
            rendered = MarkdownText::wrap(rendered, "~~");
        if (run.italic)
            rendered = MarkdownText::wrap(rendered, underscores ? "_" : "*");
        if (run.bold)
            rendered = MarkdownText::wrap(rendered, underscores ? "__" : "**");
        MarkdownText::Markers markers;
        if (run.link) {
            rendered = MarkdownText::link(rendered, *run.link, cleaning);
        } else {
            if (run.bold)
                markers.add(underscores ? "__" : "**");
            if (run.italic)
                markers.add(underscores ? "_" : "*");
            if (run.strike)
                markers.add("~~");
        }
        MarkdownText::appendJoined(out, rendered, markers, joining);
    }
    return MarkdownText::tidyInline(out);
}

void AttributedMarkdownConverter::Conversion::paragraph(size_t start, size_t end) {
    std::string_view string = text.string();
    const ParagraphStyle& style = text.paragraphStyle(start);

    if (!style.textBlocks.empty()) {
        const TextTableBlock& block = style.textBlocks.back();
        finishList();
        finishCode();
        if (table && table->table != block.table)
            flushTable();
        if (!table)
            table = PendingTable{block.table, {}};
        std::string cell = converter.inlineMarkdown(text, start, end, false);
        replaceAll(cell, "\n", " ");
        replaceAll(cell, "|", "\\|");
        std::string& slot = table->cells[block.startingRow][block.startingColumn];
        if (!cell.empty())
            slot = slot.empty() ? cell : slot + " " + cell;
        return;
    }
    flushTable();

    if (!style.textLists.empty() && start < end) {
        // The marker is at most a tab, eight characters and a tab: match on a short prefix.
        size_t prefixEnd = std::min(end, start + 64);
        while (prefixEnd < end && (static_cast<unsigned char>(string[prefixEnd]) & 0xC0) == 0x80) --prefixEnd;
        icu::UnicodeString prefix = unicode::toICU(string.substr(start, prefixEnd - start));
        if (auto matcher = listMarkerRegex().matcher(prefix)) {
            UErrorCode status = U_ZERO_ERROR;
            if (matcher->lookingAt(status) && U_SUCCESS(status)) {
                int32_t length = matcher->end(status);
                if (U_SUCCESS(status))
                    start += unicode::fromICU(prefix.tempSubString(0, length)).size();
            }
        }
    }
    std::string_view paragraphText = string.substr(start, end - start);

    if (isSpacesAndTabs(paragraphText)) {
        finishList();
        finishCode();
        return;
    }

    if (!style.textLists.empty()) {
        finishCode();
        size_t depth = style.textLists.size();
        counters.resize(depth, 0);
        ++counters[depth - 1];
        const TextList& list = style.textLists.back();
        const std::string& format = list.markerFormat;
        std::string marker;
        if (format.find("decimal") != std::string::npos || format.find("alpha") != std::string::npos ||
            format.find("roman") != std::string::npos)
            marker =
                std::to_string(static_cast<long long>(list.startingItemNumber) + counters[depth - 1] - 1) +
                ".";
        else
            marker = std::string(markdownbullet::rawValue(converter.options.bullet));
        std::string line;
        for (size_t i = 1; i < depth; ++i) line += "    ";
        line +=
            marker + " " + MarkdownText::escapeBlockStart(converter.inlineMarkdown(text, start, end, false));
        listItems.push_back(std::move(line));
        return;
    }

    if (isMonospace(text, start, end)) {
        finishList();
        codeLines.emplace_back(paragraphText);
        return;
    }

    finishCode();
    finishList();
    int level = 0;
    double dominant = dominantSize;  // of the whole text
    if (dominant > 0 && unicode::characterCount(paragraphText) <= 149) {
        double size = fontSize(text, start);
        if (size >= 1.6 * dominant)
            level = 1;
        else if (size >= 1.35 * dominant)
            level = 2;
        else if (size >= 1.15 * dominant)
            level = 3;
    }
    std::string inlineText = converter.inlineMarkdown(text, start, end, level > 0);
    if (inlineText.empty())
        return;
    if (level > 0) {
        replaceAll(inlineText, "\n", " ");
        blocks.push_back(std::string(static_cast<size_t>(level), '#') + " " + inlineText);
    } else {
        blocks.push_back(MarkdownText::escapeBlockStart(std::move(inlineText)));
    }
}

std::string AttributedMarkdownConverter::convert(const AttributedText& text) const {
    Conversion conversion(*this, text);
    std::string_view string = text.string();
    size_t start = 0;
    while (start < string.size()) {
        size_t i = start;
        size_t separator = 0;
        while (i < string.size() && (separator = separatorLength(string, i)) == 0) ++i;
        conversion.paragraph(start, trimLineBreaks(string, start, i));
        start = i + separator;
    }
    conversion.finishList();
    conversion.finishCode();
    conversion.flushTable();
    std::string joined;
    for (size_t b = 0; b < conversion.blocks.size(); ++b) {
        if (b)
            joined += "\n\n";
        joined += conversion.blocks[b];
    }
    return std::string(unicode::trimWhitespaceAndNewlines(TextCleaner::tidyLines(joined)));
}

}  // namespace dz
