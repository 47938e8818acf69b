#include "linux/wayland/OfferedTypes.h"

#include <algorithm>

namespace dz::wayland {

void addOfferedType(std::vector<std::string>& types, std::string type) {
    if (types.size() >= maxOfferedTypes || type.empty() || type.size() > maxTypeLength)
        return;
    if (std::any_of(type.begin(), type.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; }))
        return;
    if (std::find(types.begin(), types.end(), type) != types.end())
        return;
    types.push_back(std::move(type));
}

std::vector<x11::MimeItem> offeredItems(const std::vector<ClipboardSnapshot::Entry>& items,
                                        const std::vector<x11::ReadOrigin>& origins) {
    auto out = x11::toTargets(items, origins);
    std::erase_if(out, [](const x11::MimeItem& item) {
        return item.target == x11::mime::utf8String || item.target == x11::mime::string ||
               item.target == x11::mime::text;
    });
    return out;
}

}  // namespace dz::wayland
