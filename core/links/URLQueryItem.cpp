#include "core/links/URLQueryItem.h"

#include "core/text/Unicode.h"

namespace dz {

namespace {

std::string decodedOrAsWritten(std::string_view text) {
    if (auto decoded = URLQueryItem::percentDecode(text))
        return std::move(*decoded);
    return std::string(text);
}

}  // namespace

std::optional<std::string> URLQueryItem::percentDecode(std::string_view text) {
    bool plainASCII = true;
    for (char c : text)
        if (c == '%' || static_cast<unsigned char>(c) >= 0x80) {
            plainASCII = false;
            break;
        }
    if (plainASCII)
        return std::string(text);
    if (text.find('%') == std::string_view::npos) {
        if (!unicode::isValidUTF8(text))
            return std::nullopt;
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = unicode::hexDigitValue(text[i + 1]), low = unicode::hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (!unicode::isValidUTF8(out))
        return std::nullopt;
    return out;
}

std::vector<URLQueryItem> URLQueryItem::split(std::string_view query) {
    std::vector<URLQueryItem> items;
    if (query.empty())
        return items;
    size_t start = 0;
    while (true) {
        size_t end = query.find('&', start);
        std::string_view piece = query.substr(start, end == std::string_view::npos ? end : end - start);
        URLQueryItem item;
        item.encoded = std::string(piece);
        size_t eq = piece.find('=');
        if (eq == std::string_view::npos) {
            item.encodedName = item.encoded;
        } else {
            item.encodedName = std::string(piece.substr(0, eq));
            item.encodedValue = std::string(piece.substr(eq + 1));
            item.value = decodedOrAsWritten(*item.encodedValue);
        }
        item.name = decodedOrAsWritten(item.encodedName);
        items.push_back(std::move(item));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return items;
}

}  // namespace dz
