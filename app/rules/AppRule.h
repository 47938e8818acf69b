#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/rules/RuleDirection.h"
#include "app/rules/RuleFormat.h"
#include "app/rules/RuleKind.h"
#include "app/support/UUID.h"

namespace dz {

// Binds a format to an application or a website, for copies made there
// (`source`) or pastes into it (`destination`).
struct AppRule {
    UUID id = UUID::random();
    RuleDirection direction = RuleDirection::source;
    RuleKind kind = RuleKind::app;
    std::string bundleID;  // app rules only
    std::string name;      // app rules only
    std::string website;   // website rules only, normalised
    RuleFormat format = RuleFormat::useDefault;
    bool fixPDF = false;
    bool enabled = true;  // a disabled rule stays listed but never matches

    // Turns typed text into a site pattern: lower case, no scheme, no leading
    // "www.", no trailing slashes, nothing from the first "?" or "#" on. May
    // be empty.
    static std::string normalizedPattern(std::string_view typed);

    // Whether this website rule covers the page: the pattern's site and its
    // subdomains, and when the pattern has a path, pages whose path starts
    // with it (a plain prefix, not whole segments).
    bool matchesWebsite(std::string_view url) const;

    // The format a rule added from the settings window starts with.
    static RuleFormat startingFormat(RuleDirection direction, RuleKind kind, std::string_view bundleID = {});
    // A new enabled app rule with a fresh identifier and the starting format.
    static AppRule forApp(RuleDirection direction, std::string bundleID, std::string name);
    // A new enabled website rule for typed text; nothing when the text
    // normalises to nothing.
    static std::optional<AppRule> forWebsite(RuleDirection direction, std::string_view typed);

    // Every key, in declaration order.
    nlohmann::ordered_json toJSON() const;
    // Strict: every key is required, with its exact type and a known raw value.
    static std::optional<AppRule> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    bool operator==(const AppRule&) const = default;
};

// The rule that applies to a place. Enabled rules of the direction only; a
// website rule matching `url` wins over app rules (the longest pattern, then
// list order); otherwise the first app rule for exactly `bundleID`.
std::optional<AppRule> matchingRule(const std::vector<AppRule>& rules, RuleDirection direction,
                                    std::optional<std::string_view> bundleID,
                                    std::optional<std::string_view> url);

}  // namespace dz
