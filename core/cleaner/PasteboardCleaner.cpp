#include "core/cleaner/PasteboardCleaner.h"

#include <algorithm>
#include <cctype>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownConverter.h"
#include "core/html/HTMLTextContent.h"
#include "core/links/URLCleaner.h"
#include "core/pdf/PDFReflower.h"
#include "core/richtext/AttributedMarkdownConverter.h"
#include "core/richtext/AttributedText.h"
#include "core/richtext/PlainTextLayout.h"
#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

namespace dz {

namespace pt = pasteboardtype;

PasteboardCleaner::PasteboardCleaner(CleaningOptions options, bool preserveLinks,
                                     std::optional<OutputFormat> format, MarkdownOptions markdown,
                                     PDFOptions pdf, bool reflowPDF, WordPredicate isWord,
                                     Transform transform)
    : options(options),
      format(format.value_or(preserveLinks ? OutputFormat::plainWithLinks : OutputFormat::plain)),
      markdown(markdown),
      pdf(pdf),
      reflowPDF(reflowPDF),
      isWord(std::move(isWord)),
      transform(std::move(transform)) {}

std::optional<std::string> PasteboardCleaner::declaredSource(const Pasteboard& pasteboard) {
    auto types = pasteboard.types();
    if (!types || std::find(types->begin(), types->end(), sourceType) == types->end())
        return std::nullopt;
    return pasteboard.string(std::string(sourceType));
}

std::optional<std::string> PasteboardCleaner::declaredSource(
    const std::vector<ClipboardSnapshot::Entry>& items) {
    for (const auto& item : items)
        if (item.type == sourceType)
            return unicode::decodeUTF8(item.data);
    return std::nullopt;
}

bool PasteboardCleaner::showsFootnoteMarkup(const ClipboardSnapshot& snapshot) {
    if (auto decoded = snapshot.html()) {
        const std::string* html = &*decoded;
        // A `sup` start tag in any letter case.
        auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
        for (size_t at = html->find('<'); at != std::string::npos; at = html->find('<', at + 1)) {
            if (at + 4 > html->size())
                break;
            if (lower((*html)[at + 1]) != 's' || lower((*html)[at + 2]) != 'u' ||
                lower((*html)[at + 3]) != 'p')
                continue;
            char next = at + 4 < html->size() ? (*html)[at + 4] : '\0';
            if (next == '>' || next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '/' ||
                next == '\f')
                return true;
        }
    }
    if (auto rtf = snapshot.data(pt::rtf)) {
        // \super, or \up with an optional numeric parameter (not \upr or other words).
        for (size_t at = rtf->find("\\super"); at != std::string_view::npos;
             at = rtf->find("\\super", at + 1)) {
            size_t end = at + 6;
            if (end >= rtf->size() || !std::isalpha(static_cast<unsigned char>((*rtf)[end])))
                return true;
        }
        for (size_t at = rtf->find("\\up"); at != std::string_view::npos; at = rtf->find("\\up", at + 1)) {
            size_t end = at + 3;
            if (end >= rtf->size() || !std::isalpha(static_cast<unsigned char>((*rtf)[end])))
                return true;
        }
    }
    return false;
}

namespace {

// Text of HTML the parser refuses (absurd nesting, a tag with hundreds of
// attributes), which still holds text the user wants.
std::optional<std::string> refusedHTMLText(const ClipboardSnapshot& snapshot) {
    if (auto html = snapshot.html();
        html && HTMLDocument::estimatedNestingDepth(*html) > HTMLDocument::maximumNestingDepth) {
        if (std::string text = htmltext::textContent(*html); !text.empty())
            return text;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> PasteboardCleaner::sourceText(const ClipboardSnapshot& snapshot) const {
    if (auto text = snapshot.plainText(); text && !text->empty())
        return text;
    if (snapshot.hasRich()) {
        if (auto attributed = snapshot.attributedString(AttributedText::Detail::textAndLinks);
            attributed && !attributed->string().empty())
            return attributed->string();
    }
    return refusedHTMLText(snapshot);
}

std::string PasteboardCleaner::reflow(std::string_view text) const {
    return PDFReflower(pdf, isWord).reflow(text);
}

std::optional<RenderedClip> PasteboardCleaner::render(const ClipboardSnapshot& snapshot) const {
    std::optional<RenderedClip> clip;
    switch (format) {
        case OutputFormat::original:
            return std::nullopt;
        case OutputFormat::markdown:
            clip = renderMarkdown(snapshot);
            break;
        case OutputFormat::plainWithLinks:
            if (!reflowPDF && snapshot.hasRich()) {
                if (auto attributed = snapshot.attributedString(AttributedText::Detail::textAndLinks)) {
                    std::optional<std::string> page = snapshot.sourcePageURL();
                    auto runs = attributed->linkRuns();
                    bool linked =
                        std::any_of(runs.begin(), runs.end(), [&](const AttributedText::LinkRun& run) {
                            return keptLink(run.link, page).has_value();
                        });
                    if (linked)
                        clip = linkPreservingOutput(*attributed, showsFootnoteMarkup(snapshot), page);
                    else
                        clip = renderPlain(snapshot, &*attributed);  // parsed once, not twice
                    break;
                }
            }
            clip = renderPlain(snapshot);
            break;
        case OutputFormat::plain:
            clip = renderPlain(snapshot);
            break;
    }
    if (clip && clip->string.empty())
        return std::nullopt;
    return clip;
}

std::optional<RenderedClip> PasteboardCleaner::renderPlain(const ClipboardSnapshot& snapshot,
                                                           const AttributedText* parsed) const {
    // The same choice as sourceText, reading the rich text at most once.
    std::optional<std::string> text = snapshot.plainText();
    std::optional<AttributedText> own;
    const AttributedText* rich = nullptr;  // the text comes from here when set
    if (!text || text->empty()) {
        text.reset();
        if (!parsed && snapshot.hasRich()) {
            own = snapshot.attributedString(AttributedText::Detail::textAndLinks);
            parsed = own ? &*own : nullptr;
        }
        if (parsed && !parsed->string().empty())
            rich = parsed;
        else
            text = refusedHTMLText(snapshot);
        if (!rich && !text)
            return std::nullopt;
    }
    bool footnotes = snapshot.hasRich() && showsFootnoteMarkup(snapshot);
    std::string result;
    if (rich && !rich->tables().empty()) {
        result = laidOutPlainText(*rich, footnotes);
    } else {
        result = rich ? rich->string() : std::move(*text);
        if (reflowPDF)
            result = reflow(result);
        result = TextCleaner(options).clean(result, footnotes);
    }
    if (transform)
        result = transform(result);
    RenderedClip clip{std::move(result), std::nullopt, std::nullopt};
    if (auto url = snapshot.url())
        clip.url = URLCleaner::clean(*url, options.removeTrackingParameters, options.unwrapRedirectLinks, 0);
    return clip;
}

namespace {

std::string escapeHTML(std::string_view text, bool lineBreaks) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                if (lineBreaks)
                    out += "<br>";
                else
                    out.push_back(ch);
                break;
            default:
                out.push_back(ch);
        }
    }
    return out;
}

// Only line endings become line feeds here; trailing spaces and blank lines stay.
std::string unifyLineEndings(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\r') {
            out.push_back('\n');
            i += (i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else if (text[i] == '\v' || text[i] == '\f') {
            out.push_back('\n');
            ++i;
        } else if (text.compare(i, 3, "\u2028") == 0 || text.compare(i, 3, "\u2029") == 0) {
            out.push_back('\n');
            i += 3;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

std::string_view trimLeading(std::string_view text) {
    auto trimmed = unicode::trimWhitespaceAndNewlines(text);
    return text.substr(static_cast<size_t>(trimmed.data() - text.data()));
}

std::string_view trimTrailing(std::string_view text) {
    auto trimmed = unicode::trimWhitespaceAndNewlines(text);
    if (trimmed.empty())
        return {};
    return text.substr(0, static_cast<size_t>(trimmed.data() - text.data()) + trimmed.size());
}

// A table cell's text on its row's line: each run of blanks holding a line
// break or a tab becomes one space (runs of spaces alone stay as they are).
std::string joinLines(std::string_view text) {
    auto breakAt = [&](size_t i) -> size_t {  // the length of a line break or tab at i, else 0
        char c = text[i];
        if (c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f')
            return 1;
        if (text.compare(i, 3, "\u2028") == 0 || text.compare(i, 3, "\u2029") == 0)
            return 3;
        return 0;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != ' ' && breakAt(i) == 0) {
            out.push_back(text[i++]);
            continue;
        }
        size_t end = i;
        bool breaks = false;
        while (end < text.size()) {
            if (text[end] == ' ') {
                ++end;
            } else if (size_t n = breakAt(end)) {
                breaks = true;
                end += n;
            } else {
                break;
            }
        }
        if (breaks)
            out.push_back(' ');
        else
            out.append(text, i, end - i);
        i = end;
    }
    return out;
}

// Spreadsheets hold at most some thousands of columns; a hostile copy of
// wide spans would otherwise write millions of empty fields.
constexpr size_t maxPaddingFields = 100'000;

// One table row as a line: `fields[i]` is the text of `row[i]`, and the
// columns no cell starts in are empty fields.
void appendRowLine(std::string& out, const PlainTextLayout::Row& row, const std::vector<std::string>& fields,
                   size_t& padding) {
    int at = 0;  // the column of the next field
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            out.push_back('\t');
        size_t gap = std::min(static_cast<size_t>(std::max(0, row[i].column - at)), padding);
        padding -= gap;
        out.append(gap, '\t');
        out += fields[i];
        at = row[i].column + 1;
    }
    size_t trailing = std::min(static_cast<size_t>(std::max(0, row.back().columnSpan - 1)), padding);
    padding -= trailing;
    out.append(trailing, '\t');
}

void appendRowHTML(std::string& out, const PlainTextLayout::Row& row, const std::vector<std::string>& cells) {
    auto cellTag = [&](int span) {
        out += span > 1 ? "<td colspan=\"" + std::to_string(span) + "\">" : std::string("<td>");
    };
    out += "<tr>";
    int at = 0;  // the first column not yet written
    for (size_t i = 0; i < row.size(); ++i) {
        if (row[i].column > at) {
            cellTag(row[i].column - at);
            out += "</td>";
        }
        cellTag(row[i].columnSpan);
        out += cells[i];
        out += "</td>";
        at = std::max(at, row[i].column + std::max(1, row[i].columnSpan));
    }
    out += "</tr>";
}

// Whether two addresses name the same page, an empty path being "/".
bool samePage(std::string_view a, std::string_view b) {
    auto withoutSlash = [](std::string_view s) {
        if (s.ends_with('/'))
            s.remove_suffix(1);
        return s;
    };
    return withoutSlash(a) == withoutSlash(b);
}

void dropBlankEnds(std::vector<PasteboardCleaner::Segment>& segments) {
    auto blank = [](const PasteboardCleaner::Segment& s) { return unicode::isBlank(s.text); };
    auto first = std::find_if_not(segments.begin(), segments.end(), blank);
    segments.erase(segments.begin(), first);
    while (!segments.empty() && blank(segments.back())) segments.pop_back();
    if (!segments.empty()) {
        segments.front().text = std::string(trimLeading(segments.front().text));
        segments.back().text = std::string(trimTrailing(segments.back().text));
    }
}

std::string textOf(const std::vector<PasteboardCleaner::Segment>& segments) {
    std::string text;
    for (const auto& segment : segments) text += segment.text;
    return text;
}

std::string htmlOf(const std::vector<PasteboardCleaner::Segment>& segments) {
    std::string html;
    for (const auto& segment : segments) {
        if (segment.link) {
            html += "<a href=\"" + escapeHTML(*segment.link, false) + "\">" + escapeHTML(segment.text, true) +
                    "</a>";
        } else {
            html += escapeHTML(segment.text, true);
        }
    }
    return html;
}

}  // namespace

std::optional<std::string> PasteboardCleaner::keptLink(const std::optional<std::string>& link,
                                                       std::optional<std::string_view> page) const {
    if (!link)
        return std::nullopt;
    std::string_view address = unicode::trimWhitespaceAndNewlines(*link);
    if (address.starts_with('#'))
        return std::nullopt;
    if (size_t hash = address.find('#'); page && hash != std::string_view::npos) {
        std::string_view own = page->substr(0, page->find('#'));
        if (samePage(address.substr(0, hash), own))
            return std::nullopt;
    }
    if (unicode::lowercased(*link).starts_with("http"))
        return URLCleaner::clean(*link, options.removeTrackingParameters, options.unwrapRedirectLinks, 0);
    return link;
}

void PasteboardCleaner::cleanSegments(std::vector<Segment>& segments, bool footnotes) const {
    for (auto& segment : segments) {
        std::string& s = segment.text;
        if (options.normalizeNewlines)
            s = unifyLineEndings(s);
        if (options.removeInvisibleCharacters || options.normalizeSpaces)
            s = TextCleaner::removeInvisibles(s, options.removeInvisibleCharacters, options.normalizeSpaces);
        if (options.normalizeLists)
            s = TextCleaner::normalizeLists(s, listbullet::rawValue(options.listBullet));
    }
    if (options.removeFootnoteReferences && footnotes) {
        // A marker is often a link of its own ("[1]" after "Claim."): it is
        // found in the text the segments make up and cut out of them.
        std::string whole = textOf(segments);
        std::vector<std::pair<size_t, size_t>> ranges;
        if (whole.find('[') != std::string::npos)
            ranges = TextCleaner::footnoteRanges(whole);
        size_t r = 0, start = 0;
        for (auto& segment : segments) {
            if (r >= ranges.size())
                break;
            size_t end = start + segment.text.size();
            std::string kept;
            size_t copied = start;
            while (r < ranges.size() && ranges[r].first < end) {
                size_t a = std::max(ranges[r].first, start), b = std::min(ranges[r].second, end);
                if (a > copied)
                    kept.append(whole, copied, a - copied);
                copied = std::max(copied, b);
                if (ranges[r].second > end)
                    break;  // the marker goes on in the next segment
                ++r;
            }
            if (copied < end)
                kept.append(whole, copied, end - copied);
            segment.text = std::move(kept);
            start = end;
        }
    }
    for (auto& segment : segments) {
        std::string& s = segment.text;
        if (options.normalizeQuotes)
            s = TextCleaner::normalizeQuotes(s);
        if (options.removeTrackingParameters || options.unwrapRedirectLinks)
            s = URLCleaner::cleanURLs(s, options.removeTrackingParameters, options.unwrapRedirectLinks);
        if (options.removeMailtoPrefix)
            s = TextCleaner::removeMailto(s);
    }
    // Text that cleaning emptied leaves no empty anchor behind.
    std::vector<Segment> kept;
    for (auto& segment : segments) {
        if (segment.text.empty())
            continue;
        if (!kept.empty() && kept.back().link == segment.link)
            kept.back().text += segment.text;
        else
            kept.push_back(std::move(segment));
    }
    segments = std::move(kept);
}

std::optional<RenderedClip> PasteboardCleaner::linkPreservingOutput(
    const AttributedText& attributed, bool footnotes, std::optional<std::string_view> page) const {
    auto segmentsOf = [&](const std::vector<PlainTextLayout::Span>& spans) {
        std::vector<Segment> segments;
        for (const auto& span : spans) {
            std::optional<std::string> link = keptLink(span.link, page);
            if (!segments.empty() && segments.back().link == link)
                segments.back().text += span.text;
            else
                segments.push_back({span.text, std::move(link)});
        }
        cleanSegments(segments, footnotes);
        return segments;
    };

    // Running text as segments; a table as the segments of each cell.
    struct Part {
        const PlainTextLayout::Block* block = nullptr;
        std::vector<Segment> text;
        std::vector<std::vector<std::vector<Segment>>> cells;
    };
    const std::vector<PlainTextLayout::Block> blocks = PlainTextLayout::blocks(attributed);
    std::vector<Part> parts;
    for (const auto& block : blocks) {
        Part& part = parts.emplace_back();
        part.block = &block;
        if (!block.isTable) {
            part.text = segmentsOf(block.text);
            continue;
        }
        for (const auto& row : block.rows) {
            auto& cells = part.cells.emplace_back();
            for (const auto& cell : row) {
                std::vector<Segment> segments = segmentsOf(cell.spans);
                for (auto& segment : segments) segment.text = joinLines(segment.text);
                dropBlankEnds(segments);
                cells.push_back(std::move(segments));
            }
        }
    }
    if (options.trimWhitespace && !parts.empty()) {
        if (!parts.front().block->isTable) {
            auto& front = parts.front().text;
            auto first = std::find_if_not(front.begin(), front.end(),
                                          [](const Segment& s) { return unicode::isBlank(s.text); });
            front.erase(front.begin(), first);
            if (!front.empty())
                front.front().text = std::string(trimLeading(front.front().text));
        }
        if (!parts.back().block->isTable) {
            auto& back = parts.back().text;
            while (!back.empty() && unicode::isBlank(back.back().text)) back.pop_back();
            if (!back.empty())
                back.back().text = std::string(trimTrailing(back.back().text));
        }
    }

    std::string text;
    std::string html = "<meta charset=\"utf-8\">";
    size_t padding = maxPaddingFields;
    bool first = true;
    for (const Part& part : parts) {
        if (!part.block->isTable) {
            std::string piece = textOf(part.text);
            if (piece.empty())
                continue;
            if (!first)
                text.push_back('\n');
            text += piece;
            html += htmlOf(part.text);
            first = false;
            continue;
        }
        html += "<table>";
        for (size_t r = 0; r < part.cells.size(); ++r) {
            if (!first)
                text.push_back('\n');
            first = false;
            std::vector<std::string> fields, cells;
            for (const auto& segments : part.cells[r]) {
                fields.push_back(textOf(segments));
                cells.push_back(htmlOf(segments));
            }
            appendRowLine(text, part.block->rows[r], fields, padding);
            appendRowHTML(html, part.block->rows[r], cells);
        }
        html += "</table>";
    }
    if (text.empty())
        return std::nullopt;
    if (transform)
        text = transform(text);
    return RenderedClip{std::move(text), std::move(html), std::nullopt};
}

std::string PasteboardCleaner::laidOutPlainText(const AttributedText& attributed, bool footnotes) const {
    TextCleaner cleaner(options);
    std::string text;
    size_t padding = maxPaddingFields;
    bool first = true;
    for (const auto& block : PlainTextLayout::blocks(attributed)) {
        if (!block.isTable) {
            std::string piece;
            for (const auto& span : block.text) piece += span.text;
            if (reflowPDF)
                piece = reflow(piece);
            piece = cleaner.clean(piece, footnotes);
            if (piece.empty())
                continue;
            if (!first)
                text.push_back('\n');
            text += piece;
            first = false;
            continue;
        }
        for (const auto& row : block.rows) {
            if (!first)
                text.push_back('\n');
            first = false;
            std::vector<std::string> fields;
            for (const auto& cell : row) {
                std::string piece;
                for (const auto& span : cell.spans) piece += span.text;
                piece = joinLines(cleaner.clean(piece, footnotes));
                fields.emplace_back(unicode::trimWhitespaceAndNewlines(piece));
            }
            appendRowLine(text, row, fields, padding);
        }
    }
    return text;
}

std::string PasteboardCleaner::removeFootnotesOutsideCode(std::string_view markdown) {
    // Most copies hold no marker at all; the direct scan tells without building the pattern.
    if (TextCleaner::removeFootnotes(markdown).size() == markdown.size())
        return std::string(markdown);
    icu::UnicodeString text = unicode::toICU(markdown);
    // Code ranges in UTF-16 units: fenced blocks, then code spans on other lines.
    std::vector<std::pair<int32_t, int32_t>> code;
    int32_t length = text.length();
    int32_t lineStart = 0;
    icu::UnicodeString fence;  // the open fence's marker run, empty outside a block
    int32_t fenceStart = 0;
    while (lineStart <= length) {
        int32_t lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = length;
        int32_t i = lineStart;
        while (i < lineEnd && i - lineStart < 4 && text[i] == u' ') ++i;
        int32_t runEnd = i;
        char16_t marker = i < lineEnd ? text[i] : 0;
        if (marker == u'`' || marker == u'~')
            while (runEnd < lineEnd && text[runEnd] == marker) ++runEnd;
        bool isFence = (marker == u'`' || marker == u'~') && runEnd - i >= 3;
        if (fence.isEmpty()) {
            if (isFence) {
                fence = text.tempSubString(i, runEnd - i);
                fenceStart = lineStart;
            } else {
                // Code spans: a backtick run closed by a run of the same length on this line.
                int32_t p = lineStart;
                while (p < lineEnd) {
                    if (text[p] != u'`') {
                        ++p;
                        continue;
                    }
                    int32_t open = p;
                    while (p < lineEnd && text[p] == u'`') ++p;
                    int32_t width = p - open;
                    int32_t q = p;
                    bool closed = false;
                    while (q < lineEnd) {
                        if (text[q] != u'`') {
                            ++q;
                            continue;
                        }
                        int32_t run = q;
                        while (q < lineEnd && text[q] == u'`') ++q;
                        if (q - run == width) {
                            code.emplace_back(open, q);
                            p = q;
                            closed = true;
                            break;
                        }
                    }
                    if (!closed)
                        p = open + width;
                }
            }
        } else if (isFence && text[i] == fence[0] && runEnd - i >= fence.length()) {
            code.emplace_back(fenceStart, lineEnd);
            fence.remove();
        }
        lineStart = lineEnd + 1;
    }
    if (!fence.isEmpty())
        code.emplace_back(fenceStart, length);  // an unclosed fence runs to the end

    auto inCode = [&](int32_t position) {
        return std::any_of(code.begin(), code.end(),
                           [&](const auto& r) { return position >= r.first && position < r.second; });
    };
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString result = TextCleaner::footnoteRegex().replaceAll(text, [&](icu::RegexMatcher& m) {
        int32_t start = m.start(status);
        return inCode(start) ? m.group(status) : icu::UnicodeString();
    });
    return unicode::fromICU(result);
}

std::optional<RenderedClip> PasteboardCleaner::renderMarkdown(const ClipboardSnapshot& snapshot) const {
    std::optional<std::string> md;
    bool rich = snapshot.hasRich();
    if (!reflowPDF) {
        if (auto html = snapshot.html(); html && !HTMLMarkdownConverter::isWordHTML(*html)) {
            auto converted = HTMLMarkdownConverter(markdown, options).convert(*html, snapshot.plainText());
            if (converted && !converted->empty())
                md = std::move(converted);
        }
        if (!md && rich) {
            if (auto attributed = snapshot.attributedString()) {
                std::string converted = AttributedMarkdownConverter(markdown, options).convert(*attributed);
                if (!converted.empty())
                    md = std::move(converted);
            }
        }
    }
    std::string result;
    if (md) {
        CleaningOptions o = options;
        o.removeMailtoPrefix = false;
        o.normalizeLists = false;
        o.removeTrackingParameters = false;
        o.unwrapRedirectLinks = false;
        std::string text = std::move(*md);
        // Only a copy that shows superscripts can hold footnote markers;
        // elsewhere brackets are the text's own (f(list[i]), m[i][j]).
        if (!rich || !showsFootnoteMarkup(snapshot))
            o.removeFootnoteReferences = false;
        if (o.removeFootnoteReferences) {
            // Footnotes go before the other passes would see them, but never inside code.
            if (o.normalizeNewlines)
                text = TextCleaner::normalizeLineEndings(text);
            if (o.removeInvisibleCharacters || o.normalizeSpaces)
                text = TextCleaner::removeInvisibles(text, o.removeInvisibleCharacters, o.normalizeSpaces);
            if (text.find('[') != std::string::npos)
                text = removeFootnotesOutsideCode(text);
            o.removeFootnoteReferences = false;
        }
        result = TextCleaner(o).clean(text, rich);
    } else {
        auto text = sourceText(snapshot);
        if (!text)
            return std::nullopt;
        std::string s = reflowPDF ? reflow(*text) : std::move(*text);
        s = TextCleaner::normalizeLineEndings(s);
        s = TextCleaner::normalizeLists(s, markdownbullet::rawValue(markdown.bullet));
        CleaningOptions o = options;
        o.removeMailtoPrefix = false;
        o.normalizeLists = false;
        result = TextCleaner(o).clean(s, rich);
    }
    if (transform)
        result = transform(result);
    return RenderedClip{std::move(result), std::nullopt, std::nullopt};
}

bool PasteboardCleaner::isUnchanged(const RenderedClip& clip, const ClipboardSnapshot& snapshot) {
    if (snapshot.hasRich() || clip.html)
        return false;
    auto text = snapshot.plainText();
    if (!text || *text != clip.string)
        return false;
    if (clip.url) {
        auto url = snapshot.url();
        if (!url || *url != *clip.url)
            return false;
    }
    return true;
}

CleanOutcome PasteboardCleaner::clean(Pasteboard& pasteboard, bool force) const {
    auto capture = ClipboardSnapshot::capture(pasteboard, force);
    if (auto reason = capture.skipReason())
        return CleanOutcome::skipped(*reason);
    if (format == OutputFormat::original)
        return CleanOutcome::skipped(SkipReason::keptOriginal);
    const ClipboardSnapshot& snapshot = *capture.snapshot();
    auto clip = render(snapshot);
    if (!clip)
        return CleanOutcome::skipped(SkipReason::noText);
    if (isUnchanged(*clip, snapshot))
        return CleanOutcome::unchanged();
    clip->write(pasteboard);
    return CleanOutcome::cleaned();
}

}  // namespace dz
