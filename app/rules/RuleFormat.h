#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "core/options/OutputFormat.h"

namespace dz {

// What a rule asks for. `useDefault` defers to the default format.
enum class RuleFormat { useDefault, plain, links, markdown, original };

namespace ruleformat {

inline constexpr std::array<RuleFormat, 5> allCases{
    RuleFormat::useDefault, RuleFormat::plain, RuleFormat::links, RuleFormat::markdown, RuleFormat::original};

constexpr std::string_view rawValue(RuleFormat f) {
    switch (f) {
        case RuleFormat::useDefault:
            return "default";
        case RuleFormat::plain:
            return "plain";
        case RuleFormat::links:
            return "links";
        case RuleFormat::markdown:
            return "markdown";
        case RuleFormat::original:
            return "original";
    }
    return "default";
}

constexpr std::string_view id(RuleFormat f) {
    return rawValue(f);
}

constexpr std::string_view title(RuleFormat f) {
    switch (f) {
        case RuleFormat::useDefault:
            return "Default";
        case RuleFormat::plain:
            return "Plain Text";
        case RuleFormat::links:
            return "Plain Text with Links";
        case RuleFormat::markdown:
            return "Markdown";
        case RuleFormat::original:
            return "Keep Original";
    }
    return "Default";
}

inline std::optional<RuleFormat> fromRaw(std::string_view raw) {
    for (RuleFormat f : allCases)
        if (rawValue(f) == raw)
            return f;
    return std::nullopt;
}

// The output format a rule yields, given the current default format. A
// default of `original` counts as `plain`: only an explicit rule keeps a copy
// untouched.
constexpr OutputFormat outputFormat(RuleFormat f, OutputFormat defaultFormat) {
    switch (f) {
        case RuleFormat::useDefault:
            return defaultFormat == OutputFormat::original ? OutputFormat::plain : defaultFormat;
        case RuleFormat::plain:
            return OutputFormat::plain;
        case RuleFormat::links:
            return OutputFormat::plainWithLinks;
        case RuleFormat::markdown:
            return OutputFormat::markdown;
        case RuleFormat::original:
            return OutputFormat::original;
    }
    return OutputFormat::plain;
}

}  // namespace ruleformat
}  // namespace dz
