// Arbitrary bytes under each captured type, through capture and every view.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    // The first byte picks which captured types are present; the rest is split among them.
    uint8_t mask = size > 0 ? data[0] : 0xFF;
    std::string rest = size > 0 ? bytes.substr(1) : bytes;
    std::vector<std::pair<std::string, std::string>> items;
    size_t parts = 0;
    for (size_t i = 0; i < ClipboardSnapshot::capturedTypes.size(); ++i)
        if (mask & (1u << (i % 8)))
            ++parts;
    size_t chunk = parts ? rest.size() / parts + 1 : 0, offset = 0;
    for (size_t i = 0; i < ClipboardSnapshot::capturedTypes.size(); ++i) {
        if (!(mask & (1u << (i % 8))))
            continue;
        std::string piece = offset < rest.size() ? rest.substr(offset, chunk) : std::string();
        offset += chunk;
        items.emplace_back(std::string(ClipboardSnapshot::capturedTypes[i]), piece);
    }
    MemoryPasteboard pasteboard(std::move(items));
    for (bool ignore : {false, true}) {
        auto capture = ClipboardSnapshot::capture(pasteboard, ignore);
        if (const ClipboardSnapshot* snap = capture.snapshot()) {
            (void)snap->plainText();
            (void)snap->html();
            (void)snap->url();
            (void)snap->sourcePageURL();
            (void)snap->hasRich();
            MemoryPasteboard out;
            snap->restore(out);
        }
    }
    // Whole input as one entry of every type as well.
    for (auto type : ClipboardSnapshot::capturedTypes) {
        ClipboardSnapshot single(std::vector<ClipboardSnapshot::Entry>{{std::string(type), bytes}});
        (void)single.plainText();
        (void)single.html();
        (void)single.sourcePageURL();
    }
    return 0;
}
