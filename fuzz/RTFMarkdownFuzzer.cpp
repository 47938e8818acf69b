// Arbitrary bytes through the RTF reader and then the rich-text converter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/richtext/AttributedMarkdownConverter.h"
#include "core/richtext/RTFReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Inputs that lack the header are read as the body of a document as well,
    // so that mutations reach the parser.
    for (std::string_view prefix : {"", "{\\rtf1 "}) {
        std::string input = std::string(prefix) + std::string(bytes);
        auto text = RTFReader::read(input);
        if (!text)
            continue;
        (void)text->linkRuns();
        AttributedMarkdownConverter plain(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
        (void)plain.convert(*text);
        MarkdownOptions other = MarkdownOptions::defaultValue();
        other.convertTables = size % 2 == 0;
        other.emphasis = MarkdownEmphasis::underscores;
        (void)AttributedMarkdownConverter(other, CleaningOptions::defaultValue()).convert(*text);
    }
    return 0;
}
