#pragma once
// Small Markdown text operations shared by the HTML and rich-text
// converters, so that both write the same Markdown. All are pure, keep no
// state and cannot fail.

#include <optional>
#include <string>
#include <string_view>

#include "core/options/CleaningOptions.h"
#include "core/text/Regex.h"

namespace dz {

class MarkdownText {
  public:
    MarkdownText() = delete;

    // "(^|[\s(\[{"'])([*_])(?=\S)": a "*" or "_" (group 2) at the start of
    // the text or after white space or an opening bracket or quote (group 1)
    // that is followed by a visible character, i.e. one that could open
    // emphasis. Converters escape it as group 1 + "\" + group 2.
    static const Regex& emphasisStartRegex();

    // Spaces and parentheses would end a Markdown link destination.
    static std::string escapeDestination(std::string_view address);

    // Removes spaces and tabs around line breaks, folds runs of spaces into
    // one, and trims white space and line breaks from both ends.
    static std::string tidyInline(std::string_view text);

    // Puts `marker` around the text without trapping white space inside it:
    // " a " → " **a** ". A text of only white space is returned unchanged.
    static std::string wrap(std::string_view text, std::string_view marker);

    // An inline code span on one line; double backticks when the code holds
    // a backtick; empty for blank code.
    static std::string codeSpan(std::string_view text);

    // A fenced block ("```", or "~~~" when the code holds "```") with the
    // language, if any, after the opening fence.
    static std::string codeBlock(std::string_view text,
                                 std::optional<std::string_view> language = std::nullopt);

    // A Markdown link for already rendered link text. Web addresses are
    // cleaned as `cleaning` says; a link whose text shows its own address is
    // written as the bare address; links to anything but web and mail
    // addresses keep only their text.
    static std::string link(std::string_view text, std::string_view href, const CleaningOptions& cleaning);

    // Indents every non-empty line after the first by `by` spaces.
    static std::string indentContinuation(std::string_view text, size_t by);
};

}  // namespace dz
