#include "core/html/HTMLTextContent.h"

#include <array>
#include <cstdint>

namespace dz::htmltext {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool equalsLower(std::string_view name, std::string_view lowered) {
    if (name.size() != lowered.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (lower(name[i]) != lowered[i])
            return false;
    return true;
}

bool isBlock(std::string_view name) {
    static constexpr std::array<std::string_view, 42> blocks = {
        "address", "article", "aside", "blockquote", "br",         "caption", "dd",      "details", "dialog",
        "div",     "dl",      "dt",    "fieldset",   "figcaption", "figure",  "footer",  "form",    "h1",
        "h2",      "h3",      "h4",    "h5",         "h6",         "header",  "hgroup",  "hr",      "li",
        "main",    "nav",     "ol",    "p",          "pre",        "section", "summary", "table",   "tbody",
        "tfoot",   "thead",   "tr",    "ul",         "body",       "html"};
    for (std::string_view block : blocks)
        if (equalsLower(name, block))
            return true;
    return false;
}

void appendUTF8(std::string& out, uint32_t c) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Collects text with white space collapsed and lines trimmed.
class Output {
  public:
    void text(std::string_view piece) {
        for (char c : piece) {
            if (isSpace(c)) {
                pendingSpace_ = true;
                continue;
            }
            if (pendingSpace_ && !out_.empty() && out_.back() != '\n')
                out_ += ' ';
            pendingSpace_ = false;
            out_ += c;
        }
    }
    // A character from a reference: never collapsed (a no-break space stays).
    void character(uint32_t c) {
        if (pendingSpace_ && !out_.empty() && out_.back() != '\n')
            out_ += ' ';
        pendingSpace_ = false;
        appendUTF8(out_, c);
    }
    // Cells of a row and the like: a space between them, never at a line start.
    void separate() { pendingSpace_ = true; }
    void endLine() {
        pendingSpace_ = false;
        if (!out_.empty() && out_.back() != '\n')
            out_ += '\n';
    }
    std::string take() {
        while (!out_.empty() && out_.back() == '\n') out_.pop_back();
        return std::move(out_);
    }

  private:
    std::string out_;
    bool pendingSpace_ = false;
};

// Decodes the reference at `html[at]` ('&'); its end, or `at` when it is none.
size_t reference(std::string_view html, size_t at, Output& out) {
    size_t semicolon = html.find(';', at + 1);
    if (semicolon == std::string_view::npos || semicolon - at > 32)
        return at;
    std::string_view body = html.substr(at + 1, semicolon - at - 1);
    if (body.size() >= 2 && body[0] == '#') {
        bool hex = body[1] == 'x' || body[1] == 'X';
        std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty())
            return at;
        uint32_t value = 0;
        for (char c : digits) {
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<uint32_t>(c - '0');
            else if (hex && lower(c) >= 'a' && lower(c) <= 'f')
                d = static_cast<uint32_t>(lower(c) - 'a' + 10);
            else
                return at;
            value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + d;
        }
        out.character(value);
        return semicolon + 1;
    }
    static constexpr std::array<std::pair<std::string_view, uint32_t>, 6> named = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}}};
    for (const auto& [name, value] : named)
        if (body == name) {
            out.character(value);
            return semicolon + 1;
        }
    return at;
}

// The end of the tag opened at `html[at]` ('<'), past its '>'; quoted
// attribute values may hold '>'.
size_t tagEnd(std::string_view html, size_t at) {
    char quote = 0;
    for (size_t i = at + 1; i < html.size(); ++i) {
        char c = html[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            // Only a quote that starts an attribute value opens one.
            if (html[i - 1] == '=' || (isSpace(html[i - 1]) && i >= 2 && html[i - 2] == '='))
                quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

// The end of a raw-text element's content: the start of "</name", or the end.
size_t rawTextEnd(std::string_view html, size_t from, std::string_view name) {
    for (size_t at = html.find("</", from); at != std::string_view::npos; at = html.find("</", at + 2)) {
        if (at + 2 + name.size() <= html.size() && equalsLower(html.substr(at + 2, name.size()), name)) {
            size_t after = at + 2 + name.size();
            if (after == html.size() || isSpace(html[after]) || html[after] == '>' || html[after] == '/')
                return at;
        }
    }
    return html.size();
}

}  // namespace

std::string textContent(std::string_view html) {
    Output out;
    size_t i = 0, textStart = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c != '<' && c != '&') {
            ++i;
            continue;
        }
        out.text(html.substr(textStart, i - textStart));
        if (c == '&') {
            size_t end = reference(html, i, out);
            if (end == i) {
                out.text("&");
                ++i;
            } else {
                i = end;
            }
            textStart = i;
            continue;
        }
        // '<': a comment, a declaration, an end tag, a start tag, or a plain '<'.
        if (html.substr(i, 4) == "<!--") {
            size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
        } else if (i + 1 < html.size() && (html[i + 1] == '!' || html[i + 1] == '?')) {
            size_t end = html.find('>', i + 2);
            i = end == std::string_view::npos ? html.size() : end + 1;
        } else if (i + 1 < html.size() && (isLetter(html[i + 1]) || html[i + 1] == '/')) {
            bool closing = html[i + 1] == '/';
            size_t nameStart = i + (closing ? 2 : 1), nameEnd = nameStart;
            while (nameEnd < html.size() && !isSpace(html[nameEnd]) && html[nameEnd] != '>' &&
                   html[nameEnd] != '/')
                ++nameEnd;
            std::string_view name = html.substr(nameStart, nameEnd - nameStart);
            i = tagEnd(html, i);
            if (isBlock(name))
                out.endLine();
            else if (equalsLower(name, "td") || equalsLower(name, "th"))
                out.separate();
            if (!closing && (equalsLower(name, "script") || equalsLower(name, "style"))) {
                std::string lowered = equalsLower(name, "script") ? "script" : "style";
                i = rawTextEnd(html, i, lowered);
            }
        } else {
            out.text("<");
            ++i;
        }
        textStart = i;
    }
    out.text(html.substr(textStart));
    return out.take();
}

}  // namespace dz::htmltext
