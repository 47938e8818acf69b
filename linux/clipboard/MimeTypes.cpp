#include "linux/clipboard/MimeTypes.h"

#include <algorithm>
#include <array>

#include "core/clipboard/PasteboardTypes.h"
#include "core/text/Unicode.h"

namespace dz::x11 {

namespace pt = pasteboardtype;

namespace {

bool offers(const std::vector<std::string>& targets, std::string_view name) {
    return std::find(targets.begin(), targets.end(), name) != targets.end();
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool startsWithCaseless(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = char(a - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

std::string_view stripTrailingNULs(std::string_view s) {
    while (!s.empty() && s.back() == '\0') s.remove_suffix(1);
    return s;
}

// UTF-16 when the bytes carry zero bytes (every producer seen writes UTF-16
// here), else UTF-8; trailing NULs, which some writers append, dropped.
std::optional<std::string> decodeWideText(std::string_view bytes) {
    std::optional<std::string> text;
    bool hasZero = bytes.find('\0') != std::string_view::npos;
    bool hasMark = bytes.size() >= 2 && ((uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) ||
                                         (uint8_t(bytes[0]) == 0xFE && uint8_t(bytes[1]) == 0xFF));
    if (hasZero || hasMark) {
        // A trailing single NUL after UTF-16 text leaves an odd length.
        std::string_view even = bytes.size() % 2 ? bytes.substr(0, bytes.size() - 1) : bytes;
        text = unicode::decodeUTF16(even);
    } else {
        text = unicode::decodeUTF8(bytes);
    }
    if (!text)
        return std::nullopt;
    text->resize(stripTrailingNULs(*text).size());
    return text;
}

// Text from a target whose encoding its name or type fixes.
std::optional<std::string> decodeTextTarget(std::string_view target, std::string_view bytes) {
    if (target == mime::string)
        return unicode::decodeLatin1(bytes);
    if (target == mime::textPlain) {
        if (auto utf8 = unicode::decodeUTF8(bytes))
            return utf8;
        return unicode::decodeLatin1(bytes);
    }
    return unicode::decodeUTF8(bytes);
}

constexpr std::array<std::string_view, 4> textReadOrder{mime::textUTF8, mime::utf8String, mime::textPlain,
                                                        mime::string};
constexpr std::array<std::string_view, 3> rtfReadOrder{mime::rtf, mime::applicationRTF, mime::richText};

}  // namespace

std::optional<std::string_view> imageType(std::string_view target) {
    if (target == mime::qtImage)
        return pt::png;
    if (!startsWithCaseless(target, "image/"))
        return std::nullopt;
    std::string_view sub = target.substr(6);
    if (sub == "png")
        return pt::png;
    if (sub == "tiff")
        return pt::tiff;
    if (sub == "jpeg" || sub == "jpg")
        return std::string_view("public.jpeg");
    if (sub == "gif")
        return std::string_view("com.compuserve.gif");
    if (sub == "webp")
        return std::string_view("public.webp");
    if (sub == "heic")
        return std::string_view("public.heic");
    return pt::png;  // bmp, svg+xml, x-icon, …: only their presence matters
}

std::optional<MozURL> decodeMozURL(std::string_view bytes) {
    auto text = decodeWideText(bytes);
    if (!text)
        return std::nullopt;
    std::string_view all(*text);
    size_t nl = all.find('\n');
    std::string_view url = unicode::trimWhitespaceAndNewlines(all.substr(0, nl));
    if (url.empty())
        return std::nullopt;
    MozURL out{std::string(url), std::nullopt};
    if (nl != std::string_view::npos) {
        std::string_view title = all.substr(nl + 1);
        size_t end = title.find('\n');
        title = unicode::trimWhitespaceAndNewlines(title.substr(0, end));
        if (!title.empty())
            out.title = std::string(title);
    }
    return out;
}

std::optional<std::string> decodeUTF16Address(std::string_view bytes) {
    auto text = decodeWideText(bytes);
    if (!text || unicode::isBlank(*text))
        return std::nullopt;
    return text;
}

URIList parseURIList(std::string_view bytes) {
    URIList out;
    size_t pos = 0;
    while (pos <= bytes.size()) {
        size_t nl = bytes.find('\n', pos);
        std::string_view line =
            bytes.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? bytes.size() + 1 : nl + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\0'))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (startsWithCaseless(line, "file:"))
            out.hasFiles = true;
        else
            out.addresses.emplace_back(line);
    }
    return out;
}

bool isNautilusTextForm(std::string_view text) {
    return startsWith(text, mime::nautilusTextPrefix);
}

std::string toLatin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        // Runs of ASCII are copied as they are.
        size_t ascii = i;
        while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
        out.append(utf8.substr(i, ascii - i));
        i = ascii;
        if (i >= utf8.size())
            break;
        char32_t c = unicode::nextCodePoint(utf8, i);
        out.push_back(c <= 0xFF ? char(c) : '?');
    }
    return out;
}

ReadResult readTargets(const std::vector<std::string>& targets, const TargetReader& read) {
    ReadResult out;
    auto presence = [&](std::string_view type) {
        for (const auto& item : out.items)
            if (item.type == type)
                return;
        out.items.push_back({std::string(type), {}});
    };
    auto keep = [&](std::string_view type, std::string data, std::string_view target, std::string raw) {
        out.items.push_back({std::string(type), data});
        out.origins.push_back({{std::string(type), std::move(data)}, {std::string(target), std::move(raw)}});
    };

    if (offers(targets, mime::processedMarker))
        presence(pt::markerType);
    if (offers(targets, mime::originalMarker))
        presence(pt::originalMarkerType);

    // A password's data is never read, whatever its hint says.
    if (offers(targets, mime::passwordHint)) {
        presence(pt::concealedType);
        return out;
    }
    if (offers(targets, mime::gnomeCopiedFiles) || offers(targets, mime::kdeCutSelection)) {
        presence(pt::fileURL);
        return out;
    }

    bool offersRich = offers(targets, mime::html);
    for (auto t : rtfReadOrder) offersRich = offersRich || offers(targets, t);
    bool offersImage = false;
    for (const auto& t : targets) {
        if (auto type = imageType(t)) {
            presence(*type);
            offersImage = true;
        }
    }
    if (offersImage && !offersRich)
        return out;

    std::optional<std::string> addressFromList;
    if (offers(targets, mime::uriList)) {
        if (auto bytes = read(std::string(mime::uriList))) {
            auto list = parseURIList(*bytes);
            if (list.hasFiles) {
                presence(pt::fileURL);
                return out;
            }
            if (list.addresses.size() == 1 && unicode::isValidUTF8(list.addresses.front())) {
                addressFromList = list.addresses.front();
                out.origins.push_back({{std::string(pt::url), *addressFromList},
                                       {std::string(mime::uriList), std::move(*bytes)}});
            }
        }
    }

    for (auto target : textReadOrder) {
        if (!offers(targets, target))
            continue;
        auto bytes = read(std::string(target));
        if (!bytes)
            continue;
        auto text = decodeTextTarget(target, *bytes);
        if (!text)
            continue;
        if (isNautilusTextForm(*text)) {
            presence(pt::fileURL);
            return out;
        }
        keep(pt::string, std::move(*text), target, std::move(*bytes));
        break;
    }

    if (offers(targets, mime::html)) {
        if (auto bytes = read(std::string(mime::html))) {
            // Clipboard tools (wl-copy --type text/html) offer the one payload
            // under every text type as well: that "plain text" is the markup,
            // and would be pasted as such. The copy is HTML alone.
            // Its original still offers that text type, with the HTML.
            auto sameAsHTML = [&](const ClipboardSnapshot::Entry& item) {
                return item.type == pt::string && item.data == *bytes;
            };
            std::vector<MimeItem> alsoOffered;
            if (std::erase_if(out.items, sameAsHTML)) {
                for (const auto& origin : out.origins)
                    if (sameAsHTML(origin.item))
                        alsoOffered.push_back(origin.source);
                std::erase_if(out.origins, [&](const ReadOrigin& origin) { return sameAsHTML(origin.item); });
            }
            keep(pt::html, *bytes, mime::html, *bytes);
            for (auto& source : alsoOffered)
                out.origins.push_back({{std::string(pt::html), *bytes}, std::move(source)});
        }
    }
    for (auto target : rtfReadOrder) {
        if (!offers(targets, target))
            continue;
        if (auto bytes = read(std::string(target))) {
            keep(pt::rtf, *bytes, target, *bytes);
            break;
        }
    }

    bool haveURL = false;
    if (offers(targets, mime::mozURL)) {
        if (auto bytes = read(std::string(mime::mozURL))) {
            if (auto link = decodeMozURL(*bytes)) {
                keep(pt::url, link->url, mime::mozURL, *bytes);
                if (link->title)
                    keep(pt::urlName, *link->title, mime::mozURL, *bytes);
                haveURL = true;
            }
        }
    }
    if (!haveURL && addressFromList)
        out.items.push_back({std::string(pt::url), *addressFromList});

    if (offers(targets, mime::chromiumSourceURL)) {
        if (auto bytes = read(std::string(mime::chromiumSourceURL)); bytes && unicode::isValidUTF8(*bytes))
            keep(pt::chromiumSourceURL, *bytes, mime::chromiumSourceURL, *bytes);
    }
    if (offers(targets, mime::mozURLPriv) && !offers(targets, mime::chromiumSourceURL)) {
        if (auto bytes = read(std::string(mime::mozURLPriv))) {
            if (auto address = decodeUTF16Address(*bytes))
                keep(pt::chromiumSourceURL, *address, mime::mozURLPriv, *bytes);
        }
    }
    return out;
}

std::vector<MimeItem> toTargets(const std::vector<ClipboardSnapshot::Entry>& items,
                                const std::vector<ReadOrigin>& origins) {
    std::vector<MimeItem> out;
    using Bytes = std::shared_ptr<const std::string>;
    auto add = [&](std::string_view target, Bytes data) {
        for (const auto& m : out)
            if (m.target == target)
                return;
        out.emplace_back(std::string(target), std::move(data));  // no bytes reads as empty
    };
    auto bytes = [](std::string data) { return std::make_shared<const std::string>(std::move(data)); };
    auto fromOrigin = [&](const ClipboardSnapshot::Entry& item) {
        bool found = false;
        for (const auto& o : origins) {
            if (o.item == item) {
                add(o.source.target, o.source.sharedData());
                found = true;
            }
        }
        return found;
    };
    for (const auto& item : items) {
        if (item.type == pt::string) {
            // One buffer for every text target; Latin-1 differs only beyond ASCII.
            const Bytes text = bytes(item.data);
            std::string latin1 = toLatin1(item.data);
            add(mime::textUTF8, text);
            add(mime::utf8String, text);
            add(mime::textPlain, text);
            add(mime::string, latin1 == item.data ? text : bytes(std::move(latin1)));
            add(mime::text, text);
        } else if (item.type == pt::html) {
            add(mime::html, bytes(item.data));
            fromOrigin(item);  // and a text type that carried the same markup
        } else if (item.type == pt::markerType) {
            add(mime::processedMarker, nullptr);
        } else if (item.type == pt::originalMarkerType) {
            add(mime::originalMarker, nullptr);
        } else if (fromOrigin(item)) {
            continue;
        } else if (item.type == pt::rtf) {
            add(mime::rtf, bytes(item.data));
        } else if (item.type == pt::url) {
            add(mime::uriList, bytes(item.data + "\r\n"));
        } else if (item.type == pt::chromiumSourceURL) {
            add(mime::chromiumSourceURL, bytes(item.data));
        }
        // Concealed, file, image and name-only items have no form we serve.
    }
    return out;
}

}  // namespace dz::x11
