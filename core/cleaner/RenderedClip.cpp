#include "core/cleaner/RenderedClip.h"

#include "core/clipboard/PasteboardTypes.h"

namespace dz {

std::vector<ClipboardSnapshot::Entry> RenderedClip::items() const {
    namespace pt = pasteboardtype;
    std::vector<ClipboardSnapshot::Entry> out{{std::string(pt::string), string}};
    if (html)
        out.push_back({std::string(pt::html), *html});
    if (url)
        out.push_back({std::string(pt::url), *url});
    out.push_back({std::string(pt::markerType), std::string()});
    return out;
}

void RenderedClip::write(Pasteboard& pasteboard) const {
    std::vector<ClipboardSnapshot::Entry> out = items();
    std::vector<std::string> types;
    for (const auto& item : out) types.push_back(item.type);
    pasteboard.clearContents();
    pasteboard.declareTypes(types);
    for (const auto& item : out) pasteboard.setData(item.data, item.type);
}

}  // namespace dz
