#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dz {

// A 128-bit identifier written as 8-4-4-4-12 hexadecimal digits.
struct UUID {
    std::array<uint8_t, 16> bytes{};

    // A fresh random (version 4) identifier.
    static UUID random();
    // Accepts either letter case; nothing for any other shape.
    static std::optional<UUID> parse(std::string_view text);
    // Upper-case canonical form.
    std::string string() const;

    bool operator==(const UUID&) const = default;
    auto operator<=>(const UUID&) const = default;
};

}  // namespace dz

template <>
struct std::hash<dz::UUID> {
    size_t operator()(const dz::UUID& id) const noexcept {
        uint64_t h = 1469598103934665603ull;
        for (uint8_t b : id.bytes) h = (h ^ b) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};
