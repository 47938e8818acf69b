#include <gtest/gtest.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "core/html/HTMLDocument.h"

using dz::HTMLDocument;
using dz::HTMLNode;
using dz::HTMLNodeKind;

namespace {

std::string repeat(std::string_view piece, size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) out += piece;
    return out;
}

std::string nested(std::string_view open, std::string_view close, size_t depth,
                   std::string_view inner = "x") {
    return repeat(open, depth) + std::string(inner) + repeat(close, depth);
}

HTMLNode firstNamed(HTMLNode root, std::string_view name) {
    for (HTMLNode n = root.firstChild(); n; n = n.nextInDocumentOrder(root))
        if (n.is(name))
            return n;
    return {};
}

}  // namespace

TEST(HTMLDocumentTest, BuildsTheBrowserTreeShape) {
    auto document = HTMLDocument::parse("<!-- a --><b><p>one</p><p>two</p></b><ol><ul><li>x</ul></ol>");
    ASSERT_TRUE(document);
    HTMLNode html = document->rootElement();
    EXPECT_EQ(html.name(), "html");
    EXPECT_EQ(document->document().kind(), HTMLNodeKind::document);
    EXPECT_EQ(document->document().child(0).kind(), HTMLNodeKind::comment);
    HTMLNode body = document->body();
    ASSERT_TRUE(body);
    EXPECT_EQ(body.parent(), html);
    // A b around paragraphs stays around them, and a ul stays inside the ol.
    HTMLNode b = body.firstChildElement();
    EXPECT_EQ(b.name(), "b");
    EXPECT_EQ(b.firstChildElement().name(), "p");
    EXPECT_EQ(b.firstChildElement().nextSiblingElement().name(), "p");
    EXPECT_EQ(firstNamed(body, "ol").firstChildElement().name(), "ul");
    EXPECT_EQ(body.stringValue(), "onetwox");
}

TEST(HTMLDocumentTest, NamesAttributesAndText) {
    auto document = HTMLDocument::parse(
        "<P CLASS='Big' data-x=1 hidden>A &amp; B<O:P></O:P><My-Widget>w</My-Widget><![CDATA[c]]>"
        "<svg><foreignObject>f</foreignObject></svg></P>");
    ASSERT_TRUE(document);
    HTMLNode p = firstNamed(document->document(), "p");
    ASSERT_TRUE(p);
    EXPECT_EQ(p.attribute("class"), "Big");
    EXPECT_EQ(p.attribute("hidden"), "");
    EXPECT_EQ(p.attribute("style"), std::nullopt);
    EXPECT_EQ(p.attributeOrEmpty("style"), "");
    EXPECT_EQ(p.firstChild().kind(), HTMLNodeKind::text);
    EXPECT_EQ(p.firstChild().text(), "A & B");
    std::vector<std::string> names;
    for (HTMLNode c : p.children())
        if (c.isElement())
            names.emplace_back(c.name());
    // A prefixed name reads as its local name.
    EXPECT_EQ(names, (std::vector<std::string>{"p", "my-widget", "svg"}));
    EXPECT_TRUE(firstNamed(p, "foreignobject"));
    EXPECT_EQ(p.text(), "");
    EXPECT_EQ(p.firstChild().name(), "");
}

TEST(HTMLDocumentTest, WhiteSpaceNodesAreText) {
    auto document = HTMLDocument::parse("<div>\n  <span>a</span>\n</div>");
    ASSERT_TRUE(document);
    HTMLNode div = firstNamed(document->document(), "div");
    ASSERT_EQ(div.childCount(), 3u);
    EXPECT_TRUE(div.child(0).isText());
    EXPECT_EQ(div.child(0).text(), "\n  ");
    EXPECT_FALSE(div.child(3));
}

TEST(HTMLDocumentTest, ForEachDescendantCanPassOverSubtrees) {
    auto document = HTMLDocument::parse("<div><script>s</script><p>a<b>b</b></p>c</div>");
    ASSERT_TRUE(document);
    std::string seen;
    document->body().forEachDescendant([&](HTMLNode n) {
        if (n.isText())
            seen += n.text();
        return !n.is("script");
    });
    EXPECT_EQ(seen, "abc");
}

TEST(HTMLDocumentTest, KeepsEveryPieceOfALargeTree) {
    // Attribute values and texts of every length up to past a small block,
    // and megabytes of nodes, while a second document is alive beside the
    // first.
    auto title = [](int i) {
        return std::string(static_cast<size_t>(i % 300), static_cast<char>('a' + i % 26));
    };
    std::string html;
    for (int i = 0; i < 8000; ++i)
        html += "<p title='" + title(i) + "'>" + std::to_string(i) + title(i * 7) + "</p>";
    auto first = HTMLDocument::parse(html);
    auto second = HTMLDocument::parse("<b>other</b>");
    ASSERT_TRUE(first && second);
    HTMLDocument moved = std::move(*first);
    first.reset();
    int count = 0, wrong = 0;
    for (HTMLNode p = moved.body().firstChildElement(); p; p = p.nextSiblingElement(), ++count)
        if (p.attribute("title") != title(count) ||
            p.stringValue() != std::to_string(count) + title(count * 7))
            ++wrong;
    EXPECT_EQ(count, 8000);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(second->body().stringValue(), "other");
}

TEST(HTMLDocumentTest, RefusesInvalidUTF8) {
    EXPECT_FALSE(HTMLDocument::parse("<p>\xC3</p>"));
    EXPECT_TRUE(HTMLDocument::parse(""));
}

TEST(HTMLDocumentTest, RefusesHostileNestingQuickly) {
    for (auto [open, close] : {std::pair{"<div>", "</div>"},
                               {"<ul><li>", "</li></ul>"},
                               {"<b>", "</b>"},
                               {"<table><tr><td>", "</td></tr></table>"}}) {
        std::string html = nested(open, close, 200000);
        EXPECT_GT(HTMLDocument::estimatedNestingDepth(html), HTMLDocument::maximumNestingDepth) << open;
        EXPECT_FALSE(HTMLDocument::parse(html)) << open;
    }
}

TEST(HTMLDocumentTest, AcceptsDeepButReasonableNesting) {
    std::string html = nested("<div>", "</div>", 900, "deep");
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth(html), 900u);
    auto document = HTMLDocument::parse(html);
    ASSERT_TRUE(document);
    EXPECT_EQ(document->body().stringValue(), "deep");
    // Long flat pages are fine however many elements they have.
    EXPECT_TRUE(HTMLDocument::parse(repeat("<div><p>para<br><img src=x></div><li>item", 20000)));
}

TEST(HTMLDocumentTest, EstimateIgnoresWhatCannotNest) {
    // Optional end tags, void elements, comments, raw text and foreign
    // self-closing tags do not add depth.
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth(repeat("<p>a<li>b<td>c<br><hr/><img>", 5000)), 0u);
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth("<!--" + repeat("<div>", 5000) + "-->"), 0u);
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth("<script>" + repeat("<div>", 5000) + "</script>"), 0u);
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth("<textarea>" + repeat("<div>", 5000) + "</TEXTAREA >"), 0u);
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth("<svg>" + repeat("<path d='>'/>", 5000) + "</svg>"), 1u);
    EXPECT_EQ(HTMLDocument::estimatedNestingDepth("<a title='</a><div>'>x</a>"), 1u);
}

TEST(HTMLDocumentTest, EstimateIsNotFooledByIgnoredEndTags) {
    // Inside a cell, "</div>" cannot close the div outside the table.
    EXPECT_GT(HTMLDocument::estimatedNestingDepth(repeat("<div><table><tr><td></div>", 600)),
              HTMLDocument::maximumNestingDepth);
    // A plain end tag does not close across a div.
    EXPECT_GT(HTMLDocument::estimatedNestingDepth(repeat("<span><div></span>", 1000)),
              HTMLDocument::maximumNestingDepth);
    // "<div/>" is not self-closing in HTML, nor after leaving svg content.
    EXPECT_GT(HTMLDocument::estimatedNestingDepth(repeat("<div/>", 2000)), HTMLDocument::maximumNestingDepth);
    EXPECT_GT(HTMLDocument::estimatedNestingDepth("<svg><div>" + repeat("<g/>", 2000)),
              HTMLDocument::maximumNestingDepth);
    // "</script>" inside a double-escaped script does not end it.
    std::string tricky = "<script><!--<script></script>" + repeat("</div>", 600) + "--></script>";
    EXPECT_GT(HTMLDocument::estimatedNestingDepth(repeat("<div>", 600) + tricky + repeat("<div>", 600)),
              HTMLDocument::maximumNestingDepth);
    // Without a ruby, rt elements nest.
    EXPECT_GT(HTMLDocument::estimatedNestingDepth(repeat("<rt>", 2000)), HTMLDocument::maximumNestingDepth);
}

TEST(HTMLDocumentTest, RefusesTagsWithHugeAttributeLists) {
    std::string attributes;
    for (int i = 0; i < 5000; ++i) attributes += " a" + std::to_string(i) + "=1";
    EXPECT_FALSE(HTMLDocument::parse("<div" + attributes + ">x</div>"));
    EXPECT_TRUE(HTMLDocument::parse("<div a=1 b='2' c=\"3\" d>x</div>"));
}

TEST(HTMLDocumentTest, ParseErrorsCostNoMemory) {
    // Every NUL is a parse error; the tree itself is one text node.
    std::string html = repeat(std::string_view("abc\0def\0 \0\n", 11), 1 << 18);  // 2.75 MiB
    size_t before = mallinfo2().uordblks;
    auto document = HTMLDocument::parse(html);
    size_t after = mallinfo2().uordblks;
    ASSERT_TRUE(document);
    if (after <= before)
        GTEST_SKIP() << "the allocator in use does not report heap use";
    // Recorded errors took about 30 bytes of input per error record of 80
    // bytes or more: several times the input. The tree alone stays near it.
    EXPECT_LT(after - before, 4 * html.size());
    std::string text;
    document->body().forEachDescendant([&](HTMLNode n) {
        if (n.kind() == HTMLNodeKind::text)
            text += n.text();
        return true;
    });
    EXPECT_EQ(text.size(), html.size() - 3 * (1 << 18));  // NULs dropped, the rest kept
}
