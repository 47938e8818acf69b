#pragma once
// Turns attributed (styled) text into Markdown. Structure is inferred from
// paragraph styles (lists, table cells) and character attributes (font size
// and traits, strikethrough, links), and written with the same conventions
// as the HTML converter through MarkdownText.

#include <cstddef>
#include <string>

#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"
#include "core/richtext/AttributedText.h"
#include "core/text/Regex.h"

namespace dz {

class AttributedMarkdownConverter {
  public:
    AttributedMarkdownConverter(MarkdownOptions options, CleaningOptions cleaning)
        : options(options), cleaning(cleaning) {}

    MarkdownOptions options;
    CleaningOptions cleaning;

    // The Markdown of the text; empty when nothing renders. Never fails.
    std::string convert(const AttributedText& text) const;

    // "^\t?[^\t\n]{1,8}\t": the marker text list paragraphs carry at their start.
    static const Regex& listMarkerRegex();

    // The point size that sets the most characters (UTF-16 units); 0 without fonts.
    static double dominantFontSize(const AttributedText& text);
    // The point size at a position; 0 at or past the end or without a font.
    static double fontSize(const AttributedText& text, size_t position);
    // Whether every run of visible text in [start, end) is set in a
    // monospace or fixed-pitch font (and there is at least one).
    static bool isMonospace(const AttributedText& text, size_t start, size_t end);
    // The inline Markdown of [start, end); headings carry no strong markers.
    std::string inlineMarkdown(const AttributedText& text, size_t start, size_t end, bool heading) const;

    // Tables with more cells than this (rows × columns) are written one
    // paragraph per cell: padding every row of a huge sparse table would
    // multiply the output.
    static constexpr size_t maxTableCells = 1'000'000;

    bool operator==(const AttributedMarkdownConverter&) const = default;

  private:
    struct Conversion;
};

}  // namespace dz
