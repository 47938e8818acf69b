#pragma once
// Turns copied text into clean plain text according to the cleaning switches.
// Every pass is a pure function of its text: text a pass has nothing to do
// with comes back unchanged, and none of them can fail.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/options/CleaningOptions.h"
#include "core/text/Regex.h"

namespace dz {

class TextCleaner {
  public:
    explicit TextCleaner(CleaningOptions options = CleaningOptions::defaultValue()) : options(options) {}

    CleaningOptions options;

    // The whole chain. `isRichSource` says whether the copy also held a rich
    // representation; only then are footnote markers removed.
    std::string clean(std::string_view text, bool isRichSource) const;

    // CR LF, CR, U+2028, U+2029, VT and FF all become LF.
    static std::string normalizeLineEndings(std::string_view text);
    // Drops invisible and control characters and/or turns odd spaces into
    // U+0020, keeping emoji tag sequences.
    static std::string removeInvisibles(std::string_view text, bool removeInvisible, bool normalizeSpaces);
    // Rewrites list lines pasted from rich editors in one style, `bullet`
    // being the bullet to write.
    static std::string normalizeLists(std::string_view text, std::string_view bullet);
    // The rewritten line, or nothing when the line is no list line.
    static std::optional<std::string> normalizeListLine(std::string_view line, std::string_view bullet);
    // (tabs - 1, at least 0) + spaces / 2.
    static int indentLevel(std::string_view indent);
    static std::string normalizeQuotes(std::string_view text);
    // "mailto:" links become their bare, percent-decoded address.
    static std::string removeMailto(std::string_view text);
    // Strips trailing spaces and tabs from every line and keeps at most one
    // empty line between paragraphs.
    static std::string tidyLines(std::string_view text);

    // A bracketed reference marker such as "[12]" or "[citation needed]".
    static const Regex& footnoteRegex();
    // The list-line patterns ^([ \t]*)(\S)([ \t]+)(.*)$ (unordered: indent,
    // marker, gap, content) and
    // ^([ \t]*)(\d{1,4}|[A-Za-z]|[ivxlcdmIVXLCDM]{1,6})([.)]?)(\t+|[ \t]+)(.*)$
    // (ordered: indent, number, punctuation, gap, content), matched by hand:
    // the same groups in linear time, where the regular expressions backtrack
    // quadratically over long runs of blanks.
    struct ListLineMatch {
        std::string_view indent, marker, punctuation, gap, content;
    };
    static std::optional<ListLineMatch> matchUnorderedLine(std::string_view line);
    static std::optional<ListLineMatch> matchOrderedLine(std::string_view line);
    static const Regex& mailtoRegex();

    // Deletes every footnote marker.
    static std::string removeFootnotes(std::string_view text);
    // Where the footnote markers are: byte ranges [start, end), in order.
    static std::vector<std::pair<size_t, size_t>> footnoteRanges(std::string_view text);
};

}  // namespace dz
