#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// The bullet that plain-text list normalisation writes; the raw value is the
// character itself.
enum class ListBullet { bullet, dash, asterisk };

namespace listbullet {

inline constexpr std::array<ListBullet, 3> allCases{ListBullet::bullet, ListBullet::dash,
                                                    ListBullet::asterisk};

constexpr std::string_view rawValue(ListBullet b) {
    switch (b) {
        case ListBullet::bullet:
            return "\u2022";
        case ListBullet::dash:
            return "-";
        case ListBullet::asterisk:
            return "*";
    }
    return "\u2022";
}

inline std::optional<ListBullet> fromRaw(std::string_view raw) {
    for (ListBullet b : allCases)
        if (rawValue(b) == raw)
            return b;
    return std::nullopt;
}

}  // namespace listbullet
}  // namespace dz
