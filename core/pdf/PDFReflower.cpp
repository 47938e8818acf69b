#include "core/pdf/PDFReflower.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>

#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

using unicode::nextCodePoint;

bool isASCII(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char32_t firstCodePoint(std::string_view s) {
    size_t i = 0;
    return s.empty() ? 0 : nextCodePoint(s, i);
}

// True when no grapheme rule joins this code point to a neighbour: only
// CR LF, extenders, spacing marks, prepended marks, joiners, regional
// indicators and Hangul jamo and syllables ever share a cluster.
bool standsAlone(char32_t c) {
    if (c < 0x80)
        return c != '\r' && c != '\n';
    auto kind = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
    return kind == U_GCB_OTHER || kind == U_GCB_CONTROL;
}

// Byte offsets at which the user-perceived characters of `s` start, followed
// by s.size(). When every code point stands alone (as in ASCII and most
// precomposed text) each is its own character and no break iterator is needed.
std::vector<size_t> clusterStarts(std::string_view s) {
    std::vector<size_t> starts;
    starts.reserve(s.size() + 1);
    bool simple = true;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        starts.push_back(i);
        if (b < 0x80 && b != '\r' && b != '\n') {
            ++i;
            continue;
        }
        if (!standsAlone(nextCodePoint(s, i))) {
            simple = false;
            break;
        }
    }
    if (simple) {
        starts.push_back(s.size());
        return starts;
    }
    starts.clear();
    // Decode ourselves so that every UTF-16 index maps back to a byte offset.
    icu::UnicodeString u;
    std::vector<size_t> byteAt;  // UTF-16 index -> byte offset
    byteAt.reserve(s.size() + 1);
    for (size_t i = 0; i < s.size();) {
        size_t start = i;
        char32_t c = nextCodePoint(s, i);
        u.append(static_cast<UChar32>(c));
        byteAt.push_back(start);
        if (c > 0xFFFF)
            byteAt.push_back(start);
    }
    byteAt.push_back(s.size());

    static thread_local std::unique_ptr<icu::BreakIterator> iterator;
    if (!iterator) {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status))
            iterator.reset();
    }
    if (!iterator) {  // no break data: fall back to code points
        for (size_t k = 0; k + 1 < byteAt.size(); ++k)
            if (k == 0 || byteAt[k] != byteAt[k - 1])
                starts.push_back(byteAt[k]);
        starts.push_back(s.size());
        return starts;
    }
    iterator->setText(u);
    for (int32_t p = iterator->first(); p != icu::BreakIterator::DONE; p = iterator->next())
        starts.push_back(byteAt[static_cast<size_t>(p)]);
    if (starts.empty() || starts.back() != s.size())
        starts.push_back(s.size());
    return starts;
}

size_t characterCount(std::string_view s) {
    size_t count = 0;
    for (size_t i = 0; i < s.size();) {
        auto b = static_cast<unsigned char>(s[i]);
        ++count;
        if (b < 0x80 && b != '\r' && b != '\n') {
            ++i;
            continue;
        }
        if (!standsAlone(nextCodePoint(s, i)))
            return clusterStarts(s).size() - 1;
    }
    return count;
}

bool isPageNumberLetter(char c) {
    switch (c | 0x20) {
        case 'a':
        case 'e':
        case 'f':
        case 'g':
        case 'i':
        case 'n':
        case 'o':
        case 'p':
        case 's':
        case 't':
        case 'v':
            return true;
        default:
            return false;
    }
}

}  // namespace

bool PDFReflower::isHyphen(std::string_view c) {
    return c == "-" || c == "\u2010" || c == "\u00AD" || c == "\u00AC";
}

bool PDFReflower::isSentenceEnd(std::string_view c) {
    if (c.size() == 1)
        return std::strchr(".!?:;\")", c[0]) != nullptr;
    return c == "\u201D" || c == "\u2019";
}

const Regex& PDFReflower::listRegex() {
    static const Regex regex(
        "^(?:[\u2022\u25CF\u25AA\u25E6\u2023\u2043\u25A0\u25A1\u27A2\u25BA\\-\u2013*]|\\(?\\d{1,3}[.)]|\\(?["
        "a-zA-Z]["
        ".)]|[ivxIVX]{1,4}[.)])\\s");
    return regex;
}

// As written, ^(?:(?:page|seite|p\.)\s*)?[-–—]?\s*\d{1,4}\s*[-–—]?(?:\s*(?:of|/|von)\s*\d{1,4})?$
// backtracks quadratically over long runs of white space. It has no capture
// groups, and no quantified piece here is followed by something that could
// take over what it gives back (white space meets white space only, where
// either side may take the whole run), so possessive quantifiers accept
// exactly the same lines.
const Regex& PDFReflower::pageNumberRegex() {
    static const Regex regex(
        "^(?:(?:page|seite|p\\.)\\s*+)?[-\u2013\u2014]?+\\s*+\\d{1,4}+\\s*+[-\u2013\u2014]?+(?:\\s*+(?:of|/"
        "|von)\\s*+\\d{1,4}+)?$",
        UREGEX_CASE_INSENSITIVE);
    return regex;
}

bool PDFReflower::isListLine(std::string_view line) {
    if (line.empty())
        return false;
    // Every alternative is a bullet or has "." or ")" within its first five
    // code points, and none reaches past the seventh.
    size_t i = 0;
    char32_t first = nextCodePoint(line, i);
    bool candidate = false;
    switch (first) {
        case U'\u2022':
        case U'\u25CF':
        case U'\u25AA':
        case U'\u25E6':
        case U'\u2023':
        case U'\u2043':
        case U'\u25A0':
        case U'\u25A1':
        case U'\u27A2':
        case U'\u25BA':
        case U'-':
        case U'\u2013':
        case U'*':
            candidate = true;
            break;
        default:
            break;
    }
    size_t end = i;
    for (int k = 1; k < 8 && end < line.size(); ++k) {
        char32_t c = nextCodePoint(line, end);
        if (k < 5 && (c == U'.' || c == U')'))
            candidate = true;
    }
    if (!candidate)
        return false;
    return listRegex().contains(line.substr(0, end));
}

bool PDFReflower::isPageNumberLine(std::string_view line) {
    if (line.empty())
        return false;
    // A page-number line starts with a letter of "page", "seite" or "p.", a
    // dash, white space or a digit; an ASCII line holds nothing but those
    // letters, "of", "von", digits, dashes, "." "/" and white space.
    char32_t first = firstCodePoint(line);
    bool possible = first == U'p' || first == U'P' || first == U's' || first == U'S' || first == U'\u017F' ||
                    first == U'-' || first == U'\u2013' || first == U'\u2014' ||
                    u_hasBinaryProperty(static_cast<UChar32>(first), UCHAR_WHITE_SPACE) ||
                    u_charType(static_cast<UChar32>(first)) == U_DECIMAL_DIGIT_NUMBER;
    if (!possible)
        return false;
    if (isASCII(line)) {
        for (char c : line) {
            bool allowed = (c >= '0' && c <= '9') || c == ' ' || (c >= '\t' && c <= '\r') || c == '-' ||
                           c == '.' || c == '/' || isPageNumberLetter(c);
            if (!allowed)
                return false;
        }
    }
    return pageNumberRegex().matchesWhole(line);
}

std::string PDFReflower::fixGlyphs(std::string_view text) {
    // Every glyph in the table is U+F0xx or U+FB0x: EF 81..83 xx or EF AC 80..86.
    std::string out;
    size_t copied = 0;
    const size_t n = text.size();
    size_t i = 0;
    while (i + 2 < n) {
        const void* hit = std::memchr(text.data() + i, 0xEF, n - 2 - i);
        if (!hit)
            break;
        i = static_cast<size_t>(static_cast<const char*>(hit) - text.data());
        size_t next = i;
        char32_t c = nextCodePoint(text, next);
        std::string_view replacement;
        switch (c) {
            case 0xFB00:
                replacement = "ff";
                break;
            case 0xFB01:
                replacement = "fi";
                break;
            case 0xFB02:
                replacement = "fl";
                break;
            case 0xFB03:
                replacement = "ffi";
                break;
            case 0xFB04:
                replacement = "ffl";
                break;
            case 0xFB05:
            case 0xFB06:
                replacement = "st";
                break;
            case 0xF06C:
            case 0xF06E:
            case 0xF076:
            case 0xF0A7:
            case 0xF0A8:
            case 0xF0B7:
            case 0xF0D8:
            case 0xF0FC:
                replacement = "\u2022";
                break;
            default:
                break;
        }
        if (replacement.empty()) {
            i = next;
            continue;
        }
        if (copied == 0)
            out.reserve(n + n / 8);
        out.append(text, copied, i - copied);
        out.append(replacement);
        i = next;
        copied = next;
    }
    if (copied == 0)
        return std::string(text);
    out.append(text, copied, n - copied);
    return out;
}

std::vector<std::string_view> PDFReflower::removePageNumberLines(const std::vector<std::string_view>& lines) {
    size_t nonEmpty = 0;
    for (auto line : lines) nonEmpty += line.empty() ? 0 : 1;
    if (nonEmpty < 4)
        return lines;
    std::vector<bool> marked(lines.size(), false);
    size_t count = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].empty() && isPageNumberLine(lines[i])) {
            marked[i] = true;
            ++count;
        }
    size_t allowed = lines.size() < 30 ? 2 : lines.size() / 15;
    if (count == 0 || count > allowed)
        return lines;
    std::vector<std::string_view> kept;
    kept.reserve(lines.size() - count);
    for (size_t i = 0; i < lines.size(); ++i)
        if (!marked[i])
            kept.push_back(lines[i]);
    return kept;
}

namespace {

size_t percentile80(std::vector<size_t> lengths) {
    if (lengths.empty())
        return 0;
    std::sort(lengths.begin(), lengths.end());
    size_t n = lengths.size();
    return lengths[std::min(n - 1, static_cast<size_t>(static_cast<double>(n) * 0.8))];
}

}  // namespace

size_t PDFReflower::typicalLineLength(const std::vector<std::string_view>& lines) {
    std::vector<size_t> lengths;
    for (auto line : lines)
        if (!line.empty())
            lengths.push_back(characterCount(line));
    return percentile80(std::move(lengths));
}

namespace {

// The decision of a dehyphenated join together with the byte length of the
// hyphen that goes.
struct HyphenJoin {
    PDFReflower::Join join;
    size_t hyphenBytes;
};

std::optional<HyphenJoin> joinAtHyphen(const PDFReflower& reflower, std::string_view previous,
                                       std::string_view next) {
    if (!reflower.options.dehyphenate || next.empty() || previous.empty())
        return std::nullopt;
    // Cheap refusal before any cluster work: a hyphen ends in one of these bytes.
    auto lastByte = static_cast<unsigned char>(previous.back());
    if (lastByte != '-' && lastByte != 0x90 && lastByte != 0xAD && lastByte != 0xAC)
        return std::nullopt;
    std::vector<size_t> starts = clusterStarts(previous);
    size_t count = starts.size() - 1;
    if (count < 2)
        return std::nullopt;
    std::string_view hyphen = previous.substr(starts[count - 1]);
    if (!PDFReflower::isHyphen(hyphen))
        return std::nullopt;
    if (!u_isalpha(static_cast<UChar32>(firstCodePoint(previous.substr(starts[count - 2])))))
        return std::nullopt;
    HyphenJoin result{{count - 1, {}}, hyphen.size()};
    auto joined = [&](bool keepHyphen) {
        result.join.text.reserve(next.size() + 1);
        if (keepHyphen)
            result.join.text.push_back('-');
        result.join.text.append(next);
        return result;
    };
    if (hyphen == "\u00AD" || hyphen == "\u00AC")
        return joined(false);
    if (!u_islower(static_cast<UChar32>(firstCodePoint(next))))
        return joined(true);
    if (!reflower.isWord)
        return joined(false);

    // The run of letters before the hyphen and the one starting the next line.
    size_t headStart = count - 1;
    while (headStart > 0 &&
           u_isalpha(static_cast<UChar32>(firstCodePoint(previous.substr(starts[headStart - 1])))))
        --headStart;
    std::string_view head = previous.substr(starts[headStart], starts[count - 1] - starts[headStart]);
    std::vector<size_t> nextStarts = clusterStarts(next);
    size_t tailEnd = 0;
    while (tailEnd + 1 < nextStarts.size() &&
           u_isalpha(static_cast<UChar32>(firstCodePoint(next.substr(nextStarts[tailEnd])))))
        ++tailEnd;
    std::string_view tail = next.substr(0, nextStarts[tailEnd]);

    std::string whole(head);
    whole.append(tail);
    if (reflower.isWord(whole))
        return joined(false);
    if (reflower.isWord(head))
        return joined(true);
    if (!reflower.isWord(tail))
        return joined(false);
    return joined(true);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<PDFReflower::Join> PDFReflower::dehyphenatedJoin(std::string_view previous,
                                                               std::string_view next) const {
    if (auto j = joinAtHyphen(*this, previous, next))
        return std::move(j->join);
    return std::nullopt;
}

std::string PDFReflower::reflow(std::string_view text) const {
    std::string normalized = TextCleaner::normalizeLineEndings(text);
    if (options.fixLigatures)
        normalized = fixGlyphs(normalized);

    // Lines with runs of spaces collapsed and spaces and tabs trimmed, kept
    // in one buffer.
    std::string buffer;
    buffer.reserve(normalized.size());
    std::vector<std::pair<size_t, size_t>> spans;
    {
        size_t start = 0;
        while (true) {
            size_t end = normalized.find('\n', start);
            size_t stop = end == std::string::npos ? normalized.size() : end;
            size_t a = start, b = stop;
            while (a < b && isBlank(normalized[a])) ++a;
            while (b > a && isBlank(normalized[b - 1])) --b;
            size_t begin = buffer.size();
            for (size_t i = a; i < b; ++i) {
                if (normalized[i] == ' ' && i + 1 < b && normalized[i + 1] == ' ')
                    continue;  // keeps the last space of a run
                buffer.push_back(normalized[i]);
            }
            spans.emplace_back(begin, buffer.size() - begin);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    std::vector<std::string_view> lines;
    lines.reserve(spans.size());
    for (auto [begin, length] : spans) lines.emplace_back(buffer.data() + begin, length);

    if (options.removePageNumbers)
        lines = removePageNumberLines(lines);

    std::vector<size_t> lengths(lines.size(), 0);
    std::vector<size_t> nonEmptyLengths;
    for (size_t i = 0; i < lines.size(); ++i)
        if (!lines[i].empty()) {
            lengths[i] = characterCount(lines[i]);
            nonEmptyLengths.push_back(lengths[i]);
        }
    const size_t nonEmpty = nonEmptyLengths.size();
    const auto threshold =
        static_cast<size_t>(static_cast<double>(percentile80(std::move(nonEmptyLengths))) * 0.75);

    std::string out;
    out.reserve(buffer.size() + 16);
    constexpr size_t none = static_cast<size_t>(-1);
    size_t previous = none;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty()) {
            previous = none;
            continue;
        }
        if (previous == none) {
            if (!out.empty())
                out.append("\n\n");
            out.append(line);
        } else if (isListLine(line)) {
            out.push_back('\n');
            out.append(line);
        } else if (auto j = joinAtHyphen(*this, lines[previous], line)) {
            out.resize(out.size() - j->hyphenBytes);
            out.append(j->join.text);
        } else {
            std::string_view prev = lines[previous];
            bool paragraphBreak = false;
            if (nonEmpty >= 4 && lengths[previous] < threshold) {
                // The last character of the previous line, unless a combining
                // mark extends it (then it is no sentence end).
                std::string_view last;
                if (static_cast<unsigned char>(prev.back()) < 0x80) {
                    last = prev.substr(prev.size() - 1);
                } else {
                    auto starts = clusterStarts(prev);
                    last = prev.substr(starts[starts.size() - 2]);
                }
                paragraphBreak = isSentenceEnd(last) || u_isupper(static_cast<UChar32>(firstCodePoint(line)));
            }
            out.append(paragraphBreak ? "\n\n" : " ");
            out.append(line);
        }
        previous = i;
    }
    return out;
}

}  // namespace dz
