#pragma once
// Presses the paste and copy keys on the user's behalf: Ctrl+V and Ctrl+C,
// or Ctrl+Shift+V and Ctrl+Shift+C in a terminal, where plain Ctrl+C would
// interrupt the running program.

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace dz {

class KeystrokeSender;

class KeyboardSimulator {
  public:
    static constexpr uint32_t keyV = 9;
    static constexpr uint32_t keyC = 8;

    explicit KeyboardSimulator(KeystrokeSender& sender) : sender_(sender) {}

    // The terminals known to take Ctrl+Shift+V and Ctrl+Shift+C.
    static const std::unordered_set<std::string_view>& terminals();

    bool canPressKeys() const;
    // Paste or copy into the application `frontmost` (nothing: not a terminal).
    void pressPaste(std::optional<std::string_view> frontmost);
    void pressCopy(std::optional<std::string_view> frontmost);
    // Any key with a modifier mask (`KeyCombo` bits).
    void press(uint32_t keyCode, uint32_t modifiers);

  private:
    void pressShortcut(uint32_t keyCode, std::optional<std::string_view> frontmost);
    KeystrokeSender& sender_;
};

}  // namespace dz
