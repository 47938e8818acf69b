#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// Whether a rule applies when copying from a place or when pasting into it.
enum class RuleDirection { source, destination };

namespace ruledirection {

inline constexpr std::array<RuleDirection, 2> allCases{RuleDirection::source, RuleDirection::destination};

constexpr std::string_view rawValue(RuleDirection d) {
    return d == RuleDirection::source ? "source" : "destination";
}

// The label of the direction in the settings window.
constexpr std::string_view label(RuleDirection d) {
    return d == RuleDirection::source ? "When copying from" : "When pasting into";
}

// How menu items for a rule of this direction begin; the place's name and a
// closing quote follow.
constexpr std::string_view menuTitlePrefix(RuleDirection d) {
    return d == RuleDirection::source ? "Copying from \u201C" : "Pasting into \u201C";
}

inline std::optional<RuleDirection> fromRaw(std::string_view raw) {
    for (RuleDirection d : allCases)
        if (rawValue(d) == raw)
            return d;
    return std::nullopt;
}

}  // namespace ruledirection
}  // namespace dz
