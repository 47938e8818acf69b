#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/menu/RuleChange.h"

namespace dz {

// What choosing a tray menu item does.
enum class MenuCommand {
    none,
    toggleAuto,
    pauseFor,  // `tag` minutes
    resume,
    setFormat,  // `representedValue` is the format's raw value
    cleanNow,
    restoreOriginal,
    convertToMarkdown,
    fixPDF,
    openSettings,
    setRule,  // `ruleChange`
    quit,
};

// One entry of the tray menu, as plain data: the tray draws it, the scenario
// runner prints it, and choosing it hands it back to the status item.
struct MenuItem {
    // How an item shows its check mark: not at all, as an on/off switch, or
    // as one choice among its neighbours with the same kind (only one of a
    // run of `choice` items is ever checked).
    enum class Check { none, toggle, choice };

    std::string title;  // without the shortcut
    Check check = Check::none;
    bool checked = false;
    bool enabled = true;
    std::optional<std::string> shortcut;  // "Ctrl+Alt+V"
    std::optional<std::string> toolTip;
    std::vector<MenuItem> children;  // a submenu when not empty
    bool separator = false;
    bool header = false;  // a section title, not choosable
    int indentation = 0;
    std::optional<std::string> keyEquivalent;  // "," or "q"
    MenuCommand command = MenuCommand::none;
    int tag = 0;
    std::optional<std::string> representedValue;
    std::optional<RuleChange> ruleChange;

    static MenuItem makeSeparator();
    static MenuItem makeHeader(std::string title);

    // The title as shown: with the shortcut after four spaces.
    std::string displayTitle() const;

    bool operator==(const MenuItem&) const = default;
};

using Menu = std::vector<MenuItem>;

namespace menu {

// {"title", "checked", "enabled", "shortcut", "toolTip", "items" (submenus
// only)}; a separator is {"separator": true}, a header {"header": TITLE}.
nlohmann::ordered_json toJSON(const Menu& menu);

// The item reached by a path of bare titles, descending into submenus;
// separators and headers are never reached.
const MenuItem* find(const Menu& menu, std::span<const std::string> path);

}  // namespace menu
}  // namespace dz
