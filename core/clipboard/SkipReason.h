#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace dz {

// Why a copy is not cleaned; the raw value is the text shown to the user.
enum class SkipReason {
    alreadyCleaned,
    sensitive,
    filesOrImages,
    noText,
    excludedApp,
    bypassed,
    paused,
    autoCleanOff,
    ownApp,
    keptOriginal,
};

namespace skipreason {

inline constexpr std::array<SkipReason, 10> allCases{
    SkipReason::alreadyCleaned, SkipReason::sensitive,   SkipReason::filesOrImages, SkipReason::noText,
    SkipReason::excludedApp,    SkipReason::bypassed,    SkipReason::paused,        SkipReason::autoCleanOff,
    SkipReason::ownApp,         SkipReason::keptOriginal};

constexpr std::string_view rawValue(SkipReason reason) {
    switch (reason) {
        case SkipReason::alreadyCleaned:
            return "already clean";
        case SkipReason::sensitive:
            return "password / transient content";
        case SkipReason::filesOrImages:
            return "files or images";
        case SkipReason::noText:
            return "no text";
        case SkipReason::excludedApp:
            return "excluded app";
        case SkipReason::bypassed:
            return "formatting kept (Alt bypass)";
        case SkipReason::paused:
            return "paused";
        case SkipReason::autoCleanOff:
            return "automatic cleaning off";
        case SkipReason::ownApp:
            return "copied inside Dozuzavuvu";
        case SkipReason::keptOriginal:
            return "original formatting kept (rule)";
    }
    return "no text";
}

inline std::optional<SkipReason> fromRaw(std::string_view text) {
    for (SkipReason r : allCases)
        if (rawValue(r) == text)
            return r;
    return std::nullopt;
}

}  // namespace skipreason
}  // namespace dz
