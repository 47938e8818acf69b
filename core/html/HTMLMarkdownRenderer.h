#pragma once
// The per-conversion walk of HTMLMarkdownConverter: turns the children of an
// element into Markdown blocks (paragraphs, headings, lists, quotes, code
// blocks, tables, rules). Created for one document and discarded after it.
//
// The walk is recursive in form but runs as StacklessTask coroutines, so a
// deeply nested document costs heap, never C++ stack.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/html/HTMLNode.h"
#include "core/html/StacklessTask.h"
#include "core/markdown/MarkdownText.h"
#include "core/options/CleaningOptions.h"
#include "core/options/MarkdownOptions.h"

namespace dz {

class HTMLMarkdownRenderer {
  public:
    // What the enclosing elements already apply, passed down the walk by
    // value.
    struct Context {
        bool bold = false;
        bool italic = false;
        bool strike = false;
        // Markers every paragraph inside the current block is wrapped in,
        // outermost first (a bold element around paragraphs, for example).
        std::vector<std::string_view> wrappers;
        // Inside a table cell, where a line start cannot read as structure.
        bool cell = false;
    };

    HTMLMarkdownRenderer(const MarkdownOptions& options, const CleaningOptions& cleaning);

    static bool isBlockName(std::string_view name);
    static bool isSkippedName(std::string_view name);

    // Records every element below and including `element` that has a
    // descendant element with a block name; true when `element` has one.
    bool markBlockContainers(HTMLNode element);
    bool isBlockContainer(HTMLNode element) const { return blockContainers_.count(element.raw()) > 0; }

    // The Markdown blocks of the children of `element`.
    std::vector<std::string> renderBlocks(HTMLNode element, const Context& context);
    std::vector<std::string> renderBlocks(HTMLNode element) { return renderBlocks(element, Context()); }

    Context paragraphContext(HTMLNode element, std::string_view name, const Context& context) const;

    bool shouldSkip(HTMLNode element, std::string_view name) const;
    static bool isBold(HTMLNode element, std::string_view name);
    static bool isItalic(HTMLNode element, std::string_view name);
    static bool isStrike(HTMLNode element, std::string_view name);
    static bool isMonospaceStyle(HTMLNode element);
    bool isFootnote(HTMLNode element) const;
    // A copy from a code editor: the first styled element on the way down
    // from `start` sets white-space:pre and a monospace first font family.
    static bool isCodeEditorCopy(HTMLNode start);

    // A text node's text as the walk writes it: white space folded, written
    // addresses cleaned, possible emphasis starts and backticks escaped.
    std::string prepareText(std::string_view text) const;
    // A fenced block for a pre element, with a language found in the class
    // of the element, its children or its parent.
    static std::string codeBlock(HTMLNode pre);
    // Text as written, with br elements and the ends of block elements as
    // line breaks; scripts, styles, buttons and hidden elements left out.
    static std::string textWithLineBreaks(HTMLNode node);
    // A paragraph (p or div without blocks inside) whose visible text is all
    // in a monospace font or code element.
    bool isMonospaceParagraph(HTMLNode element, std::string_view name) const;
    // The text of such a paragraph as a code line: spaces kept, br elements
    // as line breaks.
    std::string codeLineText(HTMLNode paragraph) const;
    std::string image(HTMLNode element) const;

  private:
    using Blocks = std::vector<std::string>;

    StacklessTask<Blocks> walkBlocks(HTMLNode element, Context context);
    StacklessTask<Blocks> renderBlockElement(HTMLNode element, std::string_view name, Context context);
    StacklessTask<std::string> renderInline(HTMLNode element, std::string_view name, Context context);
    StacklessTask<std::string> inlineChildren(HTMLNode element, Context context);
    StacklessTask<Blocks> list(HTMLNode element, bool ordered, Context context);
    StacklessTask<std::string> listItem(HTMLNode element, std::string marker, Context context);
    StacklessTask<Blocks> table(HTMLNode element, Context context);

    struct InlinePlan {
        std::optional<std::string> result;  // complete without the children
        bool link = false;
        bool strong = false, emphasis = false, strike = false;
        Context inner;  // for the children
    };
    InlinePlan planInline(HTMLNode element, std::string_view name, const Context& context) const;
    std::string finishInline(const InlinePlan& plan, HTMLNode element, std::string_view name,
                             std::string text);
    std::string renderLeafInline(HTMLNode element, std::string_view name, const Context& context);
    std::optional<std::string> scriptForm(HTMLNode element, std::string_view name,
                                          std::string_view style) const;
    // Consecutive monospace paragraphs from `first` on, as one code block
    // text, and the last of them; nothing when they make a single line.
    std::optional<std::string> codeParagraphs(HTMLNode first, std::string_view name, HTMLNode& last) const;
    // Word's list paragraphs (mso-list styles) from `first` on as one list
    // block, and the last of them.
    StacklessTask<std::string> wordList(HTMLNode first, HTMLNode& last, Context context);

    std::string_view strongMarker() const;
    std::string_view emphasisMarker() const;
    std::string_view bulletMarker() const;

    // The style text of the element met last: the skip test, the paragraph
    // context and the inline plan all read it for the same element in turn.
    const std::string& styleOf(HTMLNode element) const;
    mutable HTMLNode styleElement_;
    mutable std::string style_;

    // The emphasis markers of the inline element rendered last, for joining
    // it with a neighbour in the same markers.
    MarkdownText::Markers lastMarkers_;
    // The number after the last item of the ordered list rendered last.
    int64_t lastListNext_ = 1;

    MarkdownOptions options_;
    CleaningOptions cleaning_;
    std::unordered_set<const void*> blockContainers_;
};

}  // namespace dz
