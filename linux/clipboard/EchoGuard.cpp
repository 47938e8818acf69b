#include "linux/clipboard/EchoGuard.h"

#include <algorithm>

#include "core/clipboard/PasteboardTypes.h"

namespace dz {

namespace {

std::optional<std::string> textOf(const EchoGuard::Items& items) {
    for (const auto& item : items)
        if (item.type == pasteboardtype::string)
            return item.data;
    return std::nullopt;
}

}  // namespace

void EchoGuard::published(const Items& items, const Items& replaced) {
    text_ = textOf(items);
    // A publish over our own earlier one keeps what that one replaced.
    if (auto earlier = textOf(replaced))
        replacedText_ = std::move(earlier);
}

bool EchoGuard::isEcho(const Items& foreign) {
    bool textOnly = !foreign.empty() && std::all_of(foreign.begin(), foreign.end(), [](const auto& item) {
        return item.type == pasteboardtype::string;
    });
    if (text_ && textOnly && (foreign.front().data == *text_ || foreign.front().data == replacedText_))
        return true;
    text_.reset();
    replacedText_.reset();
    return false;
}

}  // namespace dz
