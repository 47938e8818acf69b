// A Wayland client's offer as arbitrary bytes: the offered MIME types (one
// per line up to a blank line), then the data of each type read in turn
// (separated by NUL), through the offer filter, the type table and back out
// as our own offer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "linux/wayland/OfferedTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t blank = bytes.find("\n\n");
    std::string_view list = bytes.substr(0, blank);
    std::string_view rest = blank == std::string_view::npos ? std::string_view() : bytes.substr(blank + 2);
    std::vector<std::string> types;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t nl = list.find('\n', pos);
        wayland::addOfferedType(types, std::string(list.substr(pos, nl == list.npos ? list.npos : nl - pos)));
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    if (types.size() > wayland::maxOfferedTypes)
        __builtin_trap();
    std::vector<std::string_view> answers;
    pos = 0;
    while (pos <= rest.size()) {
        size_t nul = rest.find('\0', pos);
        answers.push_back(rest.substr(pos, nul == std::string_view::npos ? rest.npos : nul - pos));
        if (nul == std::string_view::npos)
            break;
        pos = nul + 1;
    }
    size_t next = 0;
    auto result = x11::readTargets(types, [&](const std::string&) -> std::optional<std::string> {
        if (next >= answers.size())
            return std::nullopt;  // the copier refused or timed out
        return std::string(answers[next++]);
    });
    for (const auto& item : wayland::offeredItems(result.items, result.origins))
        if (item.target.empty())
            __builtin_trap();
    return 0;
}
