#pragma once
// Text helpers shared by the whole engine: validation, decoding, trimming,
// case mapping and character counting. Text is UTF-8 std::string throughout;
// ICU's UnicodeString appears only where ICU itself is called.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <unicode/unistr.h>

namespace dz::unicode {

bool isValidUTF8(std::string_view bytes);

// Strict decoders: nothing on any invalid sequence.
std::optional<std::string> decodeUTF8(std::string_view bytes);
// Honours a byte-order mark; without one the bytes are little-endian. An odd
// byte count or an unpaired surrogate fails.
std::optional<std::string> decodeUTF16(std::string_view bytes);
// Never fails.
std::string decodeLatin1(std::string_view bytes);

icu::UnicodeString toICU(std::string_view utf8);
std::string fromICU(const icu::UnicodeString& text);

// Reads the code point at `i` and advances `i`; invalid bytes read as U+FFFD.
char32_t nextCodePoint(std::string_view text, size_t& i);
void appendCodePoint(std::string& out, char32_t c);

// The White_Space set; `isWhiteSpace` excludes the line-break characters.
bool isWhiteSpaceOrNewline(char32_t c);
bool isWhiteSpace(char32_t c);

std::string_view trimWhitespaceAndNewlines(std::string_view text);
std::string_view trimWhitespace(std::string_view text);
bool isBlank(std::string_view text);  // only white space and line breaks

// The value of an ASCII hexadecimal digit, or -1.
constexpr int hexDigitValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Full case mapping in the root locale.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// The text written in Unicode superscript (subscript) characters, when every
// character has such a form: digits, "+", "-" or U+2212, "=", "(" and ")",
// and for superscripts "n" and "i". Nothing otherwise, or for empty text.
std::optional<std::string> superscriptForm(std::string_view text);
std::optional<std::string> subscriptForm(std::string_view text);

// User-perceived characters (extended grapheme clusters).
size_t characterCount(std::string_view text);

}  // namespace dz::unicode
