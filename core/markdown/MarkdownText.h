#pragma once
// Small Markdown text operations shared by the HTML and rich-text
// converters, so that both write the same Markdown. All are pure, keep no
// state and cannot fail.

#include <array>
#include <cstdint>
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

    // Text as Markdown shows it literally: every "*" or "_" of a run that
    // could open or close emphasis gets a backslash, and so does every "`".
    // What lies beyond the ends of `text` is unknown, so a run at either end
    // is judged as if anything could stand there. "snake_case" and "2 * 3"
    // stay as they are.
    static std::string escapeText(std::string_view text);

    // Backslashes where the start of a line would read as a heading, a list
    // item or a quote: "# a" gives "\# a", "1. a" gives "1\. a", "- a"
    // gives "\- a", "> a" gives "\> a". Applies to every line of a block.
    static std::string escapeBlockStart(std::string text);

    // The emphasis markers an inline piece was wrapped in, outermost first.
    struct Markers {
        std::array<std::string_view, 3> list{};
        uint8_t count = 0;
        void add(std::string_view marker) { list[count++] = marker; }
    };
    // Where the last piece appended by `appendJoined` ended with its closing
    // markers.
    struct JoinState {
        size_t end = SIZE_MAX;
        Markers markers;
    };
    // Appends an inline piece wrapped in `markers` (none for plain text),
    // joining it with the piece before when that one closed with the same
    // outer markers right where this one opens: "**a**" then "**b**" gives
    // "**ab**" rather than "**a****b**". Empty pieces leave the state alone,
    // so runs split by an empty element still join.
    static void appendJoined(std::string& out, std::string_view piece, const Markers& markers,
                             JoinState& state);

    // Removes spaces and tabs around line breaks, folds runs of spaces into
    // one, and trims white space and line breaks from both ends.
    static std::string tidyInline(std::string_view text);

    // Puts `marker` around the text without trapping white space inside it:
    // " a " → " **a** ". A text of only white space is returned unchanged.
    static std::string wrap(std::string_view text, std::string_view marker);

    // An inline code span on one line; empty for blank code. Code with single
    // backticks is fenced by two with a space inside; longer backtick runs
    // take a fence one longer than the longest run.
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
