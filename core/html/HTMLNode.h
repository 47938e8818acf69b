#pragma once
// A read-only view of one node of a parsed HTML tree (see HTMLDocument).
//
// The view is a pointer-sized handle; it stays valid as long as the
// HTMLDocument that produced it. A default-constructed node is "null"
// (`isNull()`, `explicit operator bool`). Nodes compare by identity, so they
// can key sets and maps (`HTMLNode::Hash`).
//
// Node kinds follow what the converters need:
//   document – the tree's root; its children are the `html` element and any
//              comments outside it;
//   element  – name, attributes, ordered children, parent;
//   text     – character data, including Gumbo's white-space-only and CDATA
//              nodes;
//   comment  – ignored by the converters, still visible for completeness.
//
// Nothing here recurses on the C++ stack: deep trees are walked with parent
// links and sibling indexes (`nextInDocumentOrder`, `forEachDescendant`,
// `stringValue`).

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <gumbo.h>

namespace dz {

enum class HTMLNodeKind { document, element, text, comment };

class HTMLNode {
  public:
    HTMLNode() = default;
    explicit HTMLNode(const GumboInternalNode* node) : node_(node) {}

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }

    HTMLNodeKind kind() const {
        switch (node_->type) {
            case GUMBO_NODE_DOCUMENT:
                return HTMLNodeKind::document;
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE:
                return HTMLNodeKind::element;
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_CDATA:
            case GUMBO_NODE_WHITESPACE:
                return HTMLNodeKind::text;
            case GUMBO_NODE_COMMENT:
                break;
        }
        return HTMLNodeKind::comment;
    }
    bool isElement() const {
        return node_ && (node_->type == GUMBO_NODE_ELEMENT || node_->type == GUMBO_NODE_TEMPLATE);
    }
    bool isText() const {
        return node_ && (node_->type == GUMBO_NODE_TEXT || node_->type == GUMBO_NODE_CDATA ||
                         node_->type == GUMBO_NODE_WHITESPACE);
    }

    // Element name in lower case: the local name (after a namespace prefix
    // such as "o:" in "o:p") or the whole name when there is no prefix.
    // Empty for every other kind. Points into the document.
    std::string_view name() const;
    // True when this is an element whose name() equals `lowerCaseName`.
    bool is(std::string_view lowerCaseName) const;

    // The value of the attribute `lowerCaseName`, or nothing when the
    // element has no such attribute (or this is not an element).
    std::optional<std::string_view> attribute(std::string_view lowerCaseName) const;
    // The value, or empty text when the attribute is missing.
    std::string_view attributeOrEmpty(std::string_view lowerCaseName) const {
        return attribute(lowerCaseName).value_or(std::string_view{});
    }

    // The text of a text node (entities decoded); empty for other kinds.
    std::string_view text() const;

    // Concatenation of every text node beneath this node (or the node's own
    // text for a text node), in document order.
    std::string stringValue() const;

    HTMLNode parent() const;
    size_t childCount() const;
    HTMLNode child(size_t index) const;  // null when out of range
    HTMLNode firstChild() const { return child(0); }
    HTMLNode nextSibling() const;
    HTMLNode firstChildElement() const;
    HTMLNode nextSiblingElement() const;

    // The node after this one in a pre-order walk of the subtree of `root`
    // (children before following siblings), or null at the end of it.
    HTMLNode nextInDocumentOrder(HTMLNode root) const;
    // Same, but skipping this node's own descendants.
    HTMLNode nextSkippingChildren(HTMLNode root) const;

    // Visits every descendant of this node (not the node itself) in document
    // order. `visit` returns true to descend into the node's children, false
    // to pass over them.
    void forEachDescendant(const std::function<bool(HTMLNode)>& visit) const;

    // Children as a range: `for (HTMLNode c : node.children())`.
    class ChildIterator {
      public:
        ChildIterator(const GumboInternalNode* parent, size_t index) : parent_(parent), index_(index) {}
        HTMLNode operator*() const { return HTMLNode(parent_).child(index_); }
        ChildIterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const ChildIterator& other) const { return index_ == other.index_; }

      private:
        const GumboInternalNode* parent_;
        size_t index_;
    };
    class Children {
      public:
        explicit Children(const GumboInternalNode* parent) : parent_(parent) {}
        ChildIterator begin() const { return {parent_, 0}; }
        ChildIterator end() const { return {parent_, HTMLNode(parent_).childCount()}; }

      private:
        const GumboInternalNode* parent_;
    };
    Children children() const { return Children(node_); }

    const GumboInternalNode* raw() const { return node_; }
    bool operator==(const HTMLNode& other) const = default;

    struct Hash {
        size_t operator()(const HTMLNode& node) const { return std::hash<const void*>()(node.node_); }
    };

  private:
    const GumboInternalNode* node_ = nullptr;
};

}  // namespace dz
