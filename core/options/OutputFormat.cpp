#include "core/options/OutputFormat.h"

namespace dz::outputformat {

std::string_view rawValue(OutputFormat format) {
    switch (format) {
        case OutputFormat::plain:
            return "plain";
        case OutputFormat::plainWithLinks:
            return "links";
        case OutputFormat::markdown:
            return "markdown";
        case OutputFormat::original:
            return "original";
    }
    return "plain";
}

std::string_view title(OutputFormat format) {
    switch (format) {
        case OutputFormat::plain:
            return "Plain Text";
        case OutputFormat::plainWithLinks:
            return "Plain Text with Links";
        case OutputFormat::markdown:
            return "Markdown";
        case OutputFormat::original:
            return "Keep Original";
    }
    return "Plain Text";
}

std::optional<OutputFormat> fromRaw(std::string_view raw) {
    for (OutputFormat f : allCases)
        if (rawValue(f) == raw)
            return f;
    return std::nullopt;
}

OutputFormat next(OutputFormat format) {
    for (size_t i = 0; i < cyclable.size(); ++i)
        if (cyclable[i] == format)
            return cyclable[(i + 1) % cyclable.size()];
    return OutputFormat::plain;
}

}  // namespace dz::outputformat
