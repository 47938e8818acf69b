#include "core/markdown/MarkdownText.h"

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
    if (code.find('`') != std::string::npos)
        return "`` " + code + " ``";
    return "`" + code + "`";
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
