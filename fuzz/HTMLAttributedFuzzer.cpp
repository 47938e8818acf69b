// Arbitrary bytes through the HTML-to-attributed-text reader and then the
// rich-text converter.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/html/HTMLAttributedReader.h"
#include "core/richtext/AttributedMarkdownConverter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    std::string_view html(reinterpret_cast<const char*>(data), size);
    auto text = HTMLAttributedReader::read(html);
    if (!text)
        return 0;
    (void)text->linkRuns();
    MarkdownOptions options = MarkdownOptions::defaultValue();
    options.convertTables = size % 2 == 0;
    (void)AttributedMarkdownConverter(options, CleaningOptions::defaultValue()).convert(*text);
    return 0;
}
