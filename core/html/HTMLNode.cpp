#include "core/html/HTMLNode.h"

#include <cstring>

#include <gumbo.h>

namespace dz {

namespace {

const GumboVector* childVector(const GumboNode* node) {
    if (!node)
        return nullptr;
    switch (node->type) {
        case GUMBO_NODE_DOCUMENT:
            return &node->v.document.children;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            return &node->v.element.children;
        default:
            return nullptr;
    }
}

}  // namespace

std::string_view HTMLNode::name() const {
    if (!isElement())
        return {};
    const GumboElement& element = node_->v.element;
    if (element.tag != GUMBO_TAG_UNKNOWN && element.tag < GUMBO_TAG_LAST) {
        // Known names: lower case, no prefix; measured once.
        static const auto* known = [] {
            auto* names = new std::string_view[GUMBO_TAG_LAST];
            for (int tag = 0; tag < GUMBO_TAG_LAST; ++tag)
                names[tag] = gumbo_normalized_tagname(static_cast<GumboTag>(tag));
            return names;
        }();
        return known[element.tag];
    }
    // HTMLDocument has reduced the piece to the name and lower-cased it.
    std::string_view full(element.original_tag.data, element.original_tag.length);
    size_t colon = full.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < full.size())
        return full.substr(colon + 1);
    return full;
}

bool HTMLNode::is(std::string_view lowerCaseName) const {
    return isElement() && name() == lowerCaseName;
}

std::optional<std::string_view> HTMLNode::attribute(std::string_view lowerCaseName) const {
    if (!isElement())
        return std::nullopt;
    const GumboVector& attributes = node_->v.element.attributes;
    for (unsigned i = 0; i < attributes.length; ++i) {
        auto* attribute = static_cast<const GumboAttribute*>(attributes.data[i]);
        if (attribute->name && lowerCaseName == attribute->name)
            return std::string_view(attribute->value ? attribute->value : "");
    }
    return std::nullopt;
}

std::string_view HTMLNode::text() const {
    if (!isText())
        return {};
    return node_->v.text.text ? std::string_view(node_->v.text.text) : std::string_view{};
}

std::string HTMLNode::stringValue() const {
    if (!node_)
        return {};
    if (isText())
        return std::string(text());
    std::string out;
    for (HTMLNode n = nextInDocumentOrder(*this); n; n = n.nextInDocumentOrder(*this))
        if (n.isText())
            out += n.text();
    return out;
}

HTMLNode HTMLNode::parent() const {
    return node_ ? HTMLNode(node_->parent) : HTMLNode();
}

size_t HTMLNode::childCount() const {
    const GumboVector* children = childVector(node_);
    return children ? children->length : 0;
}

HTMLNode HTMLNode::child(size_t index) const {
    const GumboVector* children = childVector(node_);
    if (!children || index >= children->length)
        return {};
    return HTMLNode(static_cast<const GumboNode*>(children->data[index]));
}

HTMLNode HTMLNode::nextSibling() const {
    if (!node_ || !node_->parent)
        return {};
    return HTMLNode(node_->parent).child(node_->index_within_parent + 1);
}

HTMLNode HTMLNode::firstChildElement() const {
    HTMLNode c = firstChild();
    while (c && !c.isElement()) c = c.nextSibling();
    return c;
}

HTMLNode HTMLNode::nextSiblingElement() const {
    HTMLNode c = nextSibling();
    while (c && !c.isElement()) c = c.nextSibling();
    return c;
}

namespace {

// The walk helpers work on Gumbo's nodes directly; they sit under every
// traversal of a document.
const GumboNode* rawChild(const GumboNode* node, size_t index) {
    const GumboVector* children = childVector(node);
    return children && index < children->length ? static_cast<const GumboNode*>(children->data[index])
                                                : nullptr;
}

const GumboNode* rawNextSkippingChildren(const GumboNode* node, const GumboNode* root) {
    for (; node && node != root; node = node->parent) {
        if (const GumboNode* sibling = rawChild(node->parent, node->index_within_parent + 1))
            return sibling;
    }
    return nullptr;
}

}  // namespace

HTMLNode HTMLNode::nextSkippingChildren(HTMLNode root) const {
    return HTMLNode(rawNextSkippingChildren(node_, root.node_));
}

HTMLNode HTMLNode::nextInDocumentOrder(HTMLNode root) const {
    if (const GumboNode* first = rawChild(node_, 0))
        return HTMLNode(first);
    return HTMLNode(rawNextSkippingChildren(node_, root.node_));
}

void HTMLNode::forEachDescendant(const std::function<bool(HTMLNode)>& visit) const {
    HTMLNode n = firstChild();
    while (n) {
        n = visit(n) ? n.nextInDocumentOrder(*this) : n.nextSkippingChildren(*this);
    }
}

}  // namespace dz
