#include "core/HTMLNode.h"

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

HTMLNodeKind HTMLNode::kind() const {
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

std::string_view HTMLNode::name() const {
    if (!isElement())
        return {};
    const GumboElement& element = node_->v.element;
    std::string_view full;
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        full = gumbo_normalized_tagname(element.tag);
    } else {
        // HTMLDocument has reduced the piece to the name and lower-cased it.
        full = std::string_view(element.original_tag.data, element.original_tag.length);
    }
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

HTMLNode HTMLNode::nextSkippingChildren(HTMLNode root) const {
    for (HTMLNode n = *this; n && n != root; n = n.parent()) {
        if (HTMLNode sibling = n.nextSibling())
            return sibling;
    }
    return {};
}

HTMLNode HTMLNode::nextInDocumentOrder(HTMLNode root) const {
    if (HTMLNode first = firstChild())
        return first;
    return nextSkippingChildren(root);
}

void HTMLNode::forEachDescendant(const std::function<bool(HTMLNode)>& visit) const {
    HTMLNode n = firstChild();
    while (n) {
        n = visit(n) ? n.nextInDocumentOrder(*this) : n.nextSkippingChildren(*this);
    }
}

}  // namespace dz
