#include "core/richtext/CodePageDecoder.h"

#include <string>

#include <unicode/ucnv.h>

#include "core/text/Unicode.h"

namespace dz {

namespace {

std::string converterName(int codePage) {
    switch (codePage) {
        case 10000:
            return "macintosh";
        case 10007:
            return "x-mac-cyrillic";
        case 437:
        case 850:
        case 852:
        case 855:
        case 857:
        case 860:
        case 861:
        case 862:
        case 863:
        case 864:
        case 865:
        case 866:
        case 869:
            return "ibm-" + std::to_string(codePage);
        default:
            return "windows-" + std::to_string(codePage);
    }
}

bool isDoubleByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

}  // namespace

CodePageDecoder::CodePageDecoder(int codePage) : codePage_(codePage) {
    for (int b = 0; b < 256; ++b) table_[b] = static_cast<char32_t>(b);
    if (codePage == symbolCodePage) {
        // Symbol fonts mostly show up as list bullets.
        table_[0xB7] = U'\u2022';
        table_[0xA7] = U'\u25AA';
        return;
    }
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName(codePage).c_str(), &status);
    if (U_FAILURE(status) || !converter) {
        codePage_ = 1252;
        status = U_ZERO_ERROR;
        converter = ucnv_open("windows-1252", &status);
        if (U_FAILURE(status) || !converter)
            return;  // Latin-1 table
    }
    if (isDoubleByte(codePage_) && ucnv_getMaxCharSize(converter) > 1) {
        converter_ = converter;
        for (int b = 0; b < 256; ++b) {
            bool lead = codePage_ == 932 ? ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))
                                         : (b >= 0x81 && b <= 0xFE);
            lead_[b] = lead;
        }
        return;
    }
    for (int b = 0x80; b < 256; ++b) {
        char in = static_cast<char>(b);
        UChar out[4];
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
        char32_t c = U'\uFFFD';
        if (U_SUCCESS(status) && n == 1 && out[0] != 0x1A && out[0] != 0xFFFD)
            c = out[0];
        table_[b] = c;
    }
    ucnv_close(converter);
}

CodePageDecoder::~CodePageDecoder() {
    if (converter_)
        ucnv_close(converter_);
}

void CodePageDecoder::decode(std::string_view bytes, std::string& out) {
    if (!converter_) {
        for (unsigned char b : bytes) unicode::appendCodePoint(out, table_[b]);
        return;
    }
    ucnv_reset(converter_);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text(bytes.data(), static_cast<int32_t>(bytes.size()), converter_, status);
    if (U_FAILURE(status)) {
        for (size_t i = 0; i < bytes.size(); ++i) unicode::appendCodePoint(out, U'\uFFFD');
        return;
    }
    out += unicode::fromICU(text);
}

int CodePageDecoder::codePageForCharset(int charset) {
    switch (charset) {
        case 2:
            return symbolCodePage;
        case 77:
            return 10000;
        case 128:
            return 932;
        case 129:
            return 949;
        case 134:
            return 936;
        case 136:
            return 950;
        case 161:
            return 1253;
        case 162:
            return 1254;
        case 163:
            return 1258;
        case 177:
            return 1255;
        case 178:
            return 1256;
        case 186:
            return 1257;
        case 204:
            return 1251;
        case 222:
            return 874;
        case 238:
            return 1250;
        case 254:
            return 437;
        case 255:
            return 850;
        default:
            return 0;
    }
}

}  // namespace dz
