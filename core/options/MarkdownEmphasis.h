#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// Whether Markdown emphasis is written with asterisks or underscores.
enum class MarkdownEmphasis { asterisks, underscores };

namespace markdownemphasis {

inline constexpr std::array<MarkdownEmphasis, 2> allCases{MarkdownEmphasis::asterisks,
                                                          MarkdownEmphasis::underscores};

constexpr std::string_view rawValue(MarkdownEmphasis e) {
    return e == MarkdownEmphasis::asterisks ? "asterisks" : "underscores";
}

inline std::optional<MarkdownEmphasis> fromRaw(std::string_view raw) {
    for (MarkdownEmphasis e : allCases)
        if (rawValue(e) == raw)
            return e;
    return std::nullopt;
}

}  // namespace markdownemphasis
}  // namespace dz
