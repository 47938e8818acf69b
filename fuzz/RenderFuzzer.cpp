// `render` in every format, with snapshot entries taken from the input bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cleaner/PasteboardCleaner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    if (size < 1)
        return 0;
    uint8_t flags = data[0];
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Entries are separated by NUL bytes: plain, HTML, RTF, link; the first
    // byte's low bits say which of them are present.
    std::optional<std::string> parts[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = i == 3 ? rest.size() : rest.find('\0', start);
        if (end == std::string::npos)
            end = rest.size();
        if (flags & (1u << i))
            parts[i] = rest.substr(std::min(start, rest.size()), end - std::min(start, end));
        start = end + 1;
    }
    ClipboardSnapshot snapshot(parts[0], parts[1], parts[2], parts[3]);
    for (OutputFormat format : outputformat::allCases) {
        PasteboardCleaner cleaner({}, false, format);
        cleaner.reflowPDF = (flags & 0x10) != 0;
        cleaner.options.trimWhitespace = (flags & 0x20) == 0;
        cleaner.options.removeFootnoteReferences = (flags & 0x40) == 0;
        if (flags & 0x80)
            cleaner.isWord = [](std::string_view w) { return w.size() % 2 == 0; };
        if (auto clip = cleaner.render(snapshot)) {
            (void)PasteboardCleaner::isUnchanged(*clip, snapshot);
        }
    }
    return 0;
}
