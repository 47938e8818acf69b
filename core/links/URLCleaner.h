#pragma once
// Removes tracking parameters from web addresses and unwraps redirect links,
// on one address or on every address found in running text. Stateless: the
// rule tables are built once, on first use, and shared by every thread.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/links/URLComponents.h"
#include "core/links/URLQueryItem.h"

namespace dz {

class URLCleaner {
  public:
    // Answers for a lower-cased host.
    using HostPredicate = std::function<bool(std::string_view host)>;

    // Parameter names, looked up without building a string for each query item.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

    struct SiteRule {
        HostPredicate matches;
        NameSet parameters;  // lower case
        std::vector<std::string> prefixes;
        bool dropQuery = false;
        // Absent: every path. Present: the decoded path must begin with one of them.
        std::optional<std::vector<std::string>> pathPrefixes;
    };

    struct RedirectRule {
        HostPredicate matches;
        std::optional<std::string> path;     // prefix of the decoded path; absent means any
        std::vector<std::string> parameter;  // names that may carry the destination, in order
    };

    // A host equal to one of `domains` or ending with "." and one of them.
    static HostPredicate domain(std::vector<std::string> domains);
    // A host whose labels end with WORD followed by one or two labels of two or
    // three letters a-z; answers exactly as (^|\.)WORD(\.[a-z]{2,3}){1,2}$ searched
    // in the host.
    static HostPredicate brand(std::string word);
    static const HostPredicate& isAmazon();

    static const NameSet& globalParameters();
    static const std::vector<std::string>& globalPrefixes();
    static const std::vector<SiteRule>& siteRules();
    static const std::vector<RedirectRule>& redirectRules();

    // Rewrites every http(s) address found in `text`; everything else stays as it was.
    static std::string cleanURLs(std::string_view text, bool removeTracking, bool unwrapRedirects);
    // The cleaned address, or the input unchanged when there is nothing to do or
    // it does not parse. Callers pass depth 0.
    static std::string clean(std::string_view urlString, bool removeTracking, bool unwrapRedirects,
                             int depth = 0);
    // Names, prefixes and query-dropping rules in the tables.
    static int ruleCount();

    // The destination carried by a redirect wrapper, if any; `host` is the
    // address's host, lower-cased.
    static std::optional<std::string> redirectTarget(const URLComponents& url, std::string_view host);
};

}  // namespace dz
