#pragma once
// Rejoins text copied from a PDF viewer into paragraphs: one hard line break
// per printed line, words split at line ends, ligature glyphs, symbol-font
// bullets and page numbers between pages are all repaired.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/options/PDFOptions.h"
#include "core/text/Regex.h"

namespace dz {

class PDFReflower {
  public:
    // True when the string is a correctly spelled word. Called on the
    // reflower's thread, at most three times per joined line.
    using WordPredicate = std::function<bool(std::string_view)>;

    explicit PDFReflower(PDFOptions options = PDFOptions::defaultValue(), WordPredicate isWord = {})
        : options(options), isWord(std::move(isWord)) {}

    PDFOptions options;
    WordPredicate isWord;  // may be empty

    // Paragraphs come back separated by "\n\n", list items and lines that
    // stay apart by "\n".
    std::string reflow(std::string_view text) const;

    // Ligatures become their letters, symbol-font bullets become "•".
    static std::string fixGlyphs(std::string_view text);
    // Drops lines that are only a page number, when few enough lines look
    // like one to be page numbers rather than content.
    static std::vector<std::string_view> removePageNumberLines(const std::vector<std::string_view>& lines);
    // The 80th percentile of the non-empty line lengths, in characters.
    static size_t typicalLineLength(const std::vector<std::string_view>& lines);

    struct Join {
        size_t keep;       // characters of the previous line that stay
        std::string text;  // appended right after them
        bool operator==(const Join&) const = default;
    };
    // How a line ending in a hyphen joins the next one, or nothing when the
    // ordinary rules apply.
    std::optional<Join> dehyphenatedJoin(std::string_view previous, std::string_view next) const;

    // "-", U+2010, U+00AD and U+00AC.
    static bool isHyphen(std::string_view character);
    // . ! ? : ; " U+201D U+2019 )
    static bool isSentenceEnd(std::string_view character);
    static const Regex& listRegex();
    static const Regex& pageNumberRegex();
    static bool isListLine(std::string_view line);
    static bool isPageNumberLine(std::string_view line);
};

}  // namespace dz
