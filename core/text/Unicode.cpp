#include "core/text/Unicode.h"

#include <cstring>
#include <memory>
#include <mutex>

#include <unicode/brkiter.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace dz::unicode {

bool isValidUTF8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
    int32_t length = static_cast<int32_t>(bytes.size());
    if (bytes.size() > static_cast<size_t>(INT32_MAX))
        return false;
    int32_t i = 0;
    while (i < length) {
        // Eight ASCII bytes at a time: markup is mostly ASCII.
        if (length - i >= 8) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            if (!(word & 0x8080808080808080ull)) {
                i += 8;
                continue;
            }
        }
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::optional<std::string> decodeUTF8(std::string_view bytes) {
    if (!isValidUTF8(bytes))
        return std::nullopt;
    return std::string(bytes);
}

std::optional<std::string> decodeUTF16(std::string_view bytes) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    bool bigEndian = false;
    size_t start = 0;
    if (bytes.size() >= 2) {
        auto b0 = static_cast<uint8_t>(bytes[0]), b1 = static_cast<uint8_t>(bytes[1]);
        if (b0 == 0xFE && b1 == 0xFF) {
            bigEndian = true;
            start = 2;
        } else if (b0 == 0xFF && b1 == 0xFE) {
            start = 2;
        }
    }
    std::string out;
    out.reserve(bytes.size());
    auto unitAt = [&](size_t i) -> char16_t {
        auto a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
        return bigEndian ? static_cast<char16_t>((a << 8) | b) : static_cast<char16_t>((b << 8) | a);
    };
    for (size_t i = start; i < bytes.size(); i += 2) {
        char16_t u = unitAt(i);
        char32_t c = u;
        if (U16_IS_LEAD(u)) {
            if (i + 2 >= bytes.size())
                return std::nullopt;
            char16_t t = unitAt(i + 2);
            if (!U16_IS_TRAIL(t))
                return std::nullopt;
            c = U16_GET_SUPPLEMENTARY(u, t);
            i += 2;
        } else if (U16_IS_TRAIL(u)) {
            return std::nullopt;
        }
        appendCodePoint(out, c);
    }
    return out;
}

std::string decodeLatin1(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) appendCodePoint(out, static_cast<uint8_t>(ch));
    return out;
}

icu::UnicodeString toICU(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

std::string fromICU(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

char32_t nextCodePoint(std::string_view text, size_t& i) {
    auto c0 = static_cast<uint8_t>(text[i]);
    if (c0 < 0x80) {
        ++i;
        return c0;
    }
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    // U8_NEXT works on int32 offsets; clamp the window for very long strings.
    size_t window = std::min<size_t>(text.size() - i, 4);
    int32_t j = 0;
    UChar32 c;
    U8_NEXT(s + i, j, static_cast<int32_t>(window), c);
    i += static_cast<size_t>(j);
    return c < 0 ? U'\uFFFD' : static_cast<char32_t>(c);
}

void appendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool isWhiteSpaceOrNewline(char32_t c) {
    switch (c) {
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x20:
        case 0x85:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

bool isWhiteSpace(char32_t c) {
    if ((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029)
        return false;
    return isWhiteSpaceOrNewline(c);
}

namespace {

template <typename Pred>
std::string_view trimWith(std::string_view text, Pred pred) {
    size_t start = 0;
    while (start < text.size()) {
        size_t next = start;
        if (!pred(nextCodePoint(text, next)))
            break;
        start = next;
    }
    size_t end = text.size();
    while (end > start) {
        // Step back to the start of the previous code point.
        size_t begin = end - 1;
        while (begin > start && (static_cast<uint8_t>(text[begin]) & 0xC0) == 0x80) --begin;
        size_t probe = begin;
        if (!pred(nextCodePoint(text, probe)))
            break;
        end = begin;
    }
    return text.substr(start, end - start);
}

}  // namespace

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
    return trimWith(text, isWhiteSpaceOrNewline);
}

std::string_view trimWhitespace(std::string_view text) {
    return trimWith(text, isWhiteSpace);
}

bool isBlank(std::string_view text) {
    return trimWhitespaceAndNewlines(text).empty();
}

namespace {

bool isASCII(std::string_view text) {
    for (char ch : text)
        if (static_cast<uint8_t>(ch) >= 0x80)
            return false;
    return true;
}

}  // namespace

std::string lowercased(std::string_view text) {
    if (isASCII(text)) {
        std::string out(text);
        for (char& ch : out)
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch + 32);
        return out;
    }
    auto u = toICU(text);
    u.toLower(icu::Locale::getRoot());
    return fromICU(u);
}

std::string uppercased(std::string_view text) {
    if (isASCII(text)) {
        std::string out(text);
        for (char& ch : out)
            if (ch >= 'a' && ch <= 'z')
                ch = static_cast<char>(ch - 32);
        return out;
    }
    auto u = toICU(text);
    u.toUpper(icu::Locale::getRoot());
    return fromICU(u);
}

size_t characterCount(std::string_view text) {
    if (isASCII(text)) {
        // In ASCII only CR LF forms a cluster of two.
        size_t count = text.size();
        for (size_t i = 0; i + 1 < text.size(); ++i)
            if (text[i] == '\r' && text[i + 1] == '\n')
                --count;
        return count;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status))
        return text.size();
    auto u = toICU(text);
    it->setText(u);
    size_t count = 0;
    for (int32_t p = it->next(); p != icu::BreakIterator::DONE; p = it->next()) ++count;
    return count;
}

namespace {

std::optional<std::string> scriptForm(std::string_view text, bool super) {
    static const char* const superDigits[] = {"\u2070", "\u00B9", "\u00B2", "\u00B3", "\u2074",
                                              "\u2075", "\u2076", "\u2077", "\u2078", "\u2079"};
    static const char* const subDigits[] = {"\u2080", "\u2081", "\u2082", "\u2083", "\u2084",
                                            "\u2085", "\u2086", "\u2087", "\u2088", "\u2089"};
    if (text.empty())
        return std::nullopt;
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        char32_t c = nextCodePoint(text, i);
        if (c >= '0' && c <= '9') {
            out += (super ? superDigits : subDigits)[c - '0'];
            continue;
        }
        switch (c) {
            case '+':
                out += super ? "\u207A" : "\u208A";
                break;
            case '-':
            case 0x2212:
                out += super ? "\u207B" : "\u208B";
                break;
            case '=':
                out += super ? "\u207C" : "\u208C";
                break;
            case '(':
                out += super ? "\u207D" : "\u208D";
                break;
            case ')':
                out += super ? "\u207E" : "\u208E";
                break;
            case 'n':
                if (!super)
                    return std::nullopt;
                out += "\u207F";
                break;
            case 'i':
                if (!super)
                    return std::nullopt;
                out += "\u2071";
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> superscriptForm(std::string_view text) {
    return scriptForm(text, true);
}

std::optional<std::string> subscriptForm(std::string_view text) {
    return scriptForm(text, false);
}

}  // namespace dz::unicode
