#pragma once
// Decodes the 8-bit text of legacy documents (RTF's \'hh bytes) from a
// Windows or Mac code page to UTF-8 through ICU.

#include <array>
#include <memory>
#include <string>
#include <string_view>

struct UConverter;

namespace dz {

class CodePageDecoder {
  public:
    // Pseudo code page of fonts with the symbol character set.
    static constexpr int symbolCodePage = 42;

    // An unknown or unavailable code page decodes as Windows-1252.
    explicit CodePageDecoder(int codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    int codePage() const { return codePage_; }
    bool isMultiByte() const { return converter_ != nullptr; }
    // In a multi-byte code page: whether `byte` starts a two-byte character.
    bool isLeadByte(unsigned char byte) const { return lead_[byte]; }
    // Single-byte code pages: the character of one byte.
    char32_t decodeByte(unsigned char byte) const { return table_[byte]; }

    // Appends the UTF-8 of `bytes`; undecodable bytes become U+FFFD.
    void decode(std::string_view bytes, std::string& out);

    // The code page a font character set (\fcharset) implies, or 0 when the
    // set has none (ANSI and default: the document's code page applies).
    static int codePageForCharset(int charset);

  private:
    int codePage_;
    std::array<char32_t, 256> table_{};
    std::array<bool, 256> lead_{};
    UConverter* converter_ = nullptr;  // only for multi-byte pages
};

}  // namespace dz
