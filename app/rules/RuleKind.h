#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// Whether a rule names an application or a website.
enum class RuleKind { app, website };

namespace rulekind {

inline constexpr std::array<RuleKind, 2> allCases{RuleKind::app, RuleKind::website};

constexpr std::string_view rawValue(RuleKind k) {
    return k == RuleKind::app ? "app" : "website";
}

inline std::optional<RuleKind> fromRaw(std::string_view raw) {
    for (RuleKind k : allCases)
        if (rawValue(k) == raw)
            return k;
    return std::nullopt;
}

}  // namespace rulekind
}  // namespace dz
