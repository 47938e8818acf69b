#include "core/links/LinkDetector.h"

#include <cstring>

#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include "core/text/Unicode.h"

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

// A letter or digit that glues onto a following scheme ("xhttp://"). Chinese
// and Japanese are written without spaces, so their characters do not.
bool gluesToScheme(char32_t c) {
    if (c < 0x80 || !isLetterOrDigit(c))
        return isLetterOrDigit(c);
    UErrorCode status = U_ZERO_ERROR;
    UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &status);
    return !(script == USCRIPT_HAN || script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA);
}

// Characters that end an address outright.
bool endsAddress(char32_t c) {
    if (c < 0x80)
        return c <= 0x20 || c == 0x7F || c == '<' || c == '>';
    if (unicode::isWhiteSpaceOrNewline(c))
        return true;
    // Bidirectional marks and invisible separators wrap addresses in
    // right-to-left text; they never belong to one. Joiners (U+200C, U+200D)
    // do, inside words of some scripts.
    if (c == 0x200B || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || c == 0x2060 ||
        (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF)
        return true;
    // Hyphens and the en dash join words ("Hatfield–McCoy"); other dashes end.
    if (c == 0x2010 || c == 0x2011 || c == 0x2013)
        return false;
    auto type = u_charType(static_cast<UChar32>(c));
    switch (type) {
        case U_CONTROL_CHAR:
        case U_END_PUNCTUATION:
        case U_START_PUNCTUATION:
        case U_FINAL_PUNCTUATION:
        case U_INITIAL_PUNCTUATION:
        case U_DASH_PUNCTUATION:
        case U_OTHER_PUNCTUATION:
            return true;
        default:
            break;
    }
    // CJK and full-width punctuation and symbols ("｜", "〜", "＋") separate
    // words in text that has no spaces.
    bool cjkPunctuation = (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF65);
    return cjkPunctuation && !u_isalnum(static_cast<UChar32>(c)) && type != U_LETTER_NUMBER &&
           type != U_MODIFIER_LETTER && type != U_OTHER_LETTER;
}

// The first character of the authority must be able to start a host name or
// user name: not "." "-" "/" "?" "#" and the like.
bool canStartAuthority(char32_t c) {
    return c == '[' || isLetterOrDigit(c) || (c >= 0x80 && !endsAddress(c));
}

char openerOf(char closer) {
    return closer == ')' ? '(' : closer == ']' ? '[' : '{';
}

size_t countOf(std::string_view s, char c) {
    size_t n = 0;
    for (char ch : s) n += ch == c;
    return n;
}

// Where the raw address starting at `start` ends: at a character that ends
// addresses, at a closing bracket that matches nothing opened inside the
// address, or at a quote inside the host (a possessive "'s").
size_t scanEnd(std::string_view text, size_t authority) {
    int depth[3] = {0, 0, 0};  // () [] {}
    bool inAuthority = true;
    size_t end = authority;
    while (end < text.size()) {
        size_t next = end;
        char32_t c = unicode::nextCodePoint(text, next);
        if (endsAddress(c))
            break;
        switch (c) {
            case '(':
                ++depth[0];
                break;
            case '[':
                ++depth[1];
                break;
            case '{':
                ++depth[2];
                break;
            case ')':
            case ']':
            case '}': {
                int& d = depth[c == ')' ? 0 : c == ']' ? 1 : 2];
                if (d == 0)
                    return end;
                --d;
                break;
            }
            case '/':
            case '?':
            case '#':
                inAuthority = false;
                break;
            case '\'':
                if (inAuthority)
                    return end;
                break;
            default:
                break;
        }
        end = next;
    }
    return end;
}

// Drops trailing punctuation that belongs to the sentence rather than the
// address. `emphasis` is the run of "*", "_" or "~" written right before the
// address (Markdown emphasis around it), `marker` its character.
size_t trimmedLength(std::string_view link, char marker, size_t emphasis) {
    size_t end = link.size();
    while (end > 0) {
        std::string_view current = link.substr(0, end);
        char last = current.back();
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
            case '}':
                if (countOf(current, last) > countOf(current, openerOf(last))) {
                    --end;
                    continue;
                }
                return end;
            default:
                break;
        }
        if (emphasis > 0 && last == marker) {
            size_t run = 0;
            while (run < emphasis && run < end && current[end - 1 - run] == marker) ++run;
            end -= run;
            emphasis = 0;
            continue;
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
        if (gluesToScheme(previousCodePoint(text, start)))
            continue;
        size_t authority = i + 3;
        // Checked before scanning so that a run of bad candidates stays linear.
        size_t probe = authority;
        if (authority >= text.size() || !canStartAuthority(unicode::nextCodePoint(text, probe)))
            continue;
        size_t end = scanEnd(text, authority);
        char marker = start > 0 ? text[start - 1] : '\0';
        size_t emphasis = 0;
        if (marker == '*' || marker == '_' || marker == '~')
            while (emphasis < 3 && emphasis < start && text[start - 1 - emphasis] == marker) ++emphasis;
        size_t length = trimmedLength(text.substr(start, end - start), marker, emphasis);
        if (start + length <= authority)
            continue;
        links.push_back({start, length});
        from = start + length;
    }
    return links;
}

}  // namespace dz
