// The PDF reflower over valid UTF-8; the first byte picks the switches and
// whether a (made-up) dictionary answers the word test.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/pdf/PDFReflower.h"
#include "core/text/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    if (size == 0)
        return 0;
    uint8_t bits = data[0];
    std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    // Arbitrary bytes become valid text rather than being thrown away.
    std::string text = unicode::isValidUTF8(bytes) ? std::string(bytes) : unicode::decodeLatin1(bytes);
    PDFOptions options;
    options.fixLigatures = bits & 0x01;
    options.dehyphenate = bits & 0x02;
    options.removePageNumbers = bits & 0x04;
    PDFReflower::WordPredicate isWord;
    if (bits & 0x08)
        isWord = [](std::string_view s) { return s.size() % 3 != 0; };
    PDFReflower reflower(options, isWord);
    std::string out = reflower.reflow(text);
    if (!unicode::isValidUTF8(out))
        __builtin_trap();
    return 0;
}
