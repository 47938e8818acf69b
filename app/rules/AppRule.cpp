#include "app/rules/AppRule.h"

#include "app/rules/KnownApps.h"
#include "core/links/URLComponents.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Page paths are compared as the browser shows them, so escapes are decoded;
// a path that does not decode to UTF-8 is compared as written.
std::string decodedPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            out += path[i];
            continue;
        }
        int hi = i + 1 < path.size() ? unicode::hexDigitValue(path[i + 1]) : -1;
        int lo = i + 2 < path.size() ? unicode::hexDigitValue(path[i + 2]) : -1;
        if (hi < 0 || lo < 0)
            return std::string(path);
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!unicode::isValidUTF8(out))
        return std::string(path);
    return out;
}

// The host and path of a page address as a website rule sees them: host in
// lower case without one leading "www.", path decoded and lower-cased.
struct Page {
    std::string host;
    std::string path;
};

std::optional<Page> pageOf(std::string_view url) {
    auto components = URLComponents::parse(url);
    if (!components || !components->hasHost())
        return std::nullopt;
    Page page;
    page.host = unicode::lowercased(*components->host);
    if (startsWith(page.host, "www."))
        page.host.erase(0, 4);
    page.path = unicode::lowercased(decodedPath(components->path));
    return page;
}

bool websiteMatches(std::string_view website, const Page& page) {
    // Split at the first "/" after the site, ignoring leading slashes.
    size_t start = website.find_first_not_of('/');
    if (start == std::string_view::npos)
        return false;
    std::string_view rest = website.substr(start);
    size_t slash = rest.find('/');
    std::string_view site = rest.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);

    std::string_view host = page.host;
    bool hostMatches = host == site || (host.size() > site.size() && host.ends_with(site) &&
                                        host[host.size() - site.size() - 1] == '.');
    if (!hostMatches)
        return false;
    if (path.empty())
        return true;
    std::string_view pagePath = page.path;
    return pagePath.starts_with('/') && pagePath.substr(1).starts_with(path);
}

bool ruleMatches(const AppRule& rule, const Page& page) {
    return rule.kind == RuleKind::website && !rule.website.empty() && websiteMatches(rule.website, page);
}

}  // namespace

std::string AppRule::normalizedPattern(std::string_view typed) {
    std::string text = unicode::lowercased(unicode::trimWhitespaceAndNewlines(typed));
    if (size_t scheme = text.find("://"); scheme != std::string::npos)
        text.erase(0, scheme + 3);
    if (startsWith(text, "www."))
        text.erase(0, 4);
    while (!text.empty() && text.back() == '/') text.pop_back();
    if (size_t cut = text.find_first_of("?#"); cut != std::string::npos)
        text.erase(cut);
    return text;
}

bool AppRule::matchesWebsite(std::string_view url) const {
    if (kind != RuleKind::website || website.empty())
        return false;
    auto page = pageOf(url);
    return page && ruleMatches(*this, *page);
}

RuleFormat AppRule::startingFormat(RuleDirection direction, RuleKind kind, std::string_view bundleID) {
    if (direction == RuleDirection::source)
        return RuleFormat::original;
    if (kind == RuleKind::website)
        return RuleFormat::markdown;
    return KnownApps::isMarkdownApp(bundleID) ? RuleFormat::markdown : RuleFormat::plain;
}

AppRule AppRule::forApp(RuleDirection direction, std::string bundleID, std::string name) {
    AppRule rule;
    rule.direction = direction;
    rule.kind = RuleKind::app;
    rule.format = startingFormat(direction, RuleKind::app, bundleID);
    rule.bundleID = std::move(bundleID);
    rule.name = std::move(name);
    return rule;
}

std::optional<AppRule> AppRule::forWebsite(RuleDirection direction, std::string_view typed) {
    std::string pattern = normalizedPattern(typed);
    if (pattern.empty())
        return std::nullopt;
    AppRule rule;
    rule.direction = direction;
    rule.kind = RuleKind::website;
    rule.website = std::move(pattern);
    rule.format = startingFormat(direction, RuleKind::website);
    return rule;
}

nlohmann::ordered_json AppRule::toJSON() const {
    nlohmann::ordered_json j;
    j["id"] = id.string();
    j["direction"] = std::string(ruledirection::rawValue(direction));
    j["kind"] = std::string(rulekind::rawValue(kind));
    j["bundleID"] = bundleID;
    j["name"] = name;
    j["website"] = website;
    j["format"] = std::string(ruleformat::rawValue(format));
    j["fixPDF"] = fixPDF;
    j["enabled"] = enabled;
    return j;
}

namespace {

const nlohmann::json* requiredKey(const nlohmann::json& object, const char* key, std::string* error) {
    auto it = object.find(key);
    if (it == object.end()) {
        if (error)
            *error = std::string("a rule lacks \"") + key + "\"";
        return nullptr;
    }
    return &*it;
}

bool readString(const nlohmann::json& object, const char* key, std::string& out, std::string* error) {
    const nlohmann::json* value = requiredKey(object, key, error);
    if (!value)
        return false;
    if (!value->is_string()) {
        if (error)
            *error = std::string("a rule's \"") + key + "\" must be a string";
        return false;
    }
    out = value->get<std::string>();
    return true;
}

bool readBool(const nlohmann::json& object, const char* key, bool& out, std::string* error) {
    const nlohmann::json* value = requiredKey(object, key, error);
    if (!value)
        return false;
    if (!value->is_boolean()) {
        if (error)
            *error = std::string("a rule's \"") + key + "\" must be true or false";
        return false;
    }
    out = value->get<bool>();
    return true;
}

template <typename Enum, typename FromRaw>
bool readEnum(const nlohmann::json& object, const char* key, Enum& out, FromRaw fromRaw, std::string* error) {
    std::string raw;
    if (!readString(object, key, raw, error))
        return false;
    std::optional<Enum> value = fromRaw(raw);
    if (!value) {
        if (error)
            *error = std::string("a rule's \"") + key + "\" has an unknown value \"" + raw + "\"";
        return false;
    }
    out = *value;
    return true;
}

}  // namespace

std::optional<AppRule> AppRule::fromJSON(const nlohmann::json& json, std::string* error) {
    if (!json.is_object()) {
        if (error)
            *error = "a rule must be a JSON object";
        return std::nullopt;
    }
    AppRule rule;
    std::string id;
    if (!readString(json, "id", id, error))
        return std::nullopt;
    std::optional<UUID> uuid = UUID::parse(id);
    if (!uuid) {
        if (error)
            *error = "a rule's \"id\" is not a UUID: \"" + id + "\"";
        return std::nullopt;
    }
    rule.id = *uuid;
    bool ok = readEnum(json, "direction", rule.direction, ruledirection::fromRaw, error) &&
              readEnum(json, "kind", rule.kind, rulekind::fromRaw, error) &&
              readString(json, "bundleID", rule.bundleID, error) &&
              readString(json, "name", rule.name, error) &&
              readString(json, "website", rule.website, error) &&
              readEnum(json, "format", rule.format, ruleformat::fromRaw, error) &&
              readBool(json, "fixPDF", rule.fixPDF, error) && readBool(json, "enabled", rule.enabled, error);
    if (!ok)
        return std::nullopt;
    return rule;
}

std::optional<AppRule> matchingRule(const std::vector<AppRule>& rules, RuleDirection direction,
                                    std::optional<std::string_view> bundleID,
                                    std::optional<std::string_view> url) {
    if (url) {
        if (auto page = pageOf(*url)) {
            const AppRule* best = nullptr;
            size_t bestLength = 0;
            for (const AppRule& rule : rules) {
                if (!rule.enabled || rule.direction != direction || !ruleMatches(rule, *page))
                    continue;
                size_t length = unicode::characterCount(rule.website);
                if (!best || length > bestLength) {
                    best = &rule;
                    bestLength = length;
                }
            }
            if (best)
                return *best;
        }
    }
    if (!bundleID)
        return std::nullopt;
    for (const AppRule& rule : rules)
        if (rule.enabled && rule.direction == direction && rule.kind == RuleKind::app &&
            rule.bundleID == *bundleID)
            return rule;
    return std::nullopt;
}

}  // namespace dz
