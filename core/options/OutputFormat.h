#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace dz {

// What a cleaned copy becomes.
enum class OutputFormat { plain, plainWithLinks, markdown, original };

namespace outputformat {

inline constexpr std::array<OutputFormat, 4> allCases{OutputFormat::plain, OutputFormat::plainWithLinks,
                                                      OutputFormat::markdown, OutputFormat::original};
// The formats that cycling the default format steps through.
inline constexpr std::array<OutputFormat, 3> cyclable{OutputFormat::plain, OutputFormat::plainWithLinks,
                                                      OutputFormat::markdown};

std::string_view rawValue(OutputFormat format);
inline std::string_view id(OutputFormat format) {
    return rawValue(format);
}
std::string_view title(OutputFormat format);
std::optional<OutputFormat> fromRaw(std::string_view raw);
// The next format in `cyclable`, wrapping round; `original` goes to `plain`.
OutputFormat next(OutputFormat format);

}  // namespace outputformat
}  // namespace dz
