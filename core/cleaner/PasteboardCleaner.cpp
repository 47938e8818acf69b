#include "core/cleaner/PasteboardCleaner.h"

#include <algorithm>
#include <cctype>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownConverter.h"
#include "core/html/HTMLTextContent.h"
#include "core/links/URLCleaner.h"
#include "core/pdf/PDFReflower.h"
#include "core/richtext/AttributedMarkdownConverter.h"
#include "core/richtext/AttributedText.h"
#include "core/text/TextCleaner.h"
#include "core/text/Unicode.h"

namespace dz {

namespace pt = pasteboardtype;

PasteboardCleaner::PasteboardCleaner(CleaningOptions options, bool preserveLinks,
                                     std::optional<OutputFormat> format, MarkdownOptions markdown,
                                     PDFOptions pdf, bool reflowPDF, WordPredicate isWord,
                                     Transform transform)
    : options(options),
      format(format.value_or(preserveLinks ? OutputFormat::plainWithLinks : OutputFormat::plain)),
      markdown(markdown),
      pdf(pdf),
      reflowPDF(reflowPDF),
      isWord(std::move(isWord)),
      transform(std::move(transform)) {}

std::optional<std::string> PasteboardCleaner::declaredSource(const Pasteboard& pasteboard) {
    auto types = pasteboard.types();
    if (!types || std::find(types->begin(), types->end(), sourceType) == types->end())
        return std::nullopt;
    return pasteboard.string(std::string(sourceType));
}

std::optional<std::string> PasteboardCleaner::declaredSource(
    const std::vector<ClipboardSnapshot::Entry>& items) {
    for (const auto& item : items)
        if (item.type == sourceType)
            return unicode::decodeUTF8(item.data);
    return std::nullopt;
}

bool PasteboardCleaner::showsFootnoteMarkup(const ClipboardSnapshot& snapshot) {
    if (auto decoded = snapshot.html()) {
        const std::string* html = &*decoded;
        // A `sup` start tag in any letter case.
        auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
        for (size_t at = html->find('<'); at != std::string::npos; at = html->find('<', at + 1)) {
            if (at + 4 > html->size())
                break;
            if (lower((*html)[at + 1]) != 's' || lower((*html)[at + 2]) != 'u' ||
                lower((*html)[at + 3]) != 'p')
                continue;
            char next = at + 4 < html->size() ? (*html)[at + 4] : '\0';
            if (next == '>' || next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '/' ||
                next == '\f')
                return true;
        }
    }
    if (auto rtf = snapshot.data(pt::rtf)) {
        // \super, or \up with an optional numeric parameter (not \upr or other words).
        for (size_t at = rtf->find("\\super"); at != std::string_view::npos;
             at = rtf->find("\\super", at + 1)) {
            size_t end = at + 6;
            if (end >= rtf->size() || !std::isalpha(static_cast<unsigned char>((*rtf)[end])))
                return true;
        }
        for (size_t at = rtf->find("\\up"); at != std::string_view::npos; at = rtf->find("\\up", at + 1)) {
            size_t end = at + 3;
            if (end >= rtf->size() || !std::isalpha(static_cast<unsigned char>((*rtf)[end])))
                return true;
        }
    }
    return false;
}

std::optional<std::string> PasteboardCleaner::sourceText(const ClipboardSnapshot& snapshot) const {
    if (auto text = snapshot.plainText(); text && !text->empty())
        return text;
    if (snapshot.hasRich()) {
        if (auto attributed = snapshot.attributedString(AttributedText::Detail::textAndLinks);
            attributed && !attributed->string().empty())
            return attributed->string();
    }
    // HTML the parser refuses (absurd nesting, a tag with hundreds of
    // attributes) still holds text the user wants.
    if (auto html = snapshot.html();
        html && HTMLDocument::estimatedNestingDepth(*html) > HTMLDocument::maximumNestingDepth) {
        if (std::string text = htmltext::textContent(*html); !text.empty())
            return text;
    }
    return std::nullopt;
}

std::string PasteboardCleaner::reflow(std::string_view text) const {
    return PDFReflower(pdf, isWord).reflow(text);
}

std::optional<RenderedClip> PasteboardCleaner::render(const ClipboardSnapshot& snapshot) const {
    std::optional<RenderedClip> clip;
    switch (format) {
        case OutputFormat::original:
            return std::nullopt;
        case OutputFormat::markdown:
            clip = renderMarkdown(snapshot);
            break;
        case OutputFormat::plainWithLinks:
            if (!reflowPDF && snapshot.hasRich()) {
                if (auto attributed = snapshot.attributedString(AttributedText::Detail::textAndLinks)) {
                    if (attributed->containsLinks())
                        clip = linkPreservingOutput(*attributed, showsFootnoteMarkup(snapshot));
                    else
                        clip = renderPlain(snapshot, &*attributed);  // parsed once, not twice
                    break;
                }
            }
            clip = renderPlain(snapshot);
            break;
        case OutputFormat::plain:
            clip = renderPlain(snapshot);
            break;
    }
    if (clip && clip->string.empty())
        return std::nullopt;
    return clip;
}

std::optional<RenderedClip> PasteboardCleaner::renderPlain(const ClipboardSnapshot& snapshot,
                                                           const AttributedText* parsed) const {
    // The same choice as sourceText, without reading the rich text again.
    std::optional<std::string> text;
    if (parsed) {
        text = snapshot.plainText();
        if (!text || text->empty())
            text = parsed->string().empty() ? sourceText(snapshot) : parsed->string();
    } else {
        text = sourceText(snapshot);
    }
    if (!text)
        return std::nullopt;
    std::string result = reflowPDF ? reflow(*text) : std::move(*text);
    bool footnotes = snapshot.hasRich() && showsFootnoteMarkup(snapshot);
    result = TextCleaner(options).clean(result, footnotes);
    if (transform)
        result = transform(result);
    RenderedClip clip{std::move(result), std::nullopt, std::nullopt};
    if (auto url = snapshot.url())
        clip.url = URLCleaner::clean(*url, options.removeTrackingParameters, options.unwrapRedirectLinks, 0);
    return clip;
}

namespace {

std::string escapeHTML(std::string_view text, bool lineBreaks) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                if (lineBreaks)
                    out += "<br>";
                else
                    out.push_back(ch);
                break;
            default:
                out.push_back(ch);
        }
    }
    return out;
}

// Only line endings become line feeds here; trailing spaces and blank lines stay.
std::string unifyLineEndings(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\r') {
            out.push_back('\n');
            i += (i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else if (text[i] == '\v' || text[i] == '\f') {
            out.push_back('\n');
            ++i;
        } else if (text.compare(i, 3, "\u2028") == 0 || text.compare(i, 3, "\u2029") == 0) {
            out.push_back('\n');
            i += 3;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

std::string_view trimLeading(std::string_view text) {
    auto trimmed = unicode::trimWhitespaceAndNewlines(text);
    return text.substr(static_cast<size_t>(trimmed.data() - text.data()));
}

std::string_view trimTrailing(std::string_view text) {
    auto trimmed = unicode::trimWhitespaceAndNewlines(text);
    if (trimmed.empty())
        return {};
    return text.substr(0, static_cast<size_t>(trimmed.data() - text.data()) + trimmed.size());
}

}  // namespace

std::string PasteboardCleaner::cleanSegmentText(std::string_view text, bool footnotes) const {
    std::string s(text);
    if (options.normalizeNewlines)
        s = unifyLineEndings(s);
    if (options.removeInvisibleCharacters || options.normalizeSpaces)
        s = TextCleaner::removeInvisibles(s, options.removeInvisibleCharacters, options.normalizeSpaces);
    if (options.normalizeLists)
        s = TextCleaner::normalizeLists(s, listbullet::rawValue(options.listBullet));
    if (options.removeFootnoteReferences && footnotes && s.find('[') != std::string::npos)
        s = TextCleaner::footnoteRegex().replaceAll(s, "");
    if (options.normalizeQuotes)
        s = TextCleaner::normalizeQuotes(s);
    if (options.removeTrackingParameters || options.unwrapRedirectLinks)
        s = URLCleaner::cleanURLs(s, options.removeTrackingParameters, options.unwrapRedirectLinks);
    if (options.removeMailtoPrefix)
        s = TextCleaner::removeMailto(s);
    return s;
}

std::optional<RenderedClip> PasteboardCleaner::linkPreservingOutput(const AttributedText& attributed,
                                                                    bool footnotes) const {
    std::vector<Segment> segments;
    for (const auto& run : attributed.linkRuns()) {
        std::optional<std::string> link = run.link;
        if (link && unicode::lowercased(*link).starts_with("http"))
            link = URLCleaner::clean(*link, options.removeTrackingParameters, options.unwrapRedirectLinks, 0);
        std::string_view piece = attributed.substring(run.start, run.end);
        if (!segments.empty() && segments.back().link == link)
            segments.back().text += piece;
        else
            segments.push_back({std::string(piece), std::move(link)});
    }
    for (auto& segment : segments) segment.text = cleanSegmentText(segment.text, footnotes);

    if (options.trimWhitespace) {
        auto blank = [](const Segment& s) { return unicode::isBlank(s.text); };
        auto first = std::find_if_not(segments.begin(), segments.end(), blank);
        segments.erase(segments.begin(), first);
        while (!segments.empty() && blank(segments.back())) segments.pop_back();
        if (!segments.empty()) {
            segments.front().text = std::string(trimLeading(segments.front().text));
            segments.back().text = std::string(trimTrailing(segments.back().text));
        }
    }

    std::string text;
    std::string html = "<meta charset=\"utf-8\">";
    for (const auto& segment : segments) {
        text += segment.text;
        if (segment.link) {
            html += "<a href=\"" + escapeHTML(*segment.link, false) + "\">" + escapeHTML(segment.text, true) +
                    "</a>";
        } else {
            html += escapeHTML(segment.text, true);
        }
    }
    if (text.empty())
        return std::nullopt;
    if (transform)
        text = transform(text);
    return RenderedClip{std::move(text), std::move(html), std::nullopt};
}

std::string PasteboardCleaner::removeFootnotesOutsideCode(std::string_view markdown) {
    // Most copies hold no marker at all; the direct scan tells without building the pattern.
    if (TextCleaner::removeFootnotes(markdown).size() == markdown.size())
        return std::string(markdown);
    icu::UnicodeString text = unicode::toICU(markdown);
    // Code ranges in UTF-16 units: fenced blocks, then code spans on other lines.
    std::vector<std::pair<int32_t, int32_t>> code;
    int32_t length = text.length();
    int32_t lineStart = 0;
    icu::UnicodeString fence;  // the open fence's marker run, empty outside a block
    int32_t fenceStart = 0;
    while (lineStart <= length) {
        int32_t lineEnd = text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = length;
        int32_t i = lineStart;
        while (i < lineEnd && i - lineStart < 4 && text[i] == u' ') ++i;
        int32_t runEnd = i;
        char16_t marker = i < lineEnd ? text[i] : 0;
        if (marker == u'`' || marker == u'~')
            while (runEnd < lineEnd && text[runEnd] == marker) ++runEnd;
        bool isFence = (marker == u'`' || marker == u'~') && runEnd - i >= 3;
        if (fence.isEmpty()) {
            if (isFence) {
                fence = text.tempSubString(i, runEnd - i);
                fenceStart = lineStart;
            } else {
                // Code spans: a backtick run closed by a run of the same length on this line.
                int32_t p = lineStart;
                while (p < lineEnd) {
                    if (text[p] != u'`') {
                        ++p;
                        continue;
                    }
                    int32_t open = p;
                    while (p < lineEnd && text[p] == u'`') ++p;
                    int32_t width = p - open;
                    int32_t q = p;
                    bool closed = false;
                    while (q < lineEnd) {
                        if (text[q] != u'`') {
                            ++q;
                            continue;
                        }
                        int32_t run = q;
                        while (q < lineEnd && text[q] == u'`') ++q;
                        if (q - run == width) {
                            code.emplace_back(open, q);
                            p = q;
                            closed = true;
                            break;
                        }
                    }
                    if (!closed)
                        p = open + width;
                }
            }
        } else if (isFence && text[i] == fence[0] && runEnd - i >= fence.length()) {
            code.emplace_back(fenceStart, lineEnd);
            fence.remove();
        }
        lineStart = lineEnd + 1;
    }
    if (!fence.isEmpty())
        code.emplace_back(fenceStart, length);  // an unclosed fence runs to the end

    auto inCode = [&](int32_t position) {
        return std::any_of(code.begin(), code.end(),
                           [&](const auto& r) { return position >= r.first && position < r.second; });
    };
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString result = TextCleaner::footnoteRegex().replaceAll(text, [&](icu::RegexMatcher& m) {
        int32_t start = m.start(status);
        return inCode(start) ? m.group(status) : icu::UnicodeString();
    });
    return unicode::fromICU(result);
}

std::optional<RenderedClip> PasteboardCleaner::renderMarkdown(const ClipboardSnapshot& snapshot) const {
    std::optional<std::string> md;
    bool rich = snapshot.hasRich();
    if (!reflowPDF) {
        if (auto html = snapshot.html(); html && !HTMLMarkdownConverter::isWordHTML(*html)) {
            auto converted = HTMLMarkdownConverter(markdown, options).convert(*html, snapshot.plainText());
            if (converted && !converted->empty())
                md = std::move(converted);
        }
        if (!md && rich) {
            if (auto attributed = snapshot.attributedString()) {
                std::string converted = AttributedMarkdownConverter(markdown, options).convert(*attributed);
                if (!converted.empty())
                    md = std::move(converted);
            }
        }
    }
    std::string result;
    if (md) {
        CleaningOptions o = options;
        o.removeMailtoPrefix = false;
        o.normalizeLists = false;
        o.removeTrackingParameters = false;
        o.unwrapRedirectLinks = false;
        std::string text = std::move(*md);
        // Only a copy that shows superscripts can hold footnote markers;
        // elsewhere brackets are the text's own (f(list[i]), m[i][j]).
        if (!rich || !showsFootnoteMarkup(snapshot))
            o.removeFootnoteReferences = false;
        if (o.removeFootnoteReferences) {
            // Footnotes go before the other passes would see them, but never inside code.
            if (o.normalizeNewlines)
                text = TextCleaner::normalizeLineEndings(text);
            if (o.removeInvisibleCharacters || o.normalizeSpaces)
                text = TextCleaner::removeInvisibles(text, o.removeInvisibleCharacters, o.normalizeSpaces);
            if (text.find('[') != std::string::npos)
                text = removeFootnotesOutsideCode(text);
            o.removeFootnoteReferences = false;
        }
        result = TextCleaner(o).clean(text, rich);
    } else {
        auto text = sourceText(snapshot);
        if (!text)
            return std::nullopt;
        std::string s = reflowPDF ? reflow(*text) : std::move(*text);
        s = TextCleaner::normalizeLineEndings(s);
        s = TextCleaner::normalizeLists(s, markdownbullet::rawValue(markdown.bullet));
        CleaningOptions o = options;
        o.removeMailtoPrefix = false;
        o.normalizeLists = false;
        result = TextCleaner(o).clean(s, rich);
    }
    if (transform)
        result = transform(result);
    return RenderedClip{std::move(result), std::nullopt, std::nullopt};
}

bool PasteboardCleaner::isUnchanged(const RenderedClip& clip, const ClipboardSnapshot& snapshot) {
    if (snapshot.hasRich() || clip.html)
        return false;
    auto text = snapshot.plainText();
    if (!text || *text != clip.string)
        return false;
    if (clip.url) {
        auto url = snapshot.url();
        if (!url || *url != *clip.url)
            return false;
    }
    return true;
}

CleanOutcome PasteboardCleaner::clean(Pasteboard& pasteboard, bool force) const {
    auto capture = ClipboardSnapshot::capture(pasteboard, force);
    if (auto reason = capture.skipReason())
        return CleanOutcome::skipped(*reason);
    if (format == OutputFormat::original)
        return CleanOutcome::skipped(SkipReason::keptOriginal);
    const ClipboardSnapshot& snapshot = *capture.snapshot();
    auto clip = render(snapshot);
    if (!clip)
        return CleanOutcome::skipped(SkipReason::noText);
    if (isUnchanged(*clip, snapshot))
        return CleanOutcome::unchanged();
    clip->write(pasteboard);
    return CleanOutcome::cleaned();
}

}  // namespace dz
