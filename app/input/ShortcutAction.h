#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// The actions a global shortcut can run, in registration order. The raw value
// is the key under which the action's shortcut is stored.
enum class ShortcutAction {
    pasteOriginal,
    pasteMarkdown,
    pastePDFFixed,
    cleanAndPaste,
    cleanClipboard,
    copyAndClean,
    toggleAutoClean,
    pauseFiveMinutes,
    cycleFormat,
    // Keeps the formatting of the next copy, pressing the copy key for it.
    copyOriginal,
};

namespace shortcutaction {

inline constexpr std::array<ShortcutAction, 10> allCases{
    ShortcutAction::pasteOriginal,   ShortcutAction::pasteMarkdown,    ShortcutAction::pastePDFFixed,
    ShortcutAction::cleanAndPaste,   ShortcutAction::cleanClipboard,   ShortcutAction::copyAndClean,
    ShortcutAction::toggleAutoClean, ShortcutAction::pauseFiveMinutes, ShortcutAction::cycleFormat,
    ShortcutAction::copyOriginal};

std::string_view rawValue(ShortcutAction action);
std::string_view title(ShortcutAction action);
// Nothing for the actions that need no explanation.
std::optional<std::string_view> subtitle(ShortcutAction action);
std::optional<ShortcutAction> fromRaw(std::string_view raw);

}  // namespace shortcutaction
}  // namespace dz
