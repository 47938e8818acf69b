#pragma once
// Finds absolute http and https addresses in running text.
//
// An address starts at "http://" or "https://" (any case) not preceded by a
// letter or digit, with a letter, digit, "[" or non-ASCII character after the
// "//". It runs to white space, a control or bidirectional mark, "<", ">",
// non-ASCII punctuation (such as "…", "。", "”", "»", "」", "）", "—"), a closing
// bracket that matches nothing opened inside it, or a "'" in the host. Then,
// until nothing changes: trailing . , : ; ! ? " ' are trimmed, a closing
// bracket while the address holds more of it than of its opener, and a run
// of "*", "_" or "~" that mirrors the one written just before the address
// (Markdown emphasis around a link).

#include <cstddef>
#include <string_view>
#include <vector>

namespace dz {

class LinkDetector {
  public:
    // A found address as a byte range of the UTF-8 text (the equivalent of a
    // UTF-16 range: it always starts and ends on code point boundaries).
    struct Link {
        size_t location = 0;
        size_t length = 0;
        bool operator==(const Link&) const = default;
    };

    // Every address in `text`, in order, never overlapping.
    static std::vector<Link> findLinks(std::string_view text);

    // Where "http" in any case first occurs at or after `from`; npos when
    // nowhere. Fast enough to serve as the quick exit for long prose.
    static size_t findHTTP(std::string_view text, size_t from = 0);
};

}  // namespace dz
