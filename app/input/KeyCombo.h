#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "app/input/KeyEvent.h"

namespace dz {

// One global shortcut: a virtual key code, a modifier mask and its display
// text (modifier symbols, then the key name).
struct KeyCombo {
    static constexpr uint32_t command = 0x100;
    static constexpr uint32_t shift = 0x200;
    static constexpr uint32_t option = 0x800;
    static constexpr uint32_t control = 0x1000;

    uint32_t keyCode = 0;
    uint32_t carbonModifiers = 0;
    std::string display;

    // The name of a key that has no character of its own (arrows, F-keys, …).
    static std::optional<std::string_view> keyName(uint32_t keyCode);

    // Nothing unless Control, Option or Command is held: Shift alone would
    // steal ordinary typing.
    static std::optional<KeyCombo> fromEvent(const KeyEvent& event);

    // "keyCode", "carbonModifiers", "display", in that order.
    nlohmann::ordered_json toJSON() const;
    // All three keys are required, as unsigned 32-bit numbers and a string.
    static std::optional<KeyCombo> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    bool operator==(const KeyCombo&) const = default;
};

}  // namespace dz

template <>
struct std::hash<dz::KeyCombo> {
    size_t operator()(const dz::KeyCombo& combo) const noexcept {
        size_t h = std::hash<uint64_t>{}((uint64_t(combo.keyCode) << 32) | combo.carbonModifiers);
        return h ^ (std::hash<std::string>{}(combo.display) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2));
    }
};
