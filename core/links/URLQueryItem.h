#pragma once
// One item of an address's query, in the form it was written and decoded.
// Items are split at "&"; name and value at the first "=". Decoding never
// turns "+" into a space.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

struct URLQueryItem {
    std::string encoded;  // the whole item as written ("name=value")
    std::string encodedName;
    std::optional<std::string> encodedValue;  // none when the item has no "="
    std::string name;                         // decoded; as written when it does not decode
    std::optional<std::string> value;         // decoded; as written when it does not decode

    // The items of a query as written after "?". An empty query has no items.
    static std::vector<URLQueryItem> split(std::string_view query);

    // Percent-decoding; nothing on a malformed escape or when the decoded
    // bytes are not valid UTF-8.
    static std::optional<std::string> percentDecode(std::string_view text);

    bool operator==(const URLQueryItem&) const = default;
};

}  // namespace dz
