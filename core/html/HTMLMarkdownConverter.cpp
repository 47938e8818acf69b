#include "core/html/HTMLMarkdownConverter.h"

#include <vector>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownRenderer.h"
#include "core/markdown/MarkdownText.h"
#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

namespace dz {

std::optional<std::string> HTMLMarkdownConverter::convert(std::string_view html,
                                                          std::optional<std::string_view> plainText) const {
    try {
        auto document = HTMLDocument::parse(html);
        if (!document)
            return std::nullopt;
        HTMLNode root = document->rootElement();
        if (!root)
            return std::nullopt;
        HTMLNode start = firstElement("body", root);
        if (!start)
            start = root;

        HTMLMarkdownRenderer renderer(options, cleaning);
        renderer.markBlockContainers(start);

        // Editors colour every token; their plain text is the better copy.
        if (plainText && !plainText->empty() && HTMLMarkdownRenderer::isCodeEditorCopy(start))
            return MarkdownText::codeBlock(TextCleaner::normalizeLineEndings(*plainText));

        std::vector<std::string> blocks = renderer.renderBlocks(start);
        std::string joined;
        for (size_t i = 0; i < blocks.size(); ++i) {
            if (i)
                joined += "\n\n";
            joined += blocks[i];
        }
        return std::string(unicode::trimWhitespaceAndNewlines(TextCleaner::tidyLines(joined)));
    } catch (...) {
        // Out of memory or a library failure: no Markdown, the caller falls
        // back to the rich text.
        return std::nullopt;
    }
}

bool HTMLMarkdownConverter::isWordHTML(std::string_view html) {
    return html.find("urn:schemas-microsoft-com:office") != std::string_view::npos;
}

HTMLNode HTMLMarkdownConverter::firstElement(std::string_view name, HTMLNode node) {
    for (HTMLNode n = node.firstChild(); n; n = n.nextInDocumentOrder(node))
        if (n.is(name))
            return n;
    return {};
}

}  // namespace dz
