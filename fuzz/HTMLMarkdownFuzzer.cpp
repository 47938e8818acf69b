// Arbitrary bytes as clipboard HTML through the Markdown converter. The first
// byte picks the options; the rest becomes valid UTF-8 (read as Latin-1 when
// it is not) and is both the HTML and, when asked, the plain text. The text
// fallback for refused HTML runs on it too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/html/HTMLMarkdownConverter.h"
#include "core/html/HTMLTextContent.h"
#include "core/markdown/MarkdownText.h"
#include "core/text/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    uint8_t flags = size > 0 ? data[0] : 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    std::string html = unicode::isValidUTF8(rest) ? std::string(rest) : unicode::decodeLatin1(rest);

    MarkdownOptions markdown;
    markdown.bullet = markdownbullet::allCases[(flags & 3) % markdownbullet::allCases.size()];
    markdown.emphasis = (flags & 4) ? MarkdownEmphasis::underscores : MarkdownEmphasis::asterisks;
    markdown.convertTables = !(flags & 8);
    markdown.includeImages = !(flags & 16);
    CleaningOptions cleaning;
    cleaning.removeFootnoteReferences = !(flags & 32);
    cleaning.removeTrackingParameters = !(flags & 64);
    cleaning.unwrapRedirectLinks = !(flags & 64);
    std::optional<std::string_view> plain;
    if (flags & 128)
        plain = html;

    HTMLMarkdownConverter converter(markdown, cleaning);
    auto result = converter.convert(html, plain);
    if (result && !unicode::isValidUTF8(*result))
        std::abort();
    // The same input always gives the same Markdown.
    if (converter.convert(html, plain) != result)
        std::abort();

    // The text fallback for HTML the parser refuses: valid UTF-8, and never
    // longer than its source (references and tags only shrink).
    std::string text = htmltext::textContent(html);
    if (!unicode::isValidUTF8(text) || text.size() > html.size())
        std::abort();

    (void)MarkdownText::tidyInline(html);
    (void)MarkdownText::codeSpan(html);
    (void)MarkdownText::link(html, html, cleaning);
    return 0;
}
