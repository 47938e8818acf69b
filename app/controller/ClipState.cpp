#include "app/controller/ClipState.h"

#include "core/links/URLComponents.h"

namespace dz {

std::string Written::title() const {
    std::string title(outputformat::title(format));
    if (reflow && format != OutputFormat::original)
        title += " · PDF fixed";
    return title;
}

std::string SourceInfo::label() const {
    std::string label = name ? *name : bundleID ? *bundleID : "Unknown app";
    if (pageURL) {
        if (auto url = URLComponents::parse(*pageURL); url && url->hasHost()) {
            std::string host = *url->host;
            if (host.starts_with("www."))
                host.erase(0, 4);
            label += " · " + host;
        }
    }
    return label;
}

ClipState ClipState::pinnedOriginal(ClipboardSnapshot snapshot, SourceInfo source, int64_t changeCount) {
    ClipState state;
    state.snapshot = std::move(snapshot);
    state.source = std::move(source);
    state.base = Written::original();
    state.baseFromDefault = false;
    state.pinned = true;
    state.written = Written::original();
    state.changeCount = changeCount;
    return state;
}

}  // namespace dz
