// Arbitrary bytes through the single-address and the running-text cleaner,
// with the two switches taken from the first byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/links/LinkDetector.h"
#include "core/links/URLCleaner.h"
#include "core/text/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    if (size == 0)
        return 0;
    bool removeTracking = data[0] & 1, unwrapRedirects = data[0] & 2;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string cleaned = URLCleaner::clean(input, removeTracking, unwrapRedirects, 0);
    std::string text = URLCleaner::cleanURLs(input, removeTracking, unwrapRedirects);
    if (!removeTracking && !unwrapRedirects && (cleaned != input || text != input))
        std::abort();
    // Valid text stays valid: destinations are only taken when they decode to UTF-8.
    bool valid = unicode::isValidUTF8(input);
    if (valid && (!unicode::isValidUTF8(cleaned) || !unicode::isValidUTF8(text)))
        std::abort();

    size_t previousEnd = 0;
    for (const auto& link : LinkDetector::findLinks(input)) {
        if (link.location < previousEnd || link.length == 0 || link.location + link.length > input.size())
            std::abort();
        previousEnd = link.location + link.length;
    }
    return 0;
}
