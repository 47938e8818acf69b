#pragma once
// A parsed HTML document: Gumbo's HTML5 tree construction behind the small
// node view of HTMLNode.
//
// Gumbo rebuilds the tree a browser had when it serialized a copy, and
// always yields the html/head/body shape. Two kinds of input make it slow
// (its cost grows with the square of the element nesting depth, and with the
// square of the attribute count of one tag), so `parse` first estimates both
// in one linear pass and refuses input beyond `maximumNestingDepth` or
// `maximumAttributesPerTag`: such HTML "cannot be parsed" and callers fall
// back to another representation of the copy. Invalid UTF-8 is refused too.
//
//   auto document = HTMLDocument::parse(html);
//   if (!document) return std::nullopt;
//   HTMLNode body = document->body();
//
// The document is move-only and owns both the tree and a copy of the source
// text; nodes must not outlive it.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/html/HTMLNode.h"

struct GumboInternalOutput;

namespace dz {

class HTMLDocument {
  public:
    static constexpr size_t maximumNestingDepth = 1000;
    static constexpr size_t maximumAttributesPerTag = 256;

    // Nothing when `html` is not valid UTF-8, nests too deeply or has a tag
    // with too many attributes.
    static std::optional<HTMLDocument> parse(std::string_view html);

    // The pre-parse check: an estimate of the element nesting depth that
    // Gumbo's tree construction will reach, counting the elements whose end
    // tag cannot be omitted (void elements, p, li, table parts and the like
    // are left out; comments and raw-text contents are skipped). It follows
    // end tags through a model of the open-element stack that honours scope
    // boundaries, so it over-estimates only on malformed pages. Counting
    // stops soon after `limit`. The result is SIZE_MAX when a tag has more
    // than `maximumAttributesPerTag` attributes.
    static size_t estimatedNestingDepth(std::string_view html, size_t limit = maximumNestingDepth);

    HTMLDocument(HTMLDocument&&) noexcept;
    HTMLDocument& operator=(HTMLDocument&&) noexcept;
    ~HTMLDocument();

    HTMLNode document() const;     // the document node
    HTMLNode rootElement() const;  // the html element (never null after a parse)
    // The first body element below the root, or null.
    HTMLNode body() const;

  private:
    HTMLDocument() = default;
    struct Storage;
    std::unique_ptr<Storage> storage_;
};

}  // namespace dz
