#pragma once
// Presses the paste and copy keys on the user's behalf, as the application in
// front takes them: Ctrl+V and Ctrl+C; Ctrl+Shift+V and Ctrl+Shift+C in a
// terminal, where plain Ctrl+C would interrupt the running program; and in
// the terminals that have no clipboard keys at all (xterm, urxvt), the
// primary selection's Shift+Insert and no copy key.

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "app/platform/Workspace.h"

namespace dz {

class KeystrokeSender;

class KeyboardSimulator {
  public:
    static constexpr uint32_t keyV = 9;
    static constexpr uint32_t keyC = 8;
    static constexpr uint32_t keyInsert = 114;

    // How an application takes the paste and copy keys.
    enum class KeyStyle {
        ordinary,           // Ctrl+V, Ctrl+C
        terminal,           // Ctrl+Shift+V, Ctrl+Shift+C
        selectionTerminal,  // pastes the primary selection with Shift+Insert; copies by selecting
    };

    explicit KeyboardSimulator(KeystrokeSender& sender) : sender_(sender) {}

    // Terminals by desktop id and by executable, so that ids which differ
    // between distributions ("debian-xterm") still match.
    static const std::unordered_set<std::string_view>& terminals();
    // The terminals without clipboard keys, by desktop id and executable.
    static const std::unordered_set<std::string_view>& selectionTerminals();
    static KeyStyle keyStyle(const std::optional<Workspace::RunningApplication>& app);

    bool canPressKeys() const;
    // Paste or copy into `style`'s kind of application. A selection terminal
    // gets Shift+Insert (the caller puts the text in the primary selection
    // first) and no copy key: `pressCopy` types nothing and gives false.
    void pressPaste(KeyStyle style);
    bool pressCopy(KeyStyle style);
    // Any key with a modifier mask (`KeyCombo` bits).
    void press(uint32_t keyCode, uint32_t modifiers);

  private:
    KeystrokeSender& sender_;
};

}  // namespace dz
