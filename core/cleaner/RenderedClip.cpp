#include "core/cleaner/RenderedClip.h"

#include "core/clipboard/PasteboardTypes.h"

namespace dz {

void RenderedClip::write(Pasteboard& pasteboard) const {
    namespace pt = pasteboardtype;
    std::vector<std::string> types{std::string(pt::string)};
    if (html)
        types.emplace_back(pt::html);
    if (url)
        types.emplace_back(pt::url);
    types.emplace_back(pt::markerType);
    pasteboard.clearContents();
    pasteboard.declareTypes(types);
    pasteboard.setString(string, std::string(pt::string));
    if (html)
        pasteboard.setString(*html, std::string(pt::html));
    if (url)
        pasteboard.setString(*url, std::string(pt::url));
    pasteboard.setData(std::string(), std::string(pt::markerType));
}

}  // namespace dz
