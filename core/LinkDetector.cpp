#include "core/LinkDetector.h"

#include <cstring>

#include <unicode/uchar.h>

#include "core/Unicode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dz {

namespace {

bool matchesHTTPAt(const char* s) {
    return (s[0] | 0x20) == 'h' && (s[1] | 0x20) == 't' && (s[2] | 0x20) == 't' && (s[3] | 0x20) == 'p';
}

// The code point that ends just before byte `end`, or 0 at the start.
char32_t previousCodePoint(std::string_view text, size_t end) {
    if (end == 0)
        return 0;
    size_t begin = end - 1;
    while (begin > 0 && end - begin < 4 && (static_cast<unsigned char>(text[begin]) & 0xC0) == 0x80) --begin;
    size_t i = begin;
    return unicode::nextCodePoint(text, i);
}

bool isLetterOrDigit(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return u_isalnum(static_cast<UChar32>(c));
}

// Characters that end an address outright.
bool endsAddress(char32_t c) {
    if (c < 0x80)
        return c <= 0x20 || c == 0x7F || c == '<' || c == '>';
    if (unicode::isWhiteSpaceOrNewline(c) || u_charType(static_cast<UChar32>(c)) == U_CONTROL_CHAR)
        return true;
    switch (u_charType(static_cast<UChar32>(c))) {
        case U_END_PUNCTUATION:
        case U_START_PUNCTUATION:
        case U_FINAL_PUNCTUATION:
        case U_INITIAL_PUNCTUATION:
        case U_DASH_PUNCTUATION:
        case U_OTHER_PUNCTUATION:
            return true;
        default:
            return false;
    }
}

// The first character of the authority must be able to start a host name or
// user name: not "." "-" "/" "?" "#" and the like.
bool canStartAuthority(char32_t c) {
    return c == '[' || isLetterOrDigit(c) || (c >= 0x80 && !endsAddress(c));
}

size_t countOf(std::string_view s, char c) {
    size_t n = 0;
    for (char ch : s) n += ch == c;
    return n;
}

// Drops trailing punctuation that belongs to the sentence rather than the address.
size_t trimmedLength(std::string_view link) {
    size_t end = link.size();
    while (end > 0) {
        std::string_view current = link.substr(0, end);
        unsigned char last = static_cast<unsigned char>(current.back());
        if (last < 0x80) {
            switch (last) {
                case '.':
                case ',':
                case ':':
                case ';':
                case '!':
                case '?':
                case '"':
                case '\'':
                    --end;
                    continue;
                case ')':
                case ']':
                case '}': {
                    char opener = last == ')' ? '(' : last == ']' ? '[' : '{';
                    if (countOf(current, static_cast<char>(last)) > countOf(current, opener)) {
                        --end;
                        continue;
                    }
                    return end;
                }
                default:
                    return end;
            }
        }
        // Curly quotes (U+2018, U+2019, U+201C, U+201D) normally end the address
        // before they are reached; trimming them too keeps the rule symmetric.
        if (current.size() >= 3 && static_cast<unsigned char>(current[current.size() - 3]) == 0xE2 &&
            static_cast<unsigned char>(current[current.size() - 2]) == 0x80) {
            unsigned char b = last;
            if (b == 0x98 || b == 0x99 || b == 0x9C || b == 0x9D) {
                end -= 3;
                continue;
            }
        }
        return end;
    }
    return end;
}

}  // namespace

size_t LinkDetector::findHTTP(std::string_view text, size_t from) {
    const char* s = text.data();
    size_t n = text.size();
    if (n < 4 || from > n - 4)
        return std::string_view::npos;
    size_t i = from;
#if defined(__SSE2__)
    const __m128i lowerBit = _mm_set1_epi8(0x20);
    const __m128i h = _mm_set1_epi8('h'), t = _mm_set1_epi8('t'), p = _mm_set1_epi8('p');
    while (i + 19 <= n) {
        auto load = [&](size_t at) {
            return _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at)), lowerBit);
        };
        __m128i m =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(load(i), h), _mm_cmpeq_epi8(load(i + 1), t)),
                          _mm_and_si128(_mm_cmpeq_epi8(load(i + 2), t), _mm_cmpeq_epi8(load(i + 3), p)));
        int mask = _mm_movemask_epi8(m);
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        i += 16;
    }
#endif
    for (; i + 4 <= n; ++i)
        if (matchesHTTPAt(s + i))
            return i;
    return std::string_view::npos;
}

std::vector<LinkDetector::Link> LinkDetector::findLinks(std::string_view text) {
    std::vector<Link> links;
    size_t from = 0;
    while (true) {
        size_t start = findHTTP(text, from);
        if (start == std::string_view::npos)
            break;
        from = start + 4;
        size_t i = start + 4;
        if (i < text.size() && (text[i] | 0x20) == 's')
            ++i;
        if (text.compare(i, 3, "://") != 0)
            continue;
        if (isLetterOrDigit(previousCodePoint(text, start)))
            continue;
        size_t authority = i + 3;
        size_t end = authority;
        while (end < text.size()) {
            size_t next = end;
            char32_t c = unicode::nextCodePoint(text, next);
            if (endsAddress(c))
                break;
            end = next;
        }
        size_t length = trimmedLength(text.substr(start, end - start));
        if (start + length <= authority)
            continue;
        size_t probe = authority;
        if (!canStartAuthority(unicode::nextCodePoint(text, probe)))
            continue;
        links.push_back({start, length});
        from = start + length;
    }
    return links;
}

}  // namespace dz
