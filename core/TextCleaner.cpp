#include "core/TextCleaner.h"

#include <cstring>
#include <memory>

#include "core/URLCleaner.h"
#include "core/Unicode.h"

namespace dz {

namespace {

using unicode::appendCodePoint;
using unicode::fromICU;
using unicode::nextCodePoint;
using unicode::toICU;

// Bullet glyph -> nesting level, for bullets whose glyph says how deep the
// item sits in the editor that wrote it.
int nestedMarkerLevel(char32_t c) {
    switch (c) {
        case U'\u2022':
            return 0;
        case U'\u25E6':
            return 1;
        case U'\u25AA':
        case U'\u25A0':
            return 2;
        case U'\u25AB':
        case U'\u2023':
        case U'\u2043':
            return 3;
        default:
            return -1;
    }
}

bool isOtherBullet(char32_t c) {
    switch (c) {
        case U'\u25CF':
        case U'\u25CB':
        case U'\u2219':
        case U'\u25C6':
        case U'\u25C7':
        case U'\u29BF':
        case U'\u29BE':
        case U'\u25A1':
        case U'\u27A2':
        case U'\u27A4':
        case U'\u25BA':
        case U'\u25B8':
        case U'\u25B9':
        case U'\u2713':
        case U'\u2714':
            return true;
        default:
            return false;
    }
}

bool isListGlyph(char32_t c) {
    return nestedMarkerLevel(c) >= 0 || isOtherBullet(c);
}

// The marker of a list line is a single code point (the pattern's `\S`).
char32_t singleCodePoint(std::string_view s) {
    if (s.empty())
        return 0;
    size_t i = 0;
    char32_t c = nextCodePoint(s, i);
    return i == s.size() ? c : 0;
}

std::string group(icu::RegexMatcher& m, int n) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString g = m.group(n, status);
    return U_SUCCESS(status) ? fromICU(g) : std::string();
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c) {
    if (c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

// Nothing on a malformed escape or when the bytes are not UTF-8. "+" stays.
std::optional<std::string> percentDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out.push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size() || !isHex(s[i + 1]) || !isHex(s[i + 2]))
            return std::nullopt;
        out.push_back(static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
        i += 2;
    }
    if (!unicode::isValidUTF8(out))
        return std::nullopt;
    return out;
}

bool containsMailto(std::string_view text) {
    static constexpr std::string_view needle = "mailto:";
    if (text.size() < needle.size())
        return false;
    for (size_t i = 0; i + needle.size() <= text.size(); ++i) {
        if ((text[i] | 0x20) != 'm')
            continue;
        size_t k = 1;
        while (k < needle.size()) {
            char c = text[i + k];
            char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
            if (lower != needle[k])
                break;
            ++k;
        }
        if (k == needle.size())
            return true;
    }
    return false;
}

// Invisible characters and controls that removal drops (tags are handled
// apart, VT and FF become line feeds).
bool isDroppedInvisible(char32_t c) {
    if (c <= 0x08 || (c >= 0x0E && c <= 0x1F) || (c >= 0x7F && c <= 0x9F))
        return true;
    switch (c) {
        case 0x00AD:
        case 0x180E:
        case 0x200B:
        case 0xFEFF:
            return true;
        default:
            break;
    }
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || (c >= 0x2066 && c <= 0x206F) ||
           (c >= 0xFFF9 && c <= 0xFFFC);
}

bool isOddSpace(char32_t c) {
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

}  // namespace

const Regex& TextCleaner::footnoteRegex() {
    static const Regex regex(
        "(?<=[\\p{L}\\p{N}\\p{P}\\p{S}])\\[(?:\\d{1,4}|[a-z]|[ivx]{1,4}|(?:note|nb|n) ?\\d{1,4}|citation "
        "needed|clarification needed|verification needed|better source needed|failed verification|according "
        "to whom\\?|who\\?|when\\?|which\\?|by whom\\?|dubious(?: [\u2013-] discuss)?|edit)\\](?!\\()",
        UREGEX_CASE_INSENSITIVE);
    return regex;
}

// The list patterns as written, ^([ \t]*)(\S)([ \t]+)(.*)$ and
// ^([ \t]*)(\d{1,4}|[A-Za-z]|[ivxlcdmIVXLCDM]{1,6})([.)]?)(\t+|[ \t]+)(.*)$,
// backtrack quadratically when a long run of blanks is followed by a line
// terminator that is not the last character. Committing to the first way the
// prefix (indent, marker, punctuation, gap) matches gives the same matches
// and groups: every other way ends inside the same run of blanks, and from
// anywhere in that run ".*$" succeeds or fails alike. The indent is followed
// by a non-blank, so it never gives anything back either.
const Regex& TextCleaner::unorderedRegex() {
    static const Regex regex("^(?>([ \\t]*+)(\\S)([ \\t]+))(.*+)$");
    return regex;
}

const Regex& TextCleaner::orderedRegex() {
    static const Regex regex(
        "^(?>([ \\t]*+)(\\d{1,4}|[A-Za-z]|[ivxlcdmIVXLCDM]{1,6})([.)]?)(\\t+|[ \\t]+))(.*+)$");
    return regex;
}

const Regex& TextCleaner::mailtoRegex() {
    static const Regex regex("\\bmailto:([^\\s?<>\"']+)(\\?[^\\s<>\"']*)?", UREGEX_CASE_INSENSITIVE);
    return regex;
}

std::string TextCleaner::clean(std::string_view text, bool isRichSource) const {
    std::string s(text);
    if (options.normalizeNewlines)
        s = normalizeLineEndings(s);
    if (options.removeInvisibleCharacters || options.normalizeSpaces)
        s = removeInvisibles(s, options.removeInvisibleCharacters, options.normalizeSpaces);
    if (options.normalizeLists)
        s = normalizeLists(s, listbullet::rawValue(options.listBullet));
    if (options.removeFootnoteReferences && isRichSource && s.find('[') != std::string::npos)
        s = removeFootnotes(s);
    if (options.normalizeQuotes)
        s = normalizeQuotes(s);
    if (options.removeTrackingParameters || options.unwrapRedirectLinks)
        s = URLCleaner::cleanURLs(s, options.removeTrackingParameters, options.unwrapRedirectLinks);
    if (options.removeMailtoPrefix)
        s = removeMailto(s);
    if (options.normalizeNewlines)
        s = tidyLines(s);
    if (options.trimWhitespace) {
        std::string_view trimmed = unicode::trimWhitespaceAndNewlines(s);
        size_t head = static_cast<size_t>(trimmed.data() - s.data()), length = trimmed.size();
        s.resize(head + length);
        s.erase(0, head);
    }
    return s;
}

std::string TextCleaner::normalizeLineEndings(std::string_view text) {
    const size_t n = text.size();
    std::string out;
    out.reserve(n);
    size_t run = 0;  // start of the bytes not yet copied
    for (size_t i = 0; i < n; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            out.append(text, run, i - run);
            out.push_back('\n');
            if (i + 1 < n && text[i + 1] == '\n')
                ++i;
            run = i + 1;
        } else if (c == '\v' || c == '\f') {
            out.append(text, run, i - run);
            out.push_back('\n');
            run = i + 1;
        } else if (c == 0xE2 && i + 2 < n && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            out.append(text, run, i - run);
            out.push_back('\n');
            i += 2;
            run = i + 1;
        }
    }
    if (run == 0)
        return std::string(text);
    out.append(text, run, n - run);
    return out;
}

std::string TextCleaner::removeInvisibles(std::string_view text, bool removeInvisible, bool normalizeSpaces) {
    const size_t n = text.size();
    std::string out;
    out.reserve(n);
    size_t run = 0;  // unchanged bytes are copied in runs
    bool inTagSequence = false;
    size_t i = 0;
    while (i < n) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7F) {
            inTagSequence = false;
            ++i;
            continue;
        }
        size_t start = i;
        char32_t c = nextCodePoint(text, i);
        // 0: keep, 1: drop, 2: line feed, 3: space
        int action = 0;
        if (c >= 0xE0000 && c <= 0xE007F) {
            if (inTagSequence && c >= 0xE0020) {
                if (c == 0xE007F)
                    inTagSequence = false;
            } else {
                inTagSequence = false;
                action = removeInvisible ? 1 : 0;
            }
        } else {
            inTagSequence = c == 0x1F3F4;
            if (removeInvisible && isDroppedInvisible(c))
                action = 1;
            else if (removeInvisible && (c == 0x0B || c == 0x0C))
                action = 2;
            else if (normalizeSpaces && isOddSpace(c))
                action = 3;
        }
        if (action == 0)
            continue;
        out.append(text, run, start - run);
        if (action == 2)
            out.push_back('\n');
        else if (action == 3)
            out.push_back(' ');
        run = i;
    }
    if (run == 0)
        return std::string(text);
    out.append(text, run, n - run);
    return out;
}

int TextCleaner::indentLevel(std::string_view indent) {
    int tabs = 0, spaces = 0;
    for (char c : indent) {
        if (c == '\t')
            ++tabs;
        else if (c == ' ')
            ++spaces;
    }
    return std::max(tabs - 1, 0) + spaces / 2;
}

std::optional<std::string> TextCleaner::normalizeListLine(std::string_view line, std::string_view bullet) {
    // Cheap pre-check: without a tab in the indent only a bullet glyph can
    // start a list line.
    size_t k = 0;
    bool indentHasTab = false;
    while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) {
        indentHasTab |= line[k] == '\t';
        ++k;
    }
    if (k == line.size())
        return std::nullopt;
    {
        size_t j = k;
        if (!indentHasTab && !isListGlyph(nextCodePoint(line, j)))
            return std::nullopt;
    }

    icu::UnicodeString u = toICU(line);
    auto rewrite = [&](int level, std::string_view marker, std::string_view content) {
        std::string out(static_cast<size_t>(level) * 2, ' ');
        out.append(marker);
        out.push_back(' ');
        out.append(content);
        return out;
    };

    if (auto m = unorderedRegex().matcher(u)) {
        UErrorCode status = U_ZERO_ERROR;
        if (m->find(status) && U_SUCCESS(status)) {
            std::string indent = group(*m, 1), gap = group(*m, 3);
            char32_t marker = singleCodePoint(group(*m, 2));
            bool tabbed = indent.find('\t') != std::string::npos && gap.find('\t') != std::string::npos;
            int level = -1;
            if (int nested = nestedMarkerLevel(marker); nested >= 0)
                level = tabbed ? nested : indentLevel(indent);
            else if (isOtherBullet(marker))
                level = indentLevel(indent);
            else if ((marker == U'-' || marker == U'*' || marker == U'\u2013') && tabbed)
                level = indentLevel(indent);
            if (level >= 0)
                return rewrite(level, bullet, group(*m, 4));
        }
    }

    if (!indentHasTab)
        return std::nullopt;
    if (auto m = orderedRegex().matcher(u)) {
        UErrorCode status = U_ZERO_ERROR;
        if (m->find(status) && U_SUCCESS(status)) {
            std::string indent = group(*m, 1), punctuation = group(*m, 3), gap = group(*m, 4);
            if (indent.find('\t') != std::string::npos && gap.find('\t') != std::string::npos) {
                std::string marker = group(*m, 2) + (punctuation.empty() ? std::string(".") : punctuation);
                return rewrite(indentLevel(indent), marker, group(*m, 5));
            }
        }
    }
    return std::nullopt;
}

std::string TextCleaner::normalizeLists(std::string_view text, std::string_view bullet) {
    // Every list line holds a tab or a bullet glyph, and all glyphs lie above U+2000.
    bool mayHaveList = false;
    for (size_t i = 0; i < text.size() && !mayHaveList; ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b == '\t' || b >= 0xE3)
            mayHaveList = true;
        else if (b == 0xE2)
            mayHaveList = !(i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                            static_cast<unsigned char>(text[i + 2]) == 0x80);
    }
    if (!mayHaveList)
        return std::string(text);

    std::string out;
    out.reserve(text.size() + text.size() / 16);
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        if (auto rewritten = normalizeListLine(line, bullet))
            out.append(*rewritten);
        else
            out.append(line);
        if (end == std::string_view::npos)
            break;
        out.push_back('\n');
        start = end + 1;
    }
    return out;
}

std::string TextCleaner::removeFootnotes(std::string_view text) {
    // Every marker starts at "[" and ends at the first "]" after it, and the
    // longest alternative is a few dozen characters: each "[" is tested in a
    // small window holding the character before it (for the look-behind) and
    // the one after the "]" (for the look-ahead).
    static constexpr size_t maxMarkerBytes = 128;
    const size_t n = text.size();
    std::string out;
    std::unique_ptr<icu::RegexMatcher> matcher;
    size_t copied = 0;
    size_t p = text.find('[');
    while (p != std::string_view::npos) {
        size_t q = text.find(']', p + 1);
        if (q == std::string_view::npos)
            break;
        if (p == 0 || q - p > maxMarkerBytes) {
            p = text.find('[', p + 1);
            continue;
        }
        size_t before = p - 1;
        while (before > 0 && p - before < 4 && (static_cast<unsigned char>(text[before]) & 0xC0) == 0x80)
            --before;
        size_t after = q + 1;
        if (after < n)
            nextCodePoint(text, after);
        icu::UnicodeString prefix = toICU(text.substr(before, p - before));
        icu::UnicodeString window = prefix;
        window.append(toICU(text.substr(p, after - p)));
        UErrorCode status = U_ZERO_ERROR;
        if (!matcher) {
            matcher = footnoteRegex().matcher(window);
            if (!matcher)
                return std::string(text);
        } else {
            matcher->reset(window);
        }
        matcher->region(prefix.length(), window.length(), status);
        matcher->useTransparentBounds(true);
        bool found = U_SUCCESS(status) && matcher->lookingAt(status) && U_SUCCESS(status);
        if (found) {
            out.append(text, copied, p - copied);
            copied = q + 1;
            p = text.find('[', q + 1);
        } else {
            p = text.find('[', p + 1);
        }
    }
    if (copied == 0)
        return std::string(text);
    out.append(text, copied, n - copied);
    return out;
}

std::string TextCleaner::normalizeQuotes(std::string_view text) {
    // U+2018..U+201F are E2 80 98..9F.
    std::string out;
    size_t copied = 0;
    const char* data = text.data();
    size_t n = text.size();
    size_t i = 0;
    while (i + 2 < n) {
        const void* hit = std::memchr(data + i, 0xE2, n - 2 - i);
        if (!hit)
            break;
        i = static_cast<size_t>(static_cast<const char*>(hit) - data);
        auto b1 = static_cast<unsigned char>(data[i + 1]), b2 = static_cast<unsigned char>(data[i + 2]);
        if (b1 == 0x80 && b2 >= 0x98 && b2 <= 0x9F) {
            if (out.empty())
                out.reserve(n);
            out.append(text, copied, i - copied);
            out.push_back(b2 <= 0x9B ? '\'' : '"');
            i += 3;
            copied = i;
        } else {
            ++i;
        }
    }
    if (copied == 0)
        return std::string(text);
    out.append(text, copied, n - copied);
    return out;
}

std::string TextCleaner::removeMailto(std::string_view text) {
    if (!containsMailto(text))
        return std::string(text);
    icu::UnicodeString u = toICU(text);
    icu::UnicodeString result = mailtoRegex().replaceAll(u, [](icu::RegexMatcher& m) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString address = m.group(1, status);
        if (U_FAILURE(status))
            return m.group(status);
        std::string utf8 = fromICU(address);
        if (auto decoded = percentDecoded(utf8))
            return toICU(*decoded);
        return address;
    });
    return fromICU(result);
}

std::string TextCleaner::tidyLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        size_t stop = end == std::string_view::npos ? text.size() : end;
        size_t trimmed = stop;
        while (trimmed > start && (text[trimmed - 1] == ' ' || text[trimmed - 1] == '\t')) --trimmed;
        out.append(text, start, trimmed - start);
        if (end == std::string_view::npos)
            break;
        // Runs of three or more line feeds become two.
        size_t len = out.size();
        if (!(len >= 2 && out[len - 1] == '\n' && out[len - 2] == '\n'))
            out.push_back('\n');
        start = end + 1;
    }
    return out;
}

}  // namespace dz
