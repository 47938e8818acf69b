#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// The marker of unordered list items in Markdown; the raw value is the marker.
enum class MarkdownBullet { dash, asterisk, plus };

namespace markdownbullet {

inline constexpr std::array<MarkdownBullet, 3> allCases{MarkdownBullet::dash, MarkdownBullet::asterisk,
                                                        MarkdownBullet::plus};

constexpr std::string_view rawValue(MarkdownBullet b) {
    switch (b) {
        case MarkdownBullet::dash:
            return "-";
        case MarkdownBullet::asterisk:
            return "*";
        case MarkdownBullet::plus:
            return "+";
    }
    return "-";
}

inline std::optional<MarkdownBullet> fromRaw(std::string_view raw) {
    for (MarkdownBullet b : allCases)
        if (rawValue(b) == raw)
            return b;
    return std::nullopt;
}

}  // namespace markdownbullet
}  // namespace dz
