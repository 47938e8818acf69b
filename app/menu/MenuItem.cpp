#include "app/menu/MenuItem.h"

namespace dz {

MenuItem MenuItem::makeSeparator() {
    MenuItem item;
    item.separator = true;
    return item;
}

MenuItem MenuItem::makeHeader(std::string title) {
    MenuItem item;
    item.title = std::move(title);
    item.header = true;
    item.enabled = false;
    return item;
}

std::string MenuItem::displayTitle() const {
    return shortcut ? title + "    " + *shortcut : title;
}

namespace menu {

nlohmann::ordered_json toJSON(const Menu& items) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const MenuItem& item : items) {
        nlohmann::ordered_json j;
        if (item.separator) {
            j["separator"] = true;
        } else if (item.header) {
            j["header"] = item.title;
        } else {
            j["title"] = item.title;
            j["checked"] = item.checked;
            j["enabled"] = item.enabled;
            j["shortcut"] = item.shortcut ? nlohmann::ordered_json(*item.shortcut) : nullptr;
            j["toolTip"] = item.toolTip ? nlohmann::ordered_json(*item.toolTip) : nullptr;
            if (!item.children.empty())
                j["items"] = toJSON(item.children);
        }
        out.push_back(std::move(j));
    }
    return out;
}

const MenuItem* find(const Menu& items, std::span<const std::string> path) {
    const Menu* level = &items;
    const MenuItem* found = nullptr;
    for (const std::string& title : path) {
        found = nullptr;
        for (const MenuItem& item : *level)
            if (!item.separator && !item.header && item.title == title) {
                found = &item;
                break;
            }
        if (!found)
            return nullptr;
        level = &found->children;
    }
    return found;
}

}  // namespace menu
}  // namespace dz
