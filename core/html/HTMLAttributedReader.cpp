#include "core/html/HTMLAttributedReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gumbo.h>

#include "core/richtext/TextFont.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// What an element's name says about it, for the walk and for derive().
enum NameFlag : uint16_t {
    blockName = 1,
    skippedName = 2,
    listName = 4,
    boldName = 8,
    italicName = 16,
    strikeName = 32,
    monoName = 64,
    preName = 128,  // monospace and preformatted
};

uint16_t flagsOfName(std::string_view name) {
    uint16_t flags = 0;
    if (isOneOf(name, {"address", "article",  "aside",   "blockquote", "body",    "center",   "dd",
                       "details", "dialog",   "div",     "dl",         "dt",      "fieldset", "figcaption",
                       "figure",  "footer",   "form",    "h1",         "h2",      "h3",       "h4",
                       "h5",      "h6",       "header",  "hgroup",     "hr",      "li",       "main",
                       "nav",     "ol",       "p",       "pre",        "section", "summary",  "table",
                       "tr",      "td",       "th",      "ul",         "caption", "thead",    "tbody",
                       "tfoot",   "menu",     "dir",     "html",       "listing", "xmp",      "plaintext",
                       "legend",  "frameset", "noframes"}))
        flags |= blockName;
    if (isOneOf(name, {"head",   "script", "style", "title",  "meta",  "link",     "noscript", "template",
                       "iframe", "object", "embed", "select", "input", "textarea", "svg",      "canvas",
                       "video",  "audio",  "map",   "area",   "base",  "param",    "source",   "track"}))
        flags |= skippedName;
    if (isOneOf(name, {"ul", "ol", "menu", "dir"}))
        flags |= listName;
    if (isOneOf(name, {"b", "strong", "th"}))
        flags |= boldName;
    else if (isOneOf(name, {"i", "em", "cite", "var", "dfn"}))
        flags |= italicName;
    else if (isOneOf(name, {"s", "strike", "del"}))
        flags |= strikeName;
    else if (isOneOf(name, {"code", "kbd", "samp", "tt"}))
        flags |= monoName;
    else if (isOneOf(name, {"pre", "listing", "xmp", "plaintext"}))
        flags |= preName;
    return flags;
}

// The flags of every element; known tags through a table rather than a
// search of the lists for each element of the page.
uint16_t elementFlags(HTMLNode element, std::string_view name) {
    static const auto* byTag = [] {
        auto* table = new uint16_t[GUMBO_TAG_LAST];
        for (int tag = 0; tag < GUMBO_TAG_LAST; ++tag)
            table[tag] = flagsOfName(gumbo_normalized_tagname(static_cast<GumboTag>(tag)));
        return table;
    }();
    GumboTag tag = element.raw()->v.element.tag;
    if (tag != GUMBO_TAG_UNKNOWN && tag < GUMBO_TAG_LAST)
        return byTag[tag];
    return flagsOfName(name);
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trimAscii(std::string_view text) {
    size_t a = 0, b = text.size();
    while (a < b &&
           (text[a] == ' ' || text[a] == '\t' || text[a] == '\n' || text[a] == '\r' || text[a] == '\f'))
        ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t' || text[b - 1] == '\n' ||
                     text[b - 1] == '\r' || text[b - 1] == '\f'))
        --b;
    return text.substr(a, b - a);
}

// The declarations of a style attribute as (lower-case property, value) pairs.
std::vector<std::pair<std::string, std::string>> declarations(std::string_view style) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t at = 0;
    while (at <= style.size() && out.size() < 64) {
        size_t end = style.find(';', at);
        if (end == std::string_view::npos)
            end = style.size();
        std::string_view item = style.substr(at, end - at);
        size_t colon = item.find(':');
        if (colon != std::string_view::npos) {
            std::string property = asciiLower(trimAscii(item.substr(0, colon)));
            std::string value = std::string(trimAscii(item.substr(colon + 1)));
            if (size_t important = asciiLower(value).find("!important"); important != std::string::npos)
                value = std::string(trimAscii(std::string_view(value).substr(0, important)));
            out.emplace_back(std::move(property), std::move(value));
        }
        at = end + 1;
    }
    return out;
}

// A CSS length or keyword as points, relative to the parent's size.
std::optional<double> fontSizeFromCSS(std::string_view value, double parent) {
    std::string v = asciiLower(trimAscii(value));
    static const std::pair<std::string_view, double> keywords[] = {
        {"xx-small", 7.5}, {"x-small", 7.5}, {"small", 10},    {"medium", 12},
        {"large", 13.5},   {"x-large", 18},  {"xx-large", 24}, {"xxx-large", 36}};
    for (const auto& [keyword, size] : keywords)
        if (v == keyword)
            return size;
    if (v == "smaller")
        return parent / 1.2;
    if (v == "larger")
        return parent * 1.2;
    const char* begin = v.c_str();
    char* end = nullptr;
    double number = std::strtod(begin, &end);
    if (end == begin || !(number > 0) || number > 10000)
        return std::nullopt;
    std::string_view unit = trimAscii(std::string_view(end));
    if (unit == "pt")
        return number;
    if (unit == "px" || unit.empty())
        return number * 0.75;
    if (unit == "em" || unit == "rem")
        return number * (unit == "rem" ? HTMLAttributedReader::bodyFontSize : parent);
    if (unit == "%")
        return parent * number / 100;
    if (unit == "pc")
        return number * 12;
    if (unit == "in")
        return number * 72;
    if (unit == "cm")
        return number * 72 / 2.54;
    if (unit == "mm")
        return number * 72 / 25.4;
    return std::nullopt;
}

// Whether a font-family list names a monospace face: its first family, or a
// trailing generic monospace family.
bool isMonospaceFamilyList(std::string_view list) {
    std::vector<std::string> families;
    size_t at = 0;
    while (at <= list.size()) {
        size_t end = list.find(',', at);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view family = trimAscii(list.substr(at, end - at));
        if (family.size() >= 2 && (family.front() == '"' || family.front() == '\'') &&
            family.back() == family.front())
            family = family.substr(1, family.size() - 2);
        families.emplace_back(family);
        at = end + 1;
    }
    if (families.empty())
        return false;
    if (TextFont::isMonospaceFamilyName(families.front()))
        return true;
    std::string last = asciiLower(families.back());
    return last == "monospace" || last == "ui-monospace";
}

std::string roman(int n, bool upper) {
    if (n <= 0 || n >= 4000)
        return std::to_string(n);
    static const std::pair<int, const char*> parts[] = {
        {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
        {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
    std::string out;
    for (const auto& [value, text] : parts)
        while (n >= value) {
            out += text;
            n -= value;
        }
    if (upper)
        for (char& c : out) c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string alpha(int n, bool upper) {
    if (n <= 0)
        return std::to_string(n);
    std::string out;
    while (n > 0) {
        --n;
        out.insert(out.begin(), static_cast<char>((upper ? 'A' : 'a') + n % 26));
        n /= 26;
    }
    return out;
}

// A leading integer, saturated to the int range; 0 when there is none.
int leadingInt(std::string_view text) {
    std::string v(trimAscii(text));
    long n = std::strtol(v.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(n, -1'000'000'000, 1'000'000'000));
}

// Elements that contribute nothing: scripts and the like, hidden ones, and
// the list marker text Word writes for its list paragraphs.
bool leavesOut(HTMLNode element, uint16_t flags) {
    if ((flags & skippedName) || element.attribute("hidden"))
        return true;
    auto css = element.attribute("style");
    if (!css)
        return false;
    for (const auto& [property, value] : declarations(asciiLower(*css)))
        if ((property == "display" && value == "none") || (property == "mso-hide" && value == "all") ||
            (property == "mso-list" && value == "ignore"))
            return true;
    return false;
}

// 1 for a superscript element, -1 for a subscript, 0 for any other.
int scriptKind(HTMLNode element, std::string_view name) {
    if (name == "sup")
        return 1;
    if (name == "sub")
        return -1;
    auto css = element.attribute("style");
    if (!css || css->find("vertical-align") == std::string_view::npos)
        return 0;
    for (const auto& [property, value] : declarations(asciiLower(*css)))
        if (property == "vertical-align")
            return value == "super" ? 1 : value == "sub" ? -1 : 0;
    return 0;
}

// The level of a Word list paragraph (style "mso-list:l0 level2 lfo1"), 0
// for any other element.
int wordListLevel(HTMLNode element) {
    auto css = element.attribute("style");
    if (!css || css->find("mso-list") == std::string_view::npos)
        return 0;
    for (const auto& [property, value] : declarations(asciiLower(*css))) {
        if (property != "mso-list")
            continue;
        size_t at = value.find("level");
        if (at == std::string::npos)
            return 0;
        int level = leadingInt(std::string_view(value).substr(at + 5));
        return std::clamp(level, 0, 9);
    }
    return 0;
}

// The list marker Word wrote for a list paragraph ("1.", "a)", "·"), in
// the paragraph's span styled mso-list:Ignore; empty when there is none.
std::string wordListMarker(HTMLNode paragraph) {
    for (HTMLNode n = paragraph.firstChild(); n; n = n.nextInDocumentOrder(paragraph)) {
        if (!n.isElement())
            continue;
        std::string css = asciiLower(n.attributeOrEmpty("style"));
        std::erase(css, ' ');
        if (css.find("mso-list:ignore") == std::string::npos)
            continue;
        std::string marker;
        for (HTMLNode t = n.firstChild(); t; t = t.nextInDocumentOrder(n))
            if (t.isText())
                marker += t.text();
        std::string_view m = trimAscii(marker);
        while (m.size() >= 2 && m.substr(m.size() - 2) == "\xC2\xA0") {
            m.remove_suffix(2);
            m = trimAscii(m);
        }
        return std::string(m);
    }
    return {};
}

// Whether a Word list marker is a number or letter ("1.", "a)") rather than
// a bullet.
bool isNumberMarker(std::string_view m) {
    return m.size() >= 2 && m.size() <= 6 && (m.back() == '.' || m.back() == ')') &&
           std::all_of(m.begin(), m.end() - 1,
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

bool isCollapsibleSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace

class HTMLAttributedReader::Builder {
  public:
    explicit Builder(AttributedText::Detail detail) : out_(detail) {}
    AttributedText build(HTMLNode root);

  private:
    struct Style {
        double size = bodyFontSize;
        bool bold = false;
        bool italic = false;
        bool strike = false;
        bool mono = false;
        bool pre = false;
        std::optional<std::string> link;
    };
    struct Frame {
        HTMLNode node;
        size_t next = 0;
        Style style;
        uint16_t flags = 0;  // of the element's name
        bool block = false;
        bool list = false;
        bool item = false;
        bool table = false;
        bool cell = false;
        bool wordItem = false;
        int script = 0;  // 1 superscript, -1 subscript
        size_t scriptStart = 0;
    };
    struct List {
        bool ordered = false;
        std::string format;  // marker format
        int start = 1;
        int counter = 0;
        char kind = '1';  // ordered: 1 a A i I
    };
    struct Table {
        size_t id = 0;
        int row = -1;
        int column = 0;
        // Per column, the rows below still covered by a row span from above.
        std::vector<int> covered;
    };
    struct Cell {
        TextTableBlock block;
        size_t paragraphsBefore = 0;
    };

    Style derive(const Style& parent, HTMLNode element, std::string_view name, uint16_t flags) const;
    void enter(Frame& frame);
    void enterList(Frame& frame);
    void enterListItem(Frame& frame);
    void enterTablePart(Frame& frame, std::string_view name);
    // A Word list paragraph (mso-list style) becomes a list item.
    void enterWordListItem(Frame& frame);
    void exit(Frame& frame);
    void text(std::string_view text, const Style& style);
    void appendContent(std::string_view text, const Style& style);
    void flushPending(const Style& style);
    void endParagraph(bool force);
    CharacterAttributes attributesFor(const Style& style) const;

    AttributedText out_;
    std::vector<Frame> stack_;
    std::vector<List> lists_;
    std::vector<size_t> openItems_;  // list depth of each open list item
    std::vector<Table> tables_;
    std::vector<Cell> cells_;
    size_t paragraphs_ = 0;
    ParagraphStyle paragraphStyle_;  // endParagraph's, kept for its storage

    size_t paragraphStart_ = 0;
    bool hasContent_ = false;
    bool pendingSpace_ = false;
    Style pendingSpaceStyle_;
    int pendingBreaks_ = 0;
    Style pendingBreakStyle_;
    std::string pendingMarker_;
    Style pendingMarkerStyle_;
    CharacterAttributes lastAttributes_;
    // The lists of the Word list paragraph being read (mso-list styles).
    std::vector<TextList> wordList_;
};

CharacterAttributes HTMLAttributedReader::Builder::attributesFor(const Style& style) const {
    CharacterAttributes attributes;
    TextFont font;
    font.pointSize = style.size;
    font.bold = style.bold;
    font.italic = style.italic;
    font.monospace = style.mono;
    font.fixedPitch = style.mono;
    attributes.font = font;
    attributes.strikethrough = style.strike ? 1 : 0;
    attributes.link = style.link;
    return attributes;
}

HTMLAttributedReader::Builder::Style HTMLAttributedReader::Builder::derive(const Style& parent,
                                                                           HTMLNode element,
                                                                           std::string_view name,
                                                                           uint16_t flags) const {
    Style style = parent;
    static const std::pair<std::string_view, double> headings[] = {{"h1", 24}, {"h2", 18}, {"h3", 14},
                                                                   {"h4", 12}, {"h5", 10}, {"h6", 8}};
    for (const auto& [heading, size] : headings)
        if (name == heading) {
            style.size = size;
            style.bold = true;
        }
    if (flags & boldName)
        style.bold = true;
    else if (flags & italicName)
        style.italic = true;
    else if (flags & strikeName)
        style.strike = true;
    else if (flags & monoName)
        style.mono = true;
    else if (flags & preName)
        style.mono = style.pre = true;
    else if (name == "big")
        style.size = parent.size * 1.2;
    else if (name == "small")
        style.size = parent.size / 1.2;
    else if (name == "a") {
        if (auto href = element.attribute("href"); href && !trimAscii(*href).empty())
            style.link = std::string(trimAscii(*href));
    } else if (name == "font") {
        if (auto face = element.attribute("face"))
            style.mono = isMonospaceFamilyList(*face);
        if (auto size = element.attribute("size")) {
            static const double sizes[] = {7.5, 10, 12, 13.5, 18, 24, 36};
            std::string_view v = trimAscii(*size);
            int n = leadingInt(v);
            if (!v.empty() && (v[0] == '+' || v[0] == '-'))
                n += 3;
            if (!v.empty())
                style.size = sizes[std::clamp(n, 1, 7) - 1];
        }
    }
    if (auto css = element.attribute("style")) {
        for (const auto& [property, value] : declarations(*css)) {
            std::string v = asciiLower(value);
            if (property == "font-weight") {
                int weight = leadingInt(v);
                if (v == "bold" || v == "bolder" || weight >= 600)
                    style.bold = true;
                else if (v == "normal" || v == "lighter" || (weight > 0 && weight < 600))
                    style.bold = false;
            } else if (property == "font-style") {
                style.italic = v.rfind("italic", 0) == 0 || v.rfind("oblique", 0) == 0;
            } else if (property == "text-decoration" || property == "text-decoration-line") {
                if (v.find("line-through") != std::string::npos)
                    style.strike = true;
            } else if (property == "font-size") {
                if (auto size = fontSizeFromCSS(v, parent.size))
                    style.size = *size;
            } else if (property == "font-family") {
                style.mono = isMonospaceFamilyList(value);
            }
        }
    }
    return style;
}

void HTMLAttributedReader::Builder::flushPending(const Style& style) {
    if (!hasContent_ && !pendingMarker_.empty()) {
        out_.append(pendingMarker_, attributesFor(pendingMarkerStyle_));
        pendingMarker_.clear();
        hasContent_ = true;
    }
    if (pendingBreaks_ > 0) {
        std::string breaks;
        for (int i = 0; i < pendingBreaks_; ++i) breaks += "\xE2\x80\xA8";
        out_.append(breaks, attributesFor(pendingBreakStyle_));
        pendingBreaks_ = 0;
        hasContent_ = true;
        pendingSpace_ = false;
    }
    if (pendingSpace_) {
        out_.append(" ", attributesFor(pendingSpaceStyle_));
        pendingSpace_ = false;
    }
    (void)style;
}

void HTMLAttributedReader::Builder::appendContent(std::string_view text, const Style& style) {
    if (text.empty())
        return;
    flushPending(style);
    lastAttributes_ = attributesFor(style);
    out_.append(text, lastAttributes_);
    hasContent_ = true;
}

void HTMLAttributedReader::Builder::text(std::string_view text, const Style& style) {
    if (style.pre) {
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string_view::npos)
                end = text.size();
            appendContent(text.substr(at, end - at), style);
            if (end < text.size()) {
                bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
                endParagraph(true);
                end += crlf ? 2 : 1;
            }
            at = end;
        }
        return;
    }
    size_t at = 0;
    while (at < text.size()) {
        if (isCollapsibleSpace(text[at])) {
            while (at < text.size() && isCollapsibleSpace(text[at])) ++at;
            // Collapsed white space: none at the start of a line, one space elsewhere.
            if (hasContent_ && pendingBreaks_ == 0 && !pendingSpace_) {
                pendingSpace_ = true;
                pendingSpaceStyle_ = style;
            }
            continue;
        }
        size_t end = at;
        while (end < text.size() && !isCollapsibleSpace(text[end])) ++end;
        appendContent(text.substr(at, end - at), style);
        at = end;
    }
}

void HTMLAttributedReader::Builder::endParagraph(bool force) {
    pendingSpace_ = false;
    bool breaksOnly = pendingBreaks_ > 0;
    pendingBreaks_ = 0;  // a break at the end of a block adds no line
    if (!hasContent_ && !force && !breaksOnly)
        return;
    // The paragraph mark carries the formatting of the text before it, never a link.
    CharacterAttributes attributes = hasContent_ ? lastAttributes_ : attributesFor(Style());
    attributes.link.reset();
    out_.append("\n", attributes);
    // Built in place: most paragraphs repeat the style before them, which
    // then only grows and the copy is never made.
    ParagraphStyle& style = paragraphStyle_;
    if (!openItems_.empty()) {
        size_t depth = std::min(openItems_.back(), lists_.size());
        style.textLists.resize(depth);
        for (size_t i = 0; i < depth; ++i) style.textLists[i] = {lists_[i].format, lists_[i].start};
    } else {
        style.textLists = wordList_;
    }
    style.textBlocks.clear();
    for (const Cell& cell : cells_) style.textBlocks.push_back(cell.block);
    out_.setParagraphStyle(paragraphStart_, out_.length(), style);
    paragraphStart_ = out_.length();
    hasContent_ = false;
    ++paragraphs_;
}

void HTMLAttributedReader::Builder::enter(Frame& frame) {
    HTMLNode node = frame.node;
    std::string_view name = node.name();
    if (frame.block)
        endParagraph(false);
    // (A space still pending goes in with the superscript's text and stays
    // a space.)
    if (frame.script != 0)
        frame.scriptStart = out_.length();
    if (frame.block && openItems_.empty())
        enterWordListItem(frame);
    if (frame.flags & listName)
        enterList(frame);
    else if (name == "li")
        enterListItem(frame);
    else if (name == "table" || name == "tr" || name == "td" || name == "th")
        enterTablePart(frame, name);
}

void HTMLAttributedReader::Builder::enterList(Frame& frame) {
    HTMLNode node = frame.node;
    std::string_view name = node.name();
    List list;
    list.ordered = name == "ol";
    if (list.ordered) {
        std::string type(trimAscii(node.attributeOrEmpty("type")));
        std::string css = asciiLower(node.attributeOrEmpty("style"));
        if (type.empty() || css.find("list-style") != std::string::npos) {
            if (css.find("lower-alpha") != std::string::npos || css.find("lower-latin") != std::string::npos)
                type = "a";
            else if (css.find("upper-alpha") != std::string::npos ||
                     css.find("upper-latin") != std::string::npos)
                type = "A";
            else if (css.find("lower-roman") != std::string::npos)
                type = "i";
            else if (css.find("upper-roman") != std::string::npos)
                type = "I";
        }
        list.kind = type.size() == 1 && std::string_view("aAiI").find(type[0]) != std::string_view::npos
                        ? type[0]
                        : '1';
        list.format = list.kind == 'a'   ? "{lower-alpha}"
                      : list.kind == 'A' ? "{upper-alpha}"
                      : list.kind == 'i' ? "{lower-roman}"
                      : list.kind == 'I' ? "{upper-roman}"
                                         : "{decimal}";
        if (auto start = node.attribute("start")) {
            std::string v(trimAscii(*start));
            char* end = nullptr;
            long n = std::strtol(v.c_str(), &end, 10);
            if (end != v.c_str())
                list.start = static_cast<int>(std::clamp<long>(n, -1'000'000'000, 1'000'000'000));
        }
    } else {
        size_t depth = lists_.size() + 1;
        list.format = depth == 1 ? "{disc}" : depth == 2 ? "{circle}" : "{square}";
    }
    list.counter = list.start - 1;
    lists_.push_back(std::move(list));
    frame.list = true;
}

void HTMLAttributedReader::Builder::enterListItem(Frame& frame) {
    HTMLNode node = frame.node;
    if (lists_.empty()) {
        lists_.push_back({false, "{disc}", 1, 0, '1'});
        frame.list = true;  // an item outside any list makes its own
    }
    List& list = lists_.back();
    if (auto value = node.attribute("value")) {
        std::string v(trimAscii(*value));
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (end != v.c_str())
            list.counter = static_cast<int>(std::clamp<long>(n, -1'000'000'000, 1'000'000'000)) - 1;
    }
    if (list.counter < 1'000'000'000)
        ++list.counter;
    std::string marker;
    if (list.ordered) {
        marker = list.kind == 'a'   ? alpha(list.counter, false)
                 : list.kind == 'A' ? alpha(list.counter, true)
                 : list.kind == 'i' ? roman(list.counter, false)
                 : list.kind == 'I' ? roman(list.counter, true)
                                    : std::to_string(list.counter);
        marker += ".";
    } else {
        size_t depth = lists_.size();
        marker = depth == 1 ? "\xE2\x80\xA2" : depth == 2 ? "\xE2\x97\xA6" : "\xE2\x96\xAA";
    }
    openItems_.push_back(lists_.size());
    pendingMarker_ = "\t" + marker + "\t";
    pendingMarkerStyle_ = frame.style;
    pendingMarkerStyle_.link.reset();
    frame.item = true;
}

void HTMLAttributedReader::Builder::enterTablePart(Frame& frame, std::string_view name) {
    if (name == "table") {
        tables_.push_back({out_.addTable({0}), -1, 0, {}});
        frame.table = true;
    } else if (name == "tr") {
        if (!tables_.empty()) {
            Table& table = tables_.back();
            // The previous row is over: its spans reach one row less.
            if (table.row >= 0)
                for (size_t c = static_cast<size_t>(table.column); c < table.covered.size(); ++c)
                    table.covered[c] = std::max(0, table.covered[c] - 1);
            ++table.row;
            table.column = 0;
        }
    } else if (name == "td" || name == "th") {
        if (!tables_.empty()) {
            Table& table = tables_.back();
            if (table.row < 0)
                table.row = 0;
            // A cell goes to the first column no row span from above covers.
            while (static_cast<size_t>(table.column) < table.covered.size() &&
                   table.covered[static_cast<size_t>(table.column)] > 0)
                --table.covered[static_cast<size_t>(table.column++)];
            int span = 1;
            if (auto colspan = frame.node.attribute("colspan"))
                span = std::clamp(leadingInt(*colspan), 1, maxColspan);
            int rowSpan = 1;
            if (auto rowspan = frame.node.attribute("rowspan"))
                rowSpan = std::clamp(leadingInt(*rowspan), 1, maxRowspan);
            // Row spans are followed in the first columns only, which bounds the work per row.
            if (rowSpan > 1 && table.column < maxColspan) {
                size_t end = static_cast<size_t>(std::min(table.column + span, maxColspan));
                if (table.covered.size() < end)
                    table.covered.resize(end, 0);
                for (size_t c = static_cast<size_t>(table.column); c < end; ++c)
                    table.covered[c] = rowSpan - 1;
            }
            cells_.push_back({{table.id, table.row, table.column, rowSpan, span}, paragraphs_});
            TextTable& t = out_.table(table.id);
            t.numberOfColumns = std::max(t.numberOfColumns, std::min(table.column + span, 1'000'000));
            table.column = std::min(table.column + span, 1'000'000);
            frame.cell = true;
        }
    }
}

void HTMLAttributedReader::Builder::enterWordListItem(Frame& frame) {
    int level = wordListLevel(frame.node);
    if (level == 0)
        return;
    // Written like the items of HTML lists; Word's own marker text is hidden.
    std::string marker = wordListMarker(frame.node);
    bool number = isNumberMarker(marker);
    wordList_.assign(static_cast<size_t>(level), TextList{number ? "{decimal}" : "{disc}", 1});
    if (!number)
        marker = level == 1 ? "\xE2\x80\xA2" : level == 2 ? "\xE2\x97\xA6" : "\xE2\x96\xAA";
    pendingMarker_ = "\t" + marker + "\t";
    pendingMarkerStyle_ = frame.style;
    pendingMarkerStyle_.link.reset();
    frame.wordItem = true;
}

void HTMLAttributedReader::Builder::exit(Frame& frame) {
    if (frame.script != 0)
        out_.writeTailAsScript(frame.scriptStart, frame.script > 0);
    if (frame.item) {
        if (!pendingMarker_.empty())
            flushPending(frame.style);  // an empty item still shows its marker
        endParagraph(false);
        pendingMarker_.clear();
        openItems_.pop_back();
    }
    if (frame.cell) {
        // Every cell is at least one paragraph, even an empty one.
        endParagraph(paragraphs_ == cells_.back().paragraphsBefore);
        cells_.pop_back();
    }
    if (frame.block)
        endParagraph(false);
    if (frame.wordItem) {
        wordList_.clear();
        pendingMarker_.clear();
    }
    if (frame.list)
        lists_.pop_back();
    if (frame.table)
        tables_.pop_back();
}

AttributedText HTMLAttributedReader::Builder::build(HTMLNode root) {
    Frame top;
    top.node = root;
    stack_.push_back(top);
    while (!stack_.empty()) {
        Frame& frame = stack_.back();
        if (frame.next >= frame.node.childCount()) {
            Frame done = std::move(stack_.back());
            stack_.pop_back();
            exit(done);
            continue;
        }
        HTMLNode child = frame.node.child(frame.next++);
        if (child.isText()) {
            text(child.text(), frame.style);
            continue;
        }
        if (!child.isElement())
            continue;
        std::string_view name = child.name();
        uint16_t flags = elementFlags(child, name);
        if (leavesOut(child, flags))
            continue;
        Style style = derive(frame.style, child, name, flags);
        if (name == "br") {
            if (style.pre) {
                endParagraph(true);
            } else {
                if (pendingBreaks_ == 0)
                    pendingBreakStyle_ = style;
                ++pendingBreaks_;
                pendingSpace_ = false;
            }
            continue;
        }
        if (name == "img") {
            appendContent("\xEF\xBF\xBC", style);
            continue;
        }
        if (name == "hr") {
            endParagraph(false);
            continue;
        }
        Frame next;
        next.node = child;
        next.style = std::move(style);
        next.flags = flags;
        next.block = flags & blockName;
        next.script = scriptKind(child, name);
        stack_.push_back(std::move(next));
        enter(stack_.back());
    }
    endParagraph(false);
    return std::move(out_);
}

std::optional<AttributedText> HTMLAttributedReader::read(std::string_view html,
                                                         AttributedText::Detail detail) {
    auto document = HTMLDocument::parse(html);
    if (!document)
        return std::nullopt;
    return read(*document, detail);
}

AttributedText HTMLAttributedReader::read(const HTMLDocument& document, AttributedText::Detail detail) {
    Builder builder(detail);
    return builder.build(document.document());
}

}  // namespace dz
