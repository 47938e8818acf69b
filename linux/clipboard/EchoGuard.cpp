#include "linux/clipboard/EchoGuard.h"

#include <algorithm>

#include "core/clipboard/PasteboardTypes.h"

namespace dz {

void EchoGuard::published(const Items& items) {
    text_.reset();
    for (const auto& item : items)
        if (item.type == pasteboardtype::string)
            text_ = item.data;
}

bool EchoGuard::isEcho(const Items& foreign) {
    bool textOnly = !foreign.empty() && std::all_of(foreign.begin(), foreign.end(), [](const auto& item) {
        return item.type == pasteboardtype::string;
    });
    if (text_ && textOnly && foreign.front().data == *text_)
        return true;
    text_.reset();
    return false;
}

}  // namespace dz
