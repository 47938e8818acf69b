#include "core/links/URLComponents.h"

#include <algorithm>

#include <uriparser/Uri.h>

namespace dz {

namespace {

std::string rangeText(const UriTextRangeA& r) {
    if (!r.first || !r.afterLast)
        return {};
    return std::string(r.first, static_cast<size_t>(r.afterLast - r.first));
}

bool hasRange(const UriTextRangeA& r) {
    return r.first != nullptr;
}

}  // namespace

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
    UriUriA uri;
    const char* errorPos = nullptr;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.empty())
        first = last = "";
    if (uriParseSingleUriExA(&uri, first, last, &errorPos) != URI_SUCCESS)
        return std::nullopt;

    // An empty authority ("http://", "file:///x") comes back as a host range
    // that points outside the text; the path then starts right after "//".
    bool emptyAuthority =
        hasRange(uri.hostText) && (uri.hostText.first < first || uri.hostText.afterLast > last);

    URLComponents c;
    c.scheme = rangeText(uri.scheme);
    if (hasRange(uri.userInfo))
        c.userInfo = rangeText(uri.userInfo);
    if (emptyAuthority)
        c.host = std::string();
    else if (hasRange(uri.hostText))
        c.host = rangeText(uri.hostText);
    if (hasRange(uri.portText))
        c.port = rangeText(uri.portText);
    if (hasRange(uri.query))
        c.query = rangeText(uri.query);
    if (hasRange(uri.fragment))
        c.fragment = rangeText(uri.fragment);

    // The path is the text between the authority and the query or fragment.
    const char* pathStart = first;
    if (hasRange(uri.scheme))
        pathStart = uri.scheme.afterLast + 1;
    if (emptyAuthority) {
        pathStart = std::min(pathStart + 2, last);
    } else if (hasRange(uri.hostText) || uri.hostData.ip6 || hasRange(uri.hostData.ipFuture)) {
        const char* authorityEnd = uri.hostText.afterLast;
        if (authorityEnd < last && *authorityEnd == ']')
            ++authorityEnd;
        if (hasRange(uri.portText))
            authorityEnd = uri.portText.afterLast;
        pathStart = authorityEnd;
    }
    const char* pathEnd = last;
    if (hasRange(uri.query))
        pathEnd = uri.query.first - 1;
    else if (hasRange(uri.fragment))
        pathEnd = uri.fragment.first - 1;
    if (pathEnd > pathStart)
        c.path.assign(pathStart, static_cast<size_t>(pathEnd - pathStart));
    // uriparser reports an empty query or fragment with a null range; look for the delimiter.
    if (!c.query && pathEnd < last && *pathEnd == '?')
        c.query = std::string();
    if (!c.fragment) {
        const char* hash = hasRange(uri.query) ? uri.query.afterLast : pathEnd;
        if (!c.query && pathEnd < last && *pathEnd == '?')
            hash = pathEnd + 1;
        if (hash < last && *hash == '#')
            c.fragment = std::string(hash + 1, last);
    }
    uriFreeUriMembersA(&uri);
    return c;
}

}  // namespace dz
