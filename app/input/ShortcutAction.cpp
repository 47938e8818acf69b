#include "app/input/ShortcutAction.h"

namespace dz::shortcutaction {

std::string_view rawValue(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
            return "pasteOriginal";
        case ShortcutAction::pasteMarkdown:
            return "pasteMarkdown";
        case ShortcutAction::pastePDFFixed:
            return "pastePDFFixed";
        case ShortcutAction::cleanAndPaste:
            return "cleanAndPaste";
        case ShortcutAction::cleanClipboard:
            return "cleanClipboard";
        case ShortcutAction::copyAndClean:
            return "copyAndClean";
        case ShortcutAction::toggleAutoClean:
            return "toggleAutoClean";
        case ShortcutAction::pauseFiveMinutes:
            return "pauseFiveMinutes";
        case ShortcutAction::cycleFormat:
            return "cycleFormat";
        case ShortcutAction::copyOriginal:
            return "copyOriginal";
    }
    return "pasteOriginal";
}

std::string_view title(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
            return "Paste with original formatting";
        case ShortcutAction::pasteMarkdown:
            return "Paste as Markdown";
        case ShortcutAction::pastePDFFixed:
            return "Paste with PDF line breaks fixed";
        case ShortcutAction::cleanAndPaste:
            return "Clean and paste";
        case ShortcutAction::cleanClipboard:
            return "Clean clipboard (without pasting)";
        case ShortcutAction::copyAndClean:
            return "Copy and clean";
        case ShortcutAction::toggleAutoClean:
            return "Toggle automatic cleaning";
        case ShortcutAction::pauseFiveMinutes:
            return "Pause for 5 minutes";
        case ShortcutAction::cycleFormat:
            return "Cycle default format (Plain \u2192 Links \u2192 Markdown)";
        case ShortcutAction::copyOriginal:
            return "Copy Keeping Formatting";
    }
    return "";
}

std::optional<std::string_view> subtitle(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
            return "Pastes your last copy exactly as copied, then switches back to clean.";
        case ShortcutAction::pasteMarkdown:
            return "Any app, no rule needed.";
        case ShortcutAction::pastePDFFixed:
            return "For PDFs in apps Dozuzavuvu doesn\u2019t recognize.";
        case ShortcutAction::cleanAndPaste:
            return "A dedicated plain-text paste. Works alongside clipboard managers.";
        default:
            return std::nullopt;
    }
}

std::optional<ShortcutAction> fromRaw(std::string_view raw) {
    for (ShortcutAction action : allCases)
        if (rawValue(action) == raw)
            return action;
    return std::nullopt;
}

}  // namespace dz::shortcutaction
