// An X clipboard owner's answers as arbitrary bytes: the target list (one
// name per line up to a blank line), then the data of each target in turn
// (separated by NUL), through the target table, the decoders and back out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "linux/clipboard/MimeTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    using namespace dz::x11;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t blank = bytes.find("\n\n");
    std::string_view list = bytes.substr(0, blank);
    std::string_view rest = blank == std::string_view::npos ? std::string_view() : bytes.substr(blank + 2);
    std::vector<std::string> targets;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t nl = list.find('\n', pos);
        targets.emplace_back(list.substr(pos, nl == std::string_view::npos ? list.npos : nl - pos));
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    std::vector<std::string> answers;
    pos = 0;
    while (pos <= rest.size()) {
        size_t nul = rest.find('\0', pos);
        answers.emplace_back(rest.substr(pos, nul == std::string_view::npos ? rest.npos : nul - pos));
        if (nul == std::string_view::npos)
            break;
        pos = nul + 1;
    }
    size_t next = 0;
    auto result = readTargets(targets, [&](const std::string&) -> std::optional<std::string> {
        if (next >= answers.size())
            return std::nullopt;  // a refusal
        return answers[next++];
    });
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& item : result.items) items.emplace_back(item.type, item.data);
    MemoryPasteboard board(std::move(items));
    auto capture = ClipboardSnapshot::capture(board, false);
    if (auto* snap = capture.snapshot()) {
        (void)snap->plainText();
        (void)snap->sourcePageURL();
    }
    (void)toTargets(result.items, result.origins);
    // Every decoder on the raw bytes too.
    (void)decodeMozURL(bytes);
    (void)decodeUTF16Address(bytes);
    (void)parseURIList(bytes);
    (void)toLatin1(bytes);
    return 0;
}
