#include "core/text/TextCleaner.h"

#include <cstring>
#include <memory>

#include <unicode/uchar.h>

#include "core/links/URLCleaner.h"
#include "core/links/URLQueryItem.h"
#include "core/text/Unicode.h"

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

namespace {

// The line terminators of ICU's "." and "$".
bool isLineTerminator(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// "(.*)$" from `pos`: the rest of the line, provided that nothing but one
// final line terminator (CR LF counting as one) follows it.
std::optional<std::string_view> restOfLine(std::string_view line, size_t pos) {
    size_t i = pos;
    while (i < line.size()) {
        auto b = static_cast<unsigned char>(line[i]);
        if (b >= 0x20 && b < 0x80) {
            ++i;
            continue;
        }
        size_t start = i;
        char32_t c = nextCodePoint(line, i);
        if (!isLineTerminator(c))
            continue;
        if (i == line.size() || (c == '\r' && i + 1 == line.size() && line[i] == '\n'))
            return line.substr(pos, start - pos);
        return std::nullopt;
    }
    return line.substr(pos);
}

size_t skipBlanks(std::string_view line, size_t i) {
    while (i < line.size() && isBlank(line[i])) ++i;
    return i;
}

bool isRomanLetter(char c) {
    switch (c) {
        case 'i':
        case 'v':
        case 'x':
        case 'l':
        case 'c':
        case 'd':
        case 'm':
        case 'I':
        case 'V':
        case 'X':
        case 'L':
        case 'C':
        case 'D':
        case 'M':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<TextCleaner::ListLineMatch> TextCleaner::matchUnorderedLine(std::string_view line) {
    size_t k = skipBlanks(line, 0);
    if (k == line.size())
        return std::nullopt;
    size_t i = k;
    char32_t c = nextCodePoint(line, i);
    if (u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE))
        return std::nullopt;
    size_t gapEnd = skipBlanks(line, i);
    if (gapEnd == i)
        return std::nullopt;
    auto content = restOfLine(line, gapEnd);
    if (!content)
        return std::nullopt;
    return ListLineMatch{line.substr(0, k), line.substr(k, i - k), {}, line.substr(i, gapEnd - i), *content};
}

std::optional<TextCleaner::ListLineMatch> TextCleaner::matchOrderedLine(std::string_view line) {
    size_t k = skipBlanks(line, 0);
    // The rest of the pattern after the number, which ends at `p`. Only the
    // longest number of each alternative can be followed by "." ")" or a
    // blank, and a tab gap that fails would fail as a blank gap too.
    auto tail = [&](size_t p) -> std::optional<ListLineMatch> {
        size_t q = p;
        if (q < line.size() && (line[q] == '.' || line[q] == ')'))
            ++q;
        if (q == line.size() || !isBlank(line[q]))
            return std::nullopt;
        size_t gapEnd = q;
        if (line[q] == '\t')
            while (gapEnd < line.size() && line[gapEnd] == '\t') ++gapEnd;
        else
            gapEnd = skipBlanks(line, q);
        auto content = restOfLine(line, gapEnd);
        if (!content)
            return std::nullopt;
        return ListLineMatch{line.substr(0, k), line.substr(k, p - k), line.substr(p, q - p),
                             line.substr(q, gapEnd - q), *content};
    };
    size_t p = k;
    for (int digits = 0; digits < 4 && p < line.size(); ++digits) {
        size_t next = p;
        if (u_charType(static_cast<UChar32>(nextCodePoint(line, next))) != U_DECIMAL_DIGIT_NUMBER)
            break;
        p = next;
    }
    if (p > k)
        return tail(p);
    if (k == line.size())
        return std::nullopt;
    char first = line[k];
    if (((first | 0x20) >= 'a' && (first | 0x20) <= 'z'))
        if (auto m = tail(k + 1))
            return m;
    p = k;
    while (p < line.size() && p - k < 6 && isRomanLetter(line[p])) ++p;
    if (p > k)
        return tail(p);
    return std::nullopt;
}

std::optional<std::string> TextCleaner::normalizeListLine(std::string_view line, std::string_view bullet) {
    auto rewrite = [&](int level, std::string_view marker, std::string_view punctuation,
                       std::string_view content) {
        std::string out(static_cast<size_t>(level) * 2, ' ');
        out.append(marker);
        out.append(punctuation);
        out.push_back(' ');
        out.append(content);
        return out;
    };
    auto hasTab = [](std::string_view s) { return s.find('\t') != std::string_view::npos; };

    // Without a tab in the indent only a bullet glyph can start a list line.
    size_t k = skipBlanks(line, 0);
    if (k == line.size())
        return std::nullopt;
    if (!hasTab(line.substr(0, k))) {
        size_t j = k;
        if (!isListGlyph(nextCodePoint(line, j)))
            return std::nullopt;
    }

    if (auto m = matchUnorderedLine(line)) {
        char32_t marker = singleCodePoint(m->marker);
        bool tabbed = hasTab(m->indent) && hasTab(m->gap);
        int level = -1;
        if (int nested = nestedMarkerLevel(marker); nested >= 0)
            level = tabbed ? nested : indentLevel(m->indent);
        else if (isOtherBullet(marker))
            level = indentLevel(m->indent);
        else if ((marker == U'-' || marker == U'*' || marker == U'\u2013') && tabbed)
            level = indentLevel(m->indent);
        if (level >= 0)
            return rewrite(level, bullet, {}, m->content);
    }
    if (auto m = matchOrderedLine(line); m && hasTab(m->indent) && hasTab(m->gap))
        return rewrite(indentLevel(m->indent), m->marker, m->punctuation.empty() ? "." : m->punctuation,
                       m->content);
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

namespace {

bool isDigits(std::string_view s, size_t min, size_t max) {
    if (s.size() < min || s.size() > max)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The marker alternatives for lower-cased ASCII content between the brackets.
bool isASCIIMarker(std::string_view c) {
    if (c.empty())
        return false;
    if (isDigits(c, 1, 4))
        return true;
    if (c.size() == 1 && c[0] >= 'a' && c[0] <= 'z')
        return true;
    if (c.size() <= 4 && c.find_first_not_of("ivx") == std::string_view::npos)
        return true;
    for (std::string_view prefix : {"note", "nb", "n"}) {
        if (c.substr(0, prefix.size()) == prefix) {
            std::string_view rest = c.substr(prefix.size());
            if (!rest.empty() && rest[0] == ' ')
                rest.remove_prefix(1);
            if (isDigits(rest, 1, 4))
                return true;
        }
    }
    static constexpr std::string_view tags[] = {"citation needed",
                                                "clarification needed",
                                                "verification needed",
                                                "better source needed",
                                                "failed verification",
                                                "according to whom?",
                                                "who?",
                                                "when?",
                                                "which?",
                                                "by whom?",
                                                "dubious",
                                                "dubious - discuss",
                                                "edit"};
    for (std::string_view tag : tags)
        if (c == tag)
            return true;
    return false;
}

}  // namespace

std::string TextCleaner::removeFootnotes(std::string_view text) {
    std::vector<std::pair<size_t, size_t>> ranges = footnoteRanges(text);
    if (ranges.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (const auto& [start, end] : ranges) {
        out.append(text, copied, start - copied);
        copied = end;
    }
    out.append(text, copied, text.size() - copied);
    return out;
}

std::vector<std::pair<size_t, size_t>> TextCleaner::footnoteRanges(std::string_view text) {
    // Every marker starts at "[" and ends at the first "]" after it, and the
    // longest alternative is a few dozen characters. Markers of ASCII text
    // after an ASCII character are recognised directly; any other "[" is
    // tested with the pattern in a small window holding the character before
    // it (for the look-behind) and the one after the "]" (for the look-ahead).
    static constexpr size_t maxMarkerBytes = 128;
    const size_t n = text.size();
    std::vector<std::pair<size_t, size_t>> ranges;
    std::unique_ptr<icu::RegexMatcher> matcher;
    size_t p = text.find('[');
    while (p != std::string_view::npos) {
        size_t q = text.find(']', p + 1);
        if (q == std::string_view::npos)
            break;
        if (p == 0 || q - p > maxMarkerBytes) {
            p = text.find('[', p + 1);
            continue;
        }
        auto previous = static_cast<unsigned char>(text[p - 1]);
        std::string_view content = text.substr(p + 1, q - p - 1);
        bool asciiContent = true;
        for (char c : content) asciiContent &= static_cast<unsigned char>(c) < 0x80;
        bool found = false;
        if (previous < 0x80 && asciiContent) {
            // Letters, digits, punctuation and symbols are the visible ASCII characters.
            if (previous > 0x20 && previous < 0x7F && !(q + 1 < n && text[q + 1] == '(')) {
                char lower[maxMarkerBytes];
                for (size_t k = 0; k < content.size(); ++k) {
                    char c = content[k];
                    lower[k] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
                }
                found = isASCIIMarker(std::string_view(lower, content.size()));
            }
        } else {
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
                    return {};
            } else {
                matcher->reset(window);
            }
            matcher->region(prefix.length(), window.length(), status);
            matcher->useTransparentBounds(true);
            found = U_SUCCESS(status) && matcher->lookingAt(status) && U_SUCCESS(status);
        }
        if (found) {
            ranges.emplace_back(p, q + 1);
            p = text.find('[', q + 1);
        } else {
            p = text.find('[', p + 1);
        }
    }
    return ranges;
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
        if (auto decoded = URLQueryItem::percentDecode(utf8))
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
