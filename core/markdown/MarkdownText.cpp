#include "core/markdown/MarkdownText.h"

#include <algorithm>
#include <cctype>

#include "core/links/URLCleaner.h"
#include "core/links/URLQueryItem.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

// Splits `text` into leading white space, core and trailing white space
// (line breaks included). A text of only white space is all leading.
struct Padded {
    std::string_view leading, core, trailing;
};

Padded splitPadding(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t next = start;
        if (!unicode::isWhiteSpaceOrNewline(unicode::nextCodePoint(text, next)))
            break;
        start = next;
    }
    if (start == text.size())
        return {text, {}, {}};
    std::string_view rest = text.substr(start);
    std::string_view core = unicode::trimWhitespaceAndNewlines(rest);
    // trimWhitespaceAndNewlines keeps the start, since rest starts visible.
    return {text.substr(0, start), core, rest.substr(core.size())};
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

}  // namespace

// Spaces and parentheses would end a Markdown link destination.
std::string MarkdownText::escapeDestination(std::string_view address) {
    std::string out;
    out.reserve(address.size());
    for (char c : address) {
        if (c == ' ')
            out += "%20";
        else if (c == '(')
            out += "%28";
        else if (c == ')')
            out += "%29";
        else
            out += c;
    }
    return out;
}

namespace {

// What may stand next to a delimiter run, as a set: CommonMark decides by
// white space, punctuation and everything else. Beyond the text anything may
// stand; for characters outside ASCII both punctuation and other are assumed,
// so that the answer holds whichever Unicode tables the reader uses.
enum : uint8_t { spaceSide = 1, punctSide = 2, otherSide = 4, anySide = 7 };

uint8_t sideOf(std::string_view text, size_t start, size_t end) {
    if (start >= end)
        return anySide;
    size_t i = start;
    char32_t c = unicode::nextCodePoint(text.substr(0, end), i);
    if (unicode::isWhiteSpaceOrNewline(c))
        return spaceSide;
    if (c < 0x80)
        return std::isalnum(static_cast<int>(c)) ? otherSide : punctSide;
    return punctSide | otherSide;
}

// The start of the code point that ends at `end`.
size_t previousCodePointStart(std::string_view text, size_t end) {
    size_t i = end - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return i;
}

bool couldDelimit(char marker, uint8_t before, uint8_t after) {
    for (uint8_t p = 1; p <= 4; p <<= 1) {
        if (!(before & p))
            continue;
        for (uint8_t n = 1; n <= 4; n <<= 1) {
            if (!(after & n))
                continue;
            bool left = n != spaceSide && (n != punctSide || p == spaceSide || p == punctSide);
            bool right = p != spaceSide && (p != punctSide || n == spaceSide || n == punctSide);
            bool opens = marker == '*' ? left : left && (!right || p == punctSide);
            bool closes = marker == '*' ? right : right && (!left || n == punctSide);
            if (opens || closes)
                return true;
        }
    }
    return false;
}

}  // namespace

std::string MarkdownText::escapeText(std::string_view text) {
    if (text.find_first_of("*_`") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '`') {
            out += "\\`";
            ++i;
            continue;
        }
        if (c != '*' && c != '_') {
            out += c;
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && text[end] == c) ++end;
        uint8_t before = i == 0 ? uint8_t(anySide) : sideOf(text, previousCodePointStart(text, i), i);
        uint8_t after = sideOf(text, end, text.size());
        bool escape = couldDelimit(c, before, after);
        for (; i < end; ++i) {
            if (escape)
                out += '\\';
            out += c;
        }
    }
    return out;
}

namespace {

// Where a backslash keeps the line from reading as a heading, a list item or
// a quote; npos when the line reads as text anyway.
size_t structureMarkerAt(std::string_view line) {
    auto endsMarker = [&](size_t at) { return at >= line.size() || line[at] == ' ' || line[at] == '\t'; };
    if (line.empty())
        return std::string_view::npos;
    char first = line[0];
    if (first == '#') {
        size_t hashes = std::min(line.find_first_not_of('#'), line.size());
        return hashes <= 6 && endsMarker(hashes) ? 0 : std::string_view::npos;
    }
    if (first >= '0' && first <= '9') {
        size_t digits = line.find_first_not_of("0123456789");
        if (digits != std::string_view::npos && digits <= 9 && (line[digits] == '.' || line[digits] == ')') &&
            endsMarker(digits + 1))
            return digits;
        return std::string_view::npos;
    }
    if (first == '-' || first == '+' || first == '*')
        return line.size() > 1 && (line[1] == ' ' || line[1] == '\t') ? 0 : std::string_view::npos;
    return first == '>' ? 0 : std::string_view::npos;
}

}  // namespace

std::string MarkdownText::escapeBlockStart(std::string text) {
    std::string out;
    size_t copied = 0;  // text before this is in `out`
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        size_t at = structureMarkerAt(std::string_view(text).substr(start, end - start));
        if (at != std::string_view::npos) {
            out.append(text, copied, start + at - copied).append("\\");
            copied = start + at;
        }
        start = end + 1;
    }
    if (copied == 0 && out.empty())
        return text;
    out.append(text, copied, std::string::npos);
    return out;
}

void MarkdownText::appendJoined(std::string& out, std::string_view piece, const Markers& markers,
                                JoinState& state) {
    if (piece.empty())
        return;
    size_t skip = 0;
    if (state.end == out.size() && state.markers.count && markers.count) {
        size_t shared = 0;
        size_t width = 0;
        while (shared < state.markers.count && shared < markers.count &&
               state.markers.list[shared] == markers.list[shared]) {
            width += markers.list[shared].size();
            ++shared;
        }
        std::string outer;
        for (size_t k = 0; k < shared; ++k) outer += markers.list[k];
        std::string closing;
        for (size_t k = shared; k-- > 0;) closing += markers.list[k];
        if (shared && piece.size() > width && piece.substr(0, width) == outer && out.size() >= width &&
            std::string_view(out).substr(out.size() - width) == closing) {
            out.resize(out.size() - width);
            skip = width;
        }
    }
    out.append(piece.substr(skip));
    std::string closing;
    for (size_t k = markers.count; k-- > 0;) closing += markers.list[k];
    if (markers.count && piece.size() >= closing.size() &&
        piece.substr(piece.size() - closing.size()) == closing) {
        state.end = out.size();
        state.markers = markers;
    } else {
        state.end = SIZE_MAX;
    }
}

const Regex& MarkdownText::emphasisStartRegex() {
    static const Regex regex("(^|[\\s(\\[{\"'])([*_])(?=\\S)");
    return regex;
}

std::string MarkdownText::tidyInline(std::string_view text) {
    // Equivalent to replacing "[ \t]*\n[ \t]*" by "\n" and " {2,}" by " ",
    // in one linear pass (the patterns backtrack on long blank runs).
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\n') {
            while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
            out += '\n';
            while (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\t')) ++i;
        } else if (c == ' ' || c == '\t') {
            // A blank run: drop it before a line break, fold plain spaces.
            size_t end = i;
            while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
            if (end < text.size() && text[end] == '\n') {
                i = end - 1;
                continue;
            }
            for (size_t k = i; k < end;) {
                if (text[k] == ' ') {
                    size_t run = k;
                    while (run < end && text[run] == ' ') ++run;
                    out += ' ';
                    k = run;
                } else {
                    out += '\t';
                    ++k;
                }
            }
            i = end - 1;
        } else {
            out += c;
        }
    }
    return std::string(unicode::trimWhitespaceAndNewlines(out));
}

std::string MarkdownText::wrap(std::string_view text, std::string_view marker) {
    Padded p = splitPadding(text);
    if (p.core.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 2 * marker.size());
    out.append(p.leading).append(marker).append(p.core).append(marker).append(p.trailing);
    return out;
}

std::string MarkdownText::codeSpan(std::string_view text) {
    static const Regex whiteSpace("\\s+");
    std::string folded = whiteSpace.replaceAll(text, " ");
    size_t start = folded.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    size_t end = folded.find_last_not_of(" \t");
    std::string code = folded.substr(start, end - start + 1);
    size_t longest = 0;
    for (size_t i = 0; i < code.size();) {
        if (code[i] != '`') {
            ++i;
            continue;
        }
        size_t run = code.find_first_not_of('`', i);
        if (run == std::string::npos)
            run = code.size();
        longest = std::max(longest, run - i);
        i = run;
    }
    if (longest == 0)
        return "`" + code + "`";
    if (longest == 1)
        return "`` " + code + " ``";
    // A fence longer than any run inside; a space keeps a backtick at either
    // end from joining the fence.
    std::string fence(longest + 1, '`');
    bool pad = code.front() == '`' || code.back() == '`';
    return fence + (pad ? " " : "") + code + (pad ? " " : "") + fence;
}

std::string MarkdownText::codeBlock(std::string_view text, std::optional<std::string_view> language) {
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    std::string_view fence = text.find("```") != std::string_view::npos ? "~~~" : "```";
    std::string out;
    out.reserve(text.size() + 16);
    out.append(fence).append(language.value_or("")).append("\n").append(text).append("\n").append(fence);
    return out;
}

std::string MarkdownText::link(std::string_view text, std::string_view href,
                               const CleaningOptions& cleaning) {
    std::string_view trimmedHref = unicode::trimWhitespaceAndNewlines(href);
    std::string address(trimmedHref);
    std::string lower = asciiLowercased(address);
    if (startsWith(lower, "//")) {
        address = "https:" + address;
        lower = "https:" + lower;
    }
    bool web = startsWith(lower, "http://") || startsWith(lower, "https://");
    bool mail = startsWith(asciiLowercased(trimmedHref), "mailto:");
    if (web) {
        if (cleaning.removeTrackingParameters || cleaning.unwrapRedirectLinks)
            address = URLCleaner::clean(address, cleaning.removeTrackingParameters,
                                        cleaning.unwrapRedirectLinks, 0);
    } else if (!mail) {
        return std::string(text);
    }

    Padded p = splitPadding(text);
    std::string label(unicode::trimWhitespaceAndNewlines(p.core));
    for (char& c : label)
        if (c == '\n')
            c = ' ';
    if (label.empty())
        return std::string(p.leading) + std::string(p.trailing);

    std::string plain;
    for (char c : label)
        if (c != '\\')
            plain += c;

    auto bare = [&](std::string_view shown) {
        return std::string(p.leading) + std::string(shown) + std::string(p.trailing);
    };
    if (web) {
        std::string_view withoutScheme = address;
        for (std::string_view scheme : {"http://", "https://"})
            if (withoutScheme.starts_with(scheme)) {
                withoutScheme.remove_prefix(scheme.size());
                break;
            }
        if (plain == address || plain == withoutScheme || plain == href || plain + "/" == withoutScheme)
            return bare(escapeDestination(address));
    } else {
        std::string email = URLQueryItem::percentDecode(std::string_view(address).substr(7)).value_or("");
        if (plain == email || plain == address)
            return bare(email);
    }

    if (!startsWith(label, "![")) {
        std::string escaped;
        escaped.reserve(label.size() + 4);
        for (char c : label) {
            if (c == '[' || c == ']')
                escaped += '\\';
            escaped += c;
        }
        label = std::move(escaped);
    }
    std::string out(p.leading);
    out.append("[")
        .append(label)
        .append("](")
        .append(escapeDestination(address))
        .append(")")
        .append(p.trailing);
    return out;
}

std::string MarkdownText::indentContinuation(std::string_view text, size_t by) {
    std::string out;
    out.reserve(text.size());
    const std::string indent(by, ' ');
    size_t start = 0;
    bool first = true;
    while (true) {
        size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!first) {
            out += '\n';
            if (!line.empty())
                out += indent;
        }
        out.append(line);
        first = false;
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return out;
}

}  // namespace dz
