#pragma once
// An RFC 3986 address split into its components, each kept as the original
// text so that an address can be rebuilt byte for byte.

#include <optional>
#include <string>
#include <string_view>

namespace dz {

struct URLComponents {
    std::string scheme;  // without ":"; empty for a relative reference
    std::optional<std::string> userInfo;
    std::optional<std::string> host;  // as written (IPv6 without brackets)
    std::optional<std::string> port;
    std::string path;                     // percent-encoded, as written
    std::optional<std::string> query;     // after "?", as written; empty for a bare "?"
    std::optional<std::string> fragment;  // after "#", as written

    // Nothing when the text is not an RFC 3986 URI reference.
    static std::optional<URLComponents> parse(std::string_view text);

    bool hasHost() const { return host && !host->empty(); }

    bool operator==(const URLComponents&) const = default;
};

}  // namespace dz
