#pragma once
// A keyboard map to type with (libxkbcommon), and where the program's stored
// key codes and modifier masks are in it: the evdev key code and the
// depressed-modifiers mask a virtual keyboard sends.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct xkb_context;
struct xkb_keymap;

namespace dz::wayland {

class KeymapKeys {
  public:
    // Empty fields take libxkbcommon's defaults: the XKB_DEFAULT_* variables,
    // else the US layout.
    struct Names {
        std::string rules, model, layout, variant, options;
    };
    struct Stroke {
        uint32_t key = 0;        // evdev code (XKB key code - 8)
        uint32_t depressed = 0;  // modifier mask in this keymap
        bool operator==(const Stroke&) const = default;
    };

    // The keymap `names` give, or the US one where that types no Latin
    // letters (Cyrillic, Greek, ...), since the program's keys are named by
    // their Latin letters. Nothing, with the reason, when neither compiles.
    static std::unique_ptr<KeymapKeys> forTyping(const Names& names, std::string* error = nullptr);
    ~KeymapKeys();
    KeymapKeys(const KeymapKeys&) = delete;
    KeymapKeys& operator=(const KeymapKeys&) = delete;

    // The key and modifiers for a stored key code (`KeyCombo` codes) with a
    // `KeyCombo` modifier mask; nothing for a key this keymap lacks. A
    // character the keymap has only on a shifted level brings that level's
    // modifiers along.
    std::optional<Stroke> stroke(uint32_t keyCode, uint32_t modifiers) const;
    // The keymap as text, for the compositor.
    const std::string& text() const { return text_; }
    // The first layout's name.
    std::string layoutName() const;

  private:
    KeymapKeys(xkb_context* context, xkb_keymap* keymap);
    static std::unique_ptr<KeymapKeys> compile(const Names& names);

    xkb_context* context_;
    xkb_keymap* keymap_;
    std::string text_;
};

}  // namespace dz::wayland
