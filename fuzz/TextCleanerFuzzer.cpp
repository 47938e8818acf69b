// The whole text-cleaning chain under every switch combination; the first
// byte picks the switches, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text/TextCleaner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    if (size == 0)
        return 0;
    uint8_t bits = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    CleaningOptions o;
    o.removeInvisibleCharacters = bits & 0x01;
    o.normalizeSpaces = bits & 0x02;
    o.removeFootnoteReferences = bits & 0x04;
    o.removeMailtoPrefix = bits & 0x08;
    o.normalizeQuotes = bits & 0x10;
    o.normalizeNewlines = bits & 0x20;
    o.normalizeLists = bits & 0x40;
    o.trimWhitespace = bits & 0x80;
    // The remaining switches vary with other bit pairs.
    o.removeTrackingParameters = ((bits >> 1) ^ (bits >> 4)) & 1;
    o.unwrapRedirectLinks = ((bits >> 2) ^ (bits >> 6)) & 1;
    o.listBullet = listbullet::allCases[bits % 3];
    bool rich = ((bits >> 3) ^ (bits >> 7)) & 1;
    (void)TextCleaner(o).clean(text, rich);
    (void)TextCleaner::normalizeLists(text, "-");
    (void)TextCleaner::removeFootnotes(text);
    return 0;
}
