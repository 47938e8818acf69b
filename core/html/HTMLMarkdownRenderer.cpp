#include "core/html/HTMLMarkdownRenderer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_set>

#include "core/links/URLCleaner.h"
#include "core/markdown/MarkdownText.h"
#include "core/richtext/TextFont.h"
#include "core/text/Regex.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

using NameSet = std::unordered_set<std::string_view>;

const NameSet& blockNames() {
    static const NameSet names{"p",    "div",     "h1",      "h2",      "h3",         "h4",     "h5",
                               "h6",   "ul",      "ol",      "li",      "menu",       "dir",    "blockquote",
                               "pre",  "table",   "thead",   "tbody",   "tfoot",      "tr",     "td",
                               "th",   "caption", "hr",      "section", "article",    "header", "footer",
                               "main", "nav",     "aside",   "figure",  "figcaption", "dl",     "dt",
                               "dd",   "address", "details", "summary", "center",     "form",   "fieldset",
                               "body", "html",    "hgroup"};
    return names;
}

const NameSet& skippedNames() {
    static const NameSet names{"script",   "style",    "head",   "title",  "meta",    "link",
                               "noscript", "template", "svg",    "button", "select",  "option",
                               "iframe",   "object",   "embed",  "canvas", "map",     "area",
                               "audio",    "video",    "source", "track",  "textarea"};
    return names;
}

// Block and skipped flags by Gumbo tag, so the walk asks an array rather
// than a hash set for every known element.
enum : uint8_t { blockFlag = 1, skippedFlag = 2 };

uint8_t nameFlags(std::string_view name) {
    return (blockNames().count(name) ? blockFlag : 0) | (skippedNames().count(name) ? skippedFlag : 0);
}

uint8_t elementFlags(HTMLNode element, std::string_view name) {
    static const auto* byTag = [] {
        auto* table = new uint8_t[GUMBO_TAG_LAST];
        for (int tag = 0; tag < GUMBO_TAG_LAST; ++tag)
            table[tag] = nameFlags(gumbo_normalized_tagname(static_cast<GumboTag>(tag)));
        return table;
    }();
    GumboTag tag = element.raw()->v.element.tag;
    if (tag != GUMBO_TAG_UNKNOWN && tag < GUMBO_TAG_LAST)
        return byTag[tag];
    return nameFlags(name);
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Whether `text`, lower-cased, contains `lowerNeedle`; without allocating
// for ASCII text.
bool lowercasedContains(std::string_view text, std::string_view lowerNeedle) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return contains(unicode::lowercased(text), lowerNeedle);
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return std::search(text.begin(), text.end(), lowerNeedle.begin(), lowerNeedle.end(),
                       [&](char a, char b) { return lower(a) == b; }) != text.end();
}

// The style attribute lower-cased, without space characters.
std::string styleText(HTMLNode element) {
    std::string_view style = element.attributeOrEmpty("style");
    if (style.empty())
        return {};
    std::string lower = unicode::lowercased(style);
    std::erase(lower, ' ');
    return lower;
}

bool styleIsBold(std::string_view style, std::string_view name) {
    for (std::string_view light :
         {"font-weight:normal", "font-weight:400", "font-weight:300", "font-weight:lighter"})
        if (contains(style, light))
            return false;
    if (name == "b" || name == "strong")
        return true;
    for (std::string_view heavy : {"font-weight:bold", "font-weight:bolder", "font-weight:600",
                                   "font-weight:700", "font-weight:800", "font-weight:900"})
        if (contains(style, heavy))
            return true;
    return false;
}

bool styleIsItalic(std::string_view style, std::string_view name) {
    if (contains(style, "font-style:normal"))
        return false;
    return name == "i" || name == "em" || name == "dfn" || name == "var" ||
           contains(style, "font-style:italic") || contains(style, "font-style:oblique");
}

bool styleIsStrike(std::string_view style, std::string_view name) {
    return name == "s" || name == "strike" || name == "del" || contains(style, "line-through");
}

bool styleIsMonospace(std::string_view style) {
    size_t at = style.find("font-family:");
    if (at == std::string_view::npos)
        return false;
    std::string_view families = style.substr(at + 12);
    families = families.substr(0, families.find(';'));
    std::string_view first;
    while (!families.empty()) {
        size_t comma = families.find(',');
        std::string_view piece = families.substr(0, comma);
        if (!piece.empty()) {
            first = piece;
            break;
        }
        if (comma == std::string_view::npos)
            break;
        families.remove_prefix(comma + 1);
    }
    return TextFont::isMonospaceFamilyName(first);
}

// A decimal integer with an optional sign and nothing else; nothing on
// overflow or any other character.
std::optional<int64_t> decimalInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(magnitude);
    return static_cast<int64_t>(magnitude);
}

std::string join(const std::vector<std::string>& parts, std::string_view separator) {
    size_t size = 0;
    for (const auto& p : parts) size += p.size() + separator.size();
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += separator;
        out += parts[i];
    }
    return out;
}

void append(std::vector<std::string>& to, std::vector<std::string>&& from) {
    for (auto& s : from) to.push_back(std::move(s));
}

// First element below `node` (not `node` itself) named `name`, in document
// order.
HTMLNode firstDescendant(HTMLNode node, std::string_view name) {
    for (HTMLNode n = node.firstChild(); n; n = n.nextInDocumentOrder(node))
        if (n.is(name))
            return n;
    return {};
}

// True when no text below `node` has anything but white space.
bool hasOnlyBlankText(HTMLNode node) {
    for (HTMLNode n = node.firstChild(); n; n = n.nextInDocumentOrder(node))
        if (n.isText() && !unicode::isBlank(n.text()))
            return false;
    return true;
}

// The task-list checkbox of an item: inputs and nested lists end the search
// at their level; paragraphs, labels and spans are searched inside.
HTMLNode firstCheckbox(HTMLNode item) {
    std::vector<HTMLNode> levels{item.firstChild()};
    while (!levels.empty()) {
        HTMLNode child = levels.back();
        if (!child) {
            levels.pop_back();
            continue;
        }
        levels.back() = child.nextSibling();
        if (!child.isElement())
            continue;
        std::string_view name = child.name();
        if (name == "input") {
            if (unicode::lowercased(child.attributeOrEmpty("type")) == "checkbox")
                return child;
            levels.pop_back();
        } else if (name == "ul" || name == "ol") {
            levels.pop_back();
        } else if (name == "p" || name == "label" || name == "span") {
            levels.push_back(child.firstChild());
        }
    }
    return {};
}

std::string trimTrailingWhitespace(std::string text) {
    std::string_view trimmed = unicode::trimWhitespaceAndNewlines(text);
    size_t end = static_cast<size_t>(trimmed.data() - text.data()) + trimmed.size();
    if (trimmed.empty())
        end = 0;
    text.resize(end);
    return text;
}

std::string replaced(std::string_view text, char from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == from)
            out += to;
        else
            out += c;
    }
    return out;
}

// The table laid out before any cell is rendered: rows (tr children of the
// table and of its row groups, in order) as slots, one per column, holding
// the cell that starts there or nothing where a span covers the slot; and the
// shape that decides between a pipe table and plain blocks.
struct TableShape {
    std::vector<std::vector<HTMLNode>> rows;
    size_t columns = 0;
    bool nested = false;
    HTMLNode caption;
};

bool isCell(HTMLNode node) {
    return node.is("td") || node.is("th");
}

// Cells, or rows, a span adds after its own, at most 49.
size_t extraSpan(HTMLNode cell, std::string_view attribute) {
    auto span = decimalInteger(cell.attributeOrEmpty(attribute));
    if (!span || *span < 2)
        return 0;
    return static_cast<size_t>(std::min<int64_t>(*span, 50) - 1);
}

TableShape tableShape(HTMLNode table) {
    TableShape shape;
    std::vector<HTMLNode> rows;
    std::vector<HTMLNode> levels{table.firstChild()};
    while (!levels.empty()) {
        HTMLNode child = levels.back();
        if (!child) {
            levels.pop_back();
            continue;
        }
        levels.back() = child.nextSibling();
        if (child.is("tr"))
            rows.push_back(child);
        else if (child.is("thead") || child.is("tbody") || child.is("tfoot"))
            levels.push_back(child.firstChild());
        else if (!shape.caption && levels.size() == 1 && child.is("caption"))
            shape.caption = child;
    }
    // Rows each column is still covered for by a row span from above.
    std::vector<size_t> covered;
    for (HTMLNode row : rows) {
        std::vector<HTMLNode>& slots = shape.rows.emplace_back();
        auto skipCovered = [&] {
            while (slots.size() < covered.size() && covered[slots.size()] > 0) {
                --covered[slots.size()];
                slots.emplace_back();
            }
        };
        for (HTMLNode cell = row.firstChildElement(); cell; cell = cell.nextSiblingElement()) {
            if (!isCell(cell))
                continue;
            if (!shape.nested && firstDescendant(cell, "table"))
                shape.nested = true;
            skipCovered();
            size_t column = slots.size();
            size_t width = 1 + extraSpan(cell, "colspan");
            size_t down = extraSpan(cell, "rowspan");
            slots.push_back(cell);
            slots.resize(column + width);
            if (covered.size() < column + width)
                covered.resize(column + width, 0);
            for (size_t c = column; c < column + width; ++c) covered[c] = down;
        }
        // Spans from above that reach past this row's own cells.
        while (slots.size() < covered.size()) {
            if (covered[slots.size()] > 0)
                --covered[slots.size()];
            slots.emplace_back();
        }
        shape.columns = std::max(shape.columns, slots.size());
    }
    return shape;
}

}  // namespace

HTMLMarkdownRenderer::HTMLMarkdownRenderer(const MarkdownOptions& options, const CleaningOptions& cleaning)
    : options_(options), cleaning_(cleaning) {}

bool HTMLMarkdownRenderer::isBlockName(std::string_view name) {
    return blockNames().count(name) > 0;
}

bool HTMLMarkdownRenderer::isSkippedName(std::string_view name) {
    return skippedNames().count(name) > 0;
}

std::string_view HTMLMarkdownRenderer::strongMarker() const {
    return options_.emphasis == MarkdownEmphasis::underscores ? "__" : "**";
}

std::string_view HTMLMarkdownRenderer::emphasisMarker() const {
    return options_.emphasis == MarkdownEmphasis::underscores ? "_" : "*";
}

std::string_view HTMLMarkdownRenderer::bulletMarker() const {
    return markdownbullet::rawValue(options_.bullet);
}

bool HTMLMarkdownRenderer::markBlockContainers(HTMLNode element) {
    // Every element with a block name marks its ancestors up to `element`;
    // a marked ancestor means the rest of the way up is marked already.
    for (HTMLNode n = element.firstChild(); n; n = n.nextInDocumentOrder(element)) {
        if (!n.isElement() || !(elementFlags(n, n.name()) & blockFlag))
            continue;
        for (HTMLNode up = n.parent(); up; up = up.parent()) {
            if (!blockContainers_.insert(up.raw()).second || up == element)
                break;
        }
    }
    return isBlockContainer(element);
}

// ---------------------------------------------------------------------------
// Predicates

const std::string& HTMLMarkdownRenderer::styleOf(HTMLNode element) const {
    if (styleElement_ != element) {
        styleElement_ = element;
        style_ = styleText(element);
    }
    return style_;
}

bool HTMLMarkdownRenderer::shouldSkip(HTMLNode element, std::string_view name) const {
    if (elementFlags(element, name) & skippedFlag)
        return true;
    if (lowercasedContains(element.attributeOrEmpty("class"), "mw-editsection"))
        return true;
    if (element.attribute("aria-hidden") == "true" && hasOnlyBlankText(element))
        return true;
    const std::string& style = styleOf(element);
    // Word writes each list marker as text in a span it marks to be ignored.
    return contains(style, "display:none") || contains(style, "mso-list:ignore");
}

bool HTMLMarkdownRenderer::isBold(HTMLNode element, std::string_view name) {
    return styleIsBold(styleText(element), name);
}

bool HTMLMarkdownRenderer::isItalic(HTMLNode element, std::string_view name) {
    return styleIsItalic(styleText(element), name);
}

bool HTMLMarkdownRenderer::isStrike(HTMLNode element, std::string_view name) {
    return styleIsStrike(styleText(element), name);
}

bool HTMLMarkdownRenderer::isMonospaceStyle(HTMLNode element) {
    return styleIsMonospace(styleText(element));
}

bool HTMLMarkdownRenderer::isFootnote(HTMLNode element) const {
    if (!cleaning_.removeFootnoteReferences)
        return false;
    if (lowercasedContains(element.attributeOrEmpty("class"), "reference"))
        return true;
    std::string value = element.stringValue();
    std::string_view text = unicode::trimWhitespace(value);
    return startsWith(text, "[") && text.ends_with("]") && unicode::characterCount(text) < 25;
}

bool HTMLMarkdownRenderer::isCodeEditorCopy(HTMLNode start) {
    HTMLNode current = start;
    std::string style = styleText(current);
    while (style.empty()) {
        current = current.firstChildElement();
        if (!current)
            return false;
        style = styleText(current);
    }
    return contains(style, "white-space:pre") && styleIsMonospace(style);
}

HTMLMarkdownRenderer::Context HTMLMarkdownRenderer::paragraphContext(HTMLNode element, std::string_view name,
                                                                     const Context& context) const {
    Context result = context;
    const std::string& style = styleOf(element);
    if (!result.bold && styleIsBold(style, name)) {
        result.wrappers.push_back(strongMarker());
        result.bold = true;
    }
    if (!result.italic && styleIsItalic(style, name)) {
        result.wrappers.push_back(emphasisMarker());
        result.italic = true;
    }
    return result;
}

// ---------------------------------------------------------------------------
// Leaves

std::string HTMLMarkdownRenderer::prepareText(std::string_view text) const {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
            while (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t' || text[i + 1] == '\r' ||
                                           text[i + 1] == '\n' || text[i + 1] == '\f'))
                ++i;
            out += ' ';
        } else {
            out += c;
        }
    }
    if ((cleaning_.removeTrackingParameters || cleaning_.unwrapRedirectLinks) && contains(out, "http"))
        out = URLCleaner::cleanURLs(out, cleaning_.removeTrackingParameters, cleaning_.unwrapRedirectLinks);
    if (out.find_first_of("*_`") != std::string::npos)
        out = MarkdownText::escapeText(out);
    return out;
}

std::string HTMLMarkdownRenderer::textWithLineBreaks(HTMLNode node) {
    if (node.isText())
        return std::string(node.text());
    if (node.is("br"))
        return "\n";
    std::string out;
    auto endLine = [&] {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
    };
    struct Level {
        HTMLNode next;
        bool block;
    };
    std::vector<Level> levels{{node.firstChild(), false}};
    while (!levels.empty()) {
        HTMLNode n = levels.back().next;
        if (!n) {
            if (levels.back().block)
                endLine();
            levels.pop_back();
            continue;
        }
        levels.back().next = n.nextSibling();
        if (n.isText()) {
            out += n.text();
            continue;
        }
        if (!n.isElement())
            continue;
        std::string_view name = n.name();
        if (name == "br") {
            out += '\n';
            continue;
        }
        std::string_view style = n.attributeOrEmpty("style");
        if (name == "script" || name == "style" || name == "button" || n.attribute("hidden") ||
            (!style.empty() && lowercasedContains(style, "display") &&
             contains(styleText(n), "display:none")))
            continue;
        // Editors and highlighters put each line of code in its own block.
        bool block = elementFlags(n, name) & blockFlag;
        if (block)
            endLine();
        levels.push_back({n.firstChild(), block});
    }
    return out;
}

namespace {

bool isCodeElementName(std::string_view name) {
    return name == "code" || name == "kbd" || name == "samp" || name == "tt";
}

// The level of a Word list paragraph (its style names "mso-list:l0 level2
// lfo1"), 0 for any other element.
int wordListLevel(std::string_view style) {
    size_t at = style.find("mso-list:");
    if (at == std::string_view::npos)
        return 0;
    std::string_view value = style.substr(at + 9);
    value = value.substr(0, value.find(';'));
    size_t level = value.find("level");
    if (level == std::string_view::npos)
        return 0;
    int n = 0;
    for (size_t i = level + 5; i < value.size() && value[i] >= '0' && value[i] <= '9' && n < 100; ++i)
        n = n * 10 + (value[i] - '0');
    return std::clamp(n, 0, 9);
}

// The marker text Word wrote for a list paragraph: the text of its first
// element styled mso-list:Ignore, without spaces.
std::string wordListMarker(HTMLNode paragraph) {
    for (HTMLNode n = paragraph.firstChild(); n; n = n.nextInDocumentOrder(paragraph)) {
        if (!n.isElement() || !contains(styleText(n), "mso-list:ignore"))
            continue;
        std::string value = n.stringValue();
        std::string marker;
        size_t i = 0;
        while (i < value.size()) {
            size_t from = i;
            char32_t c = unicode::nextCodePoint(value, i);
            if (!unicode::isWhiteSpaceOrNewline(c))
                marker.append(value, from, i - from);
        }
        return marker;
    }
    return {};
}

}  // namespace

namespace {

// A code element, or one whose style names a monospace first family; the
// style is lower-cased only when it names a family at all.
bool isMonospaceElement(HTMLNode element, std::string_view name) {
    if (isCodeElementName(name))
        return true;
    std::string_view style = element.attributeOrEmpty("style");
    return !style.empty() && lowercasedContains(style, "font-family") && styleIsMonospace(styleText(element));
}

}  // namespace

bool HTMLMarkdownRenderer::isMonospaceParagraph(HTMLNode element, std::string_view name) const {
    if ((name != "p" && name != "div") || isBlockContainer(element))
        return false;
    bool sawText = false;
    for (HTMLNode n = element.firstChild(); n;) {
        if (n.isElement()) {
            std::string_view childName = n.name();
            if (childName == "img" || childName == "input")
                return false;
            // Only the names: the full skip test reads styles, and a hidden
            // element with visible text at worst keeps this from being code.
            if (elementFlags(n, childName) & skippedFlag) {
                n = n.nextSkippingChildren(element);
                continue;
            }
        } else if (n.isText() && !unicode::isBlank(n.text())) {
            // Visible text needs a monospace element around it, up to the
            // paragraph itself.
            bool mono = false;
            for (HTMLNode up = n.parent(); up && !mono; up = up == element ? HTMLNode() : up.parent())
                mono = isMonospaceElement(up, up == element ? name : up.name());
            if (!mono)
                return false;
            sawText = true;
        }
        n = n.nextInDocumentOrder(element);
    }
    return sawText;
}

std::string HTMLMarkdownRenderer::codeLineText(HTMLNode paragraph) const {
    std::string out;
    // Spaces are kept, they indent code; a line break in the source is only
    // white space, as in any HTML text, and takes the blanks around it (in
    // this node and the next) into one space.
    bool folding = false;
    auto atLineStart = [&] { return out.empty() || out.back() == '\n'; };
    for (HTMLNode n = paragraph.firstChild(); n;) {
        if (n.isElement() && shouldSkip(n, n.name())) {
            n = n.nextSkippingChildren(paragraph);
            continue;
        }
        if (n.is("br")) {
            while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
            out += '\n';
            folding = false;
        } else if (n.isText()) {
            for (char c : n.text()) {
                bool lineBreak = c == '\n' || c == '\r' || c == '\f';
                if (lineBreak && !folding) {
                    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
                    folding = true;
                }
                if (folding && (lineBreak || c == ' ' || c == '\t'))
                    continue;
                if (folding && !atLineStart())
                    out += ' ';
                folding = false;
                out += c;
            }
        }
        n = n.nextInDocumentOrder(paragraph);
    }
    return out;
}

std::optional<std::string> HTMLMarkdownRenderer::codeParagraphs(HTMLNode first, std::string_view name,
                                                                HTMLNode& last) const {
    if (!isMonospaceParagraph(first, name))
        return std::nullopt;
    std::string code = codeLineText(first);
    last = first;
    size_t paragraphs = 1;
    for (HTMLNode n = first.nextSibling(); n; n = n.nextSibling()) {
        if (n.isText() && unicode::isBlank(n.text()))
            continue;
        if (!n.isElement()) {
            if (n.isText())
                break;
            continue;  // comments
        }
        std::string_view next = n.name();
        if (shouldSkip(n, next))
            continue;
        if (!isMonospaceParagraph(n, next))
            break;
        code += '\n';
        code += codeLineText(n);
        last = n;
        ++paragraphs;
    }
    if (paragraphs == 1 && code.find('\n') == std::string::npos)
        return std::nullopt;
    return MarkdownText::codeBlock(code);
}

std::string HTMLMarkdownRenderer::codeBlock(HTMLNode pre) {
    static const Regex languagePattern("(?:language|lang|highlight-source)-([a-z0-9+#_-]+)");
    std::vector<HTMLNode> candidates{pre};
    for (HTMLNode c = pre.firstChildElement(); c; c = c.nextSiblingElement()) candidates.push_back(c);
    if (pre.parent().isElement())
        candidates.push_back(pre.parent());

    std::optional<std::string> language;
    for (HTMLNode candidate : candidates) {
        std::string_view className = candidate.attributeOrEmpty("class");
        if (className.empty())
            continue;
        icu::UnicodeString lower = unicode::toICU(unicode::lowercased(className));
        auto matcher = languagePattern.matcher(lower);
        UErrorCode status = U_ZERO_ERROR;
        if (!matcher || !matcher->find(status) || U_FAILURE(status))
            continue;
        std::string matched = unicode::fromICU(matcher->group(status));
        // The last piece between hyphens: "language-foo-bar" gives "bar".
        std::string_view rest = matched;
        while (!rest.empty() && rest.back() == '-') rest.remove_suffix(1);
        language = std::string(rest.substr(rest.rfind('-') + 1));
        break;
    }
    return MarkdownText::codeBlock(textWithLineBreaks(pre), language);
}

std::string HTMLMarkdownRenderer::image(HTMLNode element) const {
    if (!options_.includeImages)
        return {};
    std::string_view source = unicode::trimWhitespace(element.attributeOrEmpty("src"));
    std::string lower = unicode::lowercased(source);
    if (!startsWith(lower, "http://") && !startsWith(lower, "https://"))
        return {};
    std::string alt(element.attributeOrEmpty("alt"));
    std::erase(alt, '[');
    std::erase(alt, ']');
    return "![" + alt + "](" + MarkdownText::escapeDestination(source) + ")";
}

// ---------------------------------------------------------------------------
// The walk

std::vector<std::string> HTMLMarkdownRenderer::renderBlocks(HTMLNode element, const Context& context) {
    return walkBlocks(element, context).run();
}

StacklessTask<HTMLMarkdownRenderer::Blocks> HTMLMarkdownRenderer::walkBlocks(HTMLNode element,
                                                                             Context context) {
    Blocks blocks;
    std::string buffer;
    MarkdownText::JoinState joining;
    auto flush = [&] {
        std::string text = MarkdownText::tidyInline(buffer);
        buffer.clear();
        joining = {};
        if (text.empty())
            return;
        if (!context.cell)
            text = MarkdownText::escapeBlockStart(std::move(text));
        for (auto w = context.wrappers.rbegin(); w != context.wrappers.rend(); ++w)
            text = MarkdownText::wrap(text, *w);
        blocks.push_back(std::move(text));
    };
    // Where the last ordered list ended in `blocks`, to keep a following
    // list that restarts its numbering from running on as one list.
    size_t orderedListEnd = SIZE_MAX;
    for (HTMLNode child = element.firstChild(); child; child = child.nextSibling()) {
        if (child.isText()) {
            MarkdownText::appendJoined(buffer, prepareText(child.text()), {}, joining);
            continue;
        }
        if (!child.isElement())
            continue;
        std::string_view name = child.name();
        if (shouldSkip(child, name))
            continue;
        if (elementFlags(child, name) & blockFlag) {
            flush();
            HTMLNode last;
            if (auto code = codeParagraphs(child, name, last)) {
                blocks.push_back(std::move(*code));
                child = last;
                continue;
            }
            if (name == "p" && wordListLevel(styleOf(child)) > 0) {
                std::string list = co_await wordList(child, last, context);
                if (!list.empty())
                    blocks.push_back(std::move(list));
                child = last;
                continue;
            }
            if (name == "ol" && orderedListEnd == blocks.size() && !blocks.empty() &&
                decimalInteger(child.attributeOrEmpty("start")).value_or(1) != lastListNext_)
                blocks.push_back("<!-- -->");
            append(blocks, co_await renderBlockElement(child, name, context));
            if (name == "ol")
                orderedListEnd = blocks.size();
        } else if (isBlockContainer(child)) {
            flush();
            append(blocks, co_await walkBlocks(child, paragraphContext(child, name, context)));
        } else {
            // (Not a conditional expression: g++ 12 mishandles co_await in one.)
            std::string piece;
            if (!child.firstChildElement())
                piece = renderLeafInline(child, name, context);
            else
                piece = co_await renderInline(child, name, context);
            MarkdownText::appendJoined(buffer, piece, lastMarkers_, joining);
        }
    }
    flush();
    co_return blocks;
}

StacklessTask<std::string> HTMLMarkdownRenderer::wordList(HTMLNode first, HTMLNode& last, Context context) {
    std::vector<std::string> items;
    std::vector<int64_t> counters;  // per level, the number of the last item
    for (HTMLNode n = first; n; n = n.nextSibling()) {
        if (!n.isElement()) {
            if (n.isText() && !unicode::isBlank(n.text()))
                break;
            continue;
        }
        int level = n.is("p") ? wordListLevel(styleOf(n)) : 0;
        if (level == 0)
            break;
        last = n;
        // A level never starts deeper than one below the item before it.
        size_t depth = std::min(static_cast<size_t>(level), counters.size() + 1);
        counters.resize(depth, 0);
        std::string wordMarker = wordListMarker(n);
        bool ordered = !wordMarker.empty() && (wordMarker.back() == '.' || wordMarker.back() == ')') &&
                       wordMarker.size() <= 6 &&
                       std::all_of(wordMarker.begin(), wordMarker.end() - 1,
                                   [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
        std::string marker;
        if (ordered) {
            auto written = decimalInteger(std::string_view(wordMarker).substr(0, wordMarker.size() - 1));
            int64_t number = written && *written >= 0 ? *written : counters[depth - 1] + 1;
            counters[depth - 1] = number;
            marker = std::to_string(number) + ".";
        } else {
            marker = std::string(bulletMarker());
        }
        std::string_view name = n.name();
        Blocks bodyBlocks = co_await walkBlocks(n, paragraphContext(n, name, context));
        std::string body = join(bodyBlocks, "\n");
        std::string indent((depth - 1) * 4, ' ');
        if (body.empty())
            items.push_back(indent + marker);
        else
            items.push_back(indent + marker + " " +
                            MarkdownText::indentContinuation(body, indent.size() + marker.size() + 1));
    }
    co_return join(items, "\n");
}

StacklessTask<HTMLMarkdownRenderer::Blocks> HTMLMarkdownRenderer::renderBlockElement(HTMLNode element,
                                                                                     std::string_view name,
                                                                                     Context context) {
    if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
        Context heading = context;
        heading.bold = true;
        std::string text = MarkdownText::tidyInline(co_await inlineChildren(element, heading));
        if (text.empty())
            co_return Blocks{};
        std::replace(text.begin(), text.end(), '\n', ' ');
        co_return Blocks{std::string(static_cast<size_t>(name[1] - '0'), '#') + " " + text};
    }
    if (name == "hr")
        co_return Blocks{"---"};
    if (name == "pre")
        co_return Blocks{codeBlock(element)};
    if (name == "ul" || name == "menu" || name == "dir")
        co_return co_await list(element, false, context);
    if (name == "ol")
        co_return co_await list(element, true, context);
    if (name == "li") {
        std::string item = co_await listItem(element, std::string(bulletMarker()), context);
        co_return Blocks{std::move(item)};
    }
    if (name == "blockquote") {
        Blocks innerBlocks = co_await walkBlocks(element, context);
        std::string inner = join(innerBlocks, "\n\n");
        if (inner.empty())
            co_return Blocks{};
        std::string quoted;
        size_t start = 0;
        while (true) {
            size_t end = inner.find('\n', start);
            std::string_view line = std::string_view(inner).substr(
                start, end == std::string::npos ? std::string::npos : end - start);
            if (start)
                quoted += '\n';
            quoted += line.empty() ? ">" : "> ";
            quoted += line;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        co_return Blocks{std::move(quoted)};
    }
    if (name == "table")
        co_return co_await table(element, context);
    if (name == "dt") {
        Context term = context;
        term.wrappers.push_back(strongMarker());
        term.bold = true;
        co_return co_await walkBlocks(element, term);
    }
    co_return co_await walkBlocks(element, paragraphContext(element, name, context));
}

// An inline element in three steps: what it is (`planInline`), the text of
// its children, and the markers or link around that text (`finishInline`).
// Elements without child elements take the direct route; only the others
// need a coroutine frame.

HTMLMarkdownRenderer::InlinePlan HTMLMarkdownRenderer::planInline(HTMLNode element, std::string_view name,
                                                                  const Context& context) const {
    InlinePlan plan;
    plan.inner = context;
    if (name == "br") {
        plan.result = "\n";
    } else if (name == "img") {
        plan.result = image(element);
    } else if (name == "input") {
        plan.result = std::string();
    } else if (name == "a") {
        plan.link = true;
    } else if (isCodeElementName(name)) {
        plan.result = MarkdownText::codeSpan(element.stringValue());
    } else if (name == "sup" && isFootnote(element)) {
        plan.result = std::string();
    } else {
        const std::string& style = styleOf(element);
        if (styleIsMonospace(style)) {
            plan.result = MarkdownText::codeSpan(element.stringValue());
        } else if (auto form = scriptForm(element, name, style)) {
            plan.result = std::move(form);
        } else {
            plan.strong = !context.bold && styleIsBold(style, name);
            plan.emphasis = !context.italic && styleIsItalic(style, name);
            plan.strike = !context.strike && styleIsStrike(style, name);
            plan.inner.bold = context.bold || plan.strong;
            plan.inner.italic = context.italic || plan.emphasis;
            plan.inner.strike = context.strike || plan.strike;
        }
    }
    return plan;
}

std::optional<std::string> HTMLMarkdownRenderer::scriptForm(HTMLNode element, std::string_view name,
                                                            std::string_view style) const {
    bool super = name == "sup" || contains(style, "vertical-align:super");
    bool sub = !super && (name == "sub" || contains(style, "vertical-align:sub"));
    if (!super && !sub)
        return std::nullopt;
    std::string text = element.stringValue();
    return super ? unicode::superscriptForm(text) : unicode::subscriptForm(text);
}

std::string HTMLMarkdownRenderer::finishInline(const InlinePlan& plan, HTMLNode element,
                                               std::string_view name, std::string text) {
    lastMarkers_ = {};
    if (plan.link) {
        if (auto href = element.attribute("href"))
            return MarkdownText::link(text, *href, cleaning_);
        return text;
    }
    if (elementFlags(element, name) & blockFlag)
        text = " " + text + " ";
    // Strong outermost, strikethrough innermost.
    if (plan.strike)
        text = MarkdownText::wrap(text, "~~");
    if (plan.emphasis)
        text = MarkdownText::wrap(text, emphasisMarker());
    if (plan.strong)
        text = MarkdownText::wrap(text, strongMarker());
    if (plan.strong)
        lastMarkers_.add(strongMarker());
    if (plan.emphasis)
        lastMarkers_.add(emphasisMarker());
    if (plan.strike)
        lastMarkers_.add("~~");
    return text;
}

std::string HTMLMarkdownRenderer::renderLeafInline(HTMLNode element, std::string_view name,
                                                   const Context& context) {
    InlinePlan plan = planInline(element, name, context);
    if (plan.result) {
        lastMarkers_ = {};
        return std::move(*plan.result);
    }
    std::string text;
    for (HTMLNode child : element.children())
        if (child.isText())
            text += prepareText(child.text());
    return finishInline(plan, element, name, std::move(text));
}

StacklessTask<std::string> HTMLMarkdownRenderer::renderInline(HTMLNode element, std::string_view name,
                                                              Context context) {
    if (!element.firstChildElement())
        co_return renderLeafInline(element, name, context);
    InlinePlan plan = planInline(element, name, context);
    if (plan.result) {
        lastMarkers_ = {};
        co_return std::move(*plan.result);
    }
    std::string text = co_await inlineChildren(element, plan.inner);
    co_return finishInline(plan, element, name, std::move(text));
}

StacklessTask<std::string> HTMLMarkdownRenderer::inlineChildren(HTMLNode element, Context context) {
    std::string out;
    MarkdownText::JoinState joining;
    for (HTMLNode child : element.children()) {
        if (child.isText()) {
            MarkdownText::appendJoined(out, prepareText(child.text()), {}, joining);
        } else if (child.isElement()) {
            std::string_view name = child.name();
            if (shouldSkip(child, name))
                continue;
            // (Not a conditional expression: g++ 12 mishandles co_await in one.)
            std::string piece;
            if (!child.firstChildElement())
                piece = renderLeafInline(child, name, context);
            else
                piece = co_await renderInline(child, name, context);
            MarkdownText::appendJoined(out, piece, lastMarkers_, joining);
        }
    }
    co_return out;
}

// ---------------------------------------------------------------------------
// Lists

StacklessTask<HTMLMarkdownRenderer::Blocks> HTMLMarkdownRenderer::list(HTMLNode element, bool ordered,
                                                                       Context context) {
    int64_t number = decimalInteger(element.attributeOrEmpty("start")).value_or(1);
    std::vector<std::string> items;
    size_t continuation = 2;
    for (HTMLNode child = element.firstChildElement(); child; child = child.nextSiblingElement()) {
        std::string_view name = child.name();
        if (shouldSkip(child, name))
            continue;
        if (name == "li") {
            std::string marker = ordered ? std::to_string(number) + "." : std::string(bulletMarker());
            if (number < INT64_MAX)
                ++number;
            continuation = unicode::characterCount(marker) + 1;
            items.push_back(co_await listItem(child, std::move(marker), context));
        } else if ((name == "ul" || name == "ol") && !items.empty()) {
            // A list written directly inside the list belongs to the item
            // before it.
            // (An empty nested list adds nothing, not a stray blank line.)
            Blocks nestedBlocks = co_await renderBlockElement(child, name, context);
            std::string nested = join(nestedBlocks, "\n");
            if (!nested.empty())
                items.back() += MarkdownText::indentContinuation("\n" + nested, continuation);
        } else {
            append(items, co_await renderBlockElement(child, name, context));
        }
    }
    lastListNext_ = number;
    if (items.empty())
        co_return Blocks{};
    co_return Blocks{join(items, "\n")};
}

StacklessTask<std::string> HTMLMarkdownRenderer::listItem(HTMLNode element, std::string marker,
                                                          Context context) {
    std::string prefix = marker + " ";
    if (HTMLNode checkbox = firstCheckbox(element))
        prefix += checkbox.attribute("checked") ? "[x] " : "[ ] ";
    else if (unicode::lowercased(element.attributeOrEmpty("role")) == "checkbox")
        // Checklist items of online word processors.
        prefix += unicode::lowercased(element.attributeOrEmpty("aria-checked")) == "true" ? "[x] " : "[ ] ";
    Blocks bodyBlocks = co_await walkBlocks(element, context);
    std::string body = join(bodyBlocks, "\n");
    if (body.empty())
        co_return trimTrailingWhitespace(std::move(prefix));
    co_return prefix + MarkdownText::indentContinuation(body, unicode::characterCount(marker) + 1);
}

// ---------------------------------------------------------------------------
// Tables

StacklessTask<HTMLMarkdownRenderer::Blocks> HTMLMarkdownRenderer::table(HTMLNode element, Context context) {
    TableShape shape = tableShape(element);
    if (!options_.convertTables || shape.nested || shape.columns <= 1)
        co_return co_await walkBlocks(element, context);

    const size_t columns = shape.columns;
    Blocks out;
    // The caption ("Table 6-1. ...") as a paragraph before the table.
    if (shape.caption) {
        Blocks captionBlocks = co_await walkBlocks(shape.caption, context);
        std::string caption = join(captionBlocks, " ");
        std::replace(caption.begin(), caption.end(), '\n', ' ');
        if (!caption.empty())
            out.push_back(std::move(caption));
    }
    Context cellContext = context;
    cellContext.cell = true;
    std::vector<std::string> lines;
    for (size_t r = 0; r < shape.rows.size(); ++r) {
        std::vector<std::string> cells(columns);
        const std::vector<HTMLNode>& slots = shape.rows[r];
        for (size_t c = 0; c < slots.size() && c < columns; ++c) {
            if (!slots[c])
                continue;
            Blocks cellBlocks = co_await walkBlocks(slots[c], cellContext);
            std::string text = join(cellBlocks, " ");
            std::replace(text.begin(), text.end(), '\n', ' ');
            cells[c] = replaced(text, '|', "\\|");
        }
        lines.push_back("| " + join(cells, " | ") + " |");
        if (r == 0) {
            std::string separator = "|";
            for (size_t c = 0; c < columns; ++c) separator += " --- |";
            lines.push_back(std::move(separator));
        }
    }
    out.push_back(join(lines, "\n"));
    co_return out;
}

}  // namespace dz
