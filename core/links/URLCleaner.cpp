#include "core/links/URLCleaner.h"

#include <utility>

#include "core/links/LinkDetector.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

bool isLowerLetters(std::string_view label, size_t minLength, size_t maxLength) {
    if (label.size() < minLength || label.size() > maxLength)
        return false;
    for (char c : label)
        if (c < 'a' || c > 'z')
            return false;
    return true;
}

bool startsWithIgnoringASCIICase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

// Full lower-casing maps no other character onto the letters of these
// schemes, so an ASCII comparison answers as "lower-cased begins with" does.
bool startsWithHTTP(std::string_view text) {
    return startsWithIgnoringASCIICase(text, "http://") || startsWithIgnoringASCIICase(text, "https://");
}

std::string decodedOrAsWritten(std::string_view text) {
    if (auto decoded = URLQueryItem::percentDecode(text))
        return std::move(*decoded);
    return std::string(text);
}

// A query item as views into the address; decoded forms are made only when a
// test needs them.
struct RawItem {
    std::string_view encoded;
    std::string_view encodedName;
    std::optional<std::string_view> encodedValue;
};

void splitQuery(std::string_view query, std::vector<RawItem>& items) {
    items.clear();
    if (query.empty())
        return;
    size_t start = 0;
    while (true) {
        size_t end = query.find('&', start);
        std::string_view piece = query.substr(start, end == std::string_view::npos ? end : end - start);
        RawItem item{piece, piece, std::nullopt};
        size_t eq = piece.find('=');
        if (eq != std::string_view::npos) {
            item.encodedName = piece.substr(0, eq);
            item.encodedValue = piece.substr(eq + 1);
        }
        items.push_back(item);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

bool isPlainLowerASCII(std::string_view text) {
    for (char c : text)
        if (c == '%' || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The item's name decoded (as written when it does not decode) and lower-cased;
// `storage` holds it unless the name as written already is that.
std::string_view lookupName(std::string_view encodedName, std::string& storage) {
    if (isPlainLowerASCII(encodedName))
        return encodedName;
    storage = unicode::lowercased(decodedOrAsWritten(encodedName));
    return storage;
}

// Whether the item's decoded name is exactly `name` (which holds no "%").
bool decodedNameEquals(std::string_view encodedName, std::string_view name) {
    if (encodedName.find('%') == std::string_view::npos)
        return encodedName == name;
    return decodedOrAsWritten(encodedName) == name;
}

struct Tables {
    URLCleaner::NameSet globalParameters;
    std::vector<std::string> globalPrefixes;
    std::vector<URLCleaner::SiteRule> siteRules;
    std::vector<URLCleaner::RedirectRule> redirectRules;
    size_t disqusRule = 0;
};

// Disqus appends ":" and a 27-character hash to the destination it carries.
constexpr size_t disqusHashLength = 27;

std::string withoutDisqusHash(std::string destination) {
    if (destination.size() <= disqusHashLength)
        return destination;
    size_t colon = destination.size() - disqusHashLength - 1;
    if (destination[colon] != ':')
        return destination;
    for (size_t i = colon + 1; i < destination.size(); ++i) {
        char c = destination[i];
        bool hashCharacter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                             c == '_' || c == '-';
        if (!hashCharacter)
            return destination;
    }
    destination.resize(colon);
    return destination;
}

// clang-format off
Tables buildTables() {
    using Site = URLCleaner::SiteRule;
    using Redirect = URLCleaner::RedirectRule;
    auto domain = URLCleaner::domain;
    Tables t;
    t.globalParameters = {
        "gclid", "gclsrc", "dclid", "gbraid", "wbraid", "gad_source", "gad_campaignid", "_ga", "_gl", "_gac",
        "srsltid", "ef_id", "s_kwcid", "fbclid", "fb_action_ids", "fb_action_types", "fb_source", "fb_ref",
        "action_object_map", "action_type_map", "action_ref_map", "igshid", "igsh", "msclkid", "cvid",
        "yclid", "ymclid", "ysclid", "_openstat", "ttclid", "twclid", "li_fat_id", "rdt_cid", "sccid", "epik",
        "mc_cid", "mc_eid", "_hsenc", "_hsmi", "__hssc", "__hstc", "__hsfp", "hsctatracking", "mkt_tok",
        "vero_conv", "vero_id", "oly_anon_id", "oly_enc_id", "rb_clickid", "ml_subscriber",
        "ml_subscriber_hash", "_bta_tid", "_bta_c", "vgo_ee", "wickedid", "sms_click", "sms_source", "sms_uph",
        "ss_source", "ss_campaign_id", "ss_campaign_name", "ss_campaign_sent_date", "ss_email_id",
        "ck_subscriber_id", "mkwid", "pcrid", "pkw", "pmt", "dm_i", "s_cid", "wt_mc", "wt.mc_id", "wt_zmc",
        "at_medium", "at_campaign", "at_custom1", "at_custom2", "at_custom3", "at_custom4", "at_creation",
        "at_send_date", "at_link", "at_link_id", "at_link_origin", "at_link_type", "at_ptr_name",
        "at_recipient_id", "at_recipient_list", "hmb_campaign", "hmb_medium", "hmb_source", "ncid", "icid",
        "cmpid", "ito", "sr_share", "irclickid", "irgwc", "clickid", "_branch_match_id", "_branch_referrer",
        "_kx", "tblci", "oborigurl", "dicbo", "zanpid", "affiliate_id", "cjevent", "cjdata", "awc", "spm",
        "scm", "trk_contact", "trk_msg", "trk_module", "trk_sid", "ref_src", "ref_url",
    };
    t.globalPrefixes = {"utm_", "pk_", "mtm_", "matomo_", "piwik_", "hsa_", "oft_", "__cft__", "__tn__", "_trk"};

    auto site = [](URLCleaner::HostPredicate matches, URLCleaner::NameSet parameters,
                   std::vector<std::string> prefixes = {}, bool dropQuery = false,
                   std::optional<std::vector<std::string>> pathPrefixes = std::nullopt) {
        return Site{std::move(matches), std::move(parameters), std::move(prefixes), dropQuery,
                    std::move(pathPrefixes)};
    };
    auto& s = t.siteRules;
    s.push_back(site(domain({"tiktok.com"}), {}, {}, true));
    s.push_back(site(domain({"x.com", "twitter.com"}), {"s", "t", "src", "cxt"}));
    s.push_back(site(domain({"youtube.com", "youtu.be"}),
                     {"si", "pp", "feature", "embeds_referring_euri", "embeds_referring_origin", "source_ve_path"}));
    s.push_back(site(domain({"open.spotify.com"}), {"si", "context", "nd", "dl_branch"}));
    s.push_back(site(domain({"music.apple.com", "podcasts.apple.com"}), {"ls", "at", "ct", "itscg", "itsct", "app"}));
    s.push_back(site(domain({"instagram.com", "threads.net", "threads.com"}), {"xmt", "img_index", "slof"}));
    s.push_back(site(domain({"facebook.com", "fb.com", "fb.watch", "messenger.com"}),
                     {"mibextid", "rdid", "share_url", "sfnsn", "ref", "fref", "hc_ref", "hc_location", "eid",
                      "refsrc", "paipv", "extid", "comment_tracking", "notif_id", "notif_t", "acontext", "aref",
                      "dti", "app", "privacy_mutation_token", "sk", "set", "locale2", "_rdc", "_rdr",
                      "story_fbid_ref"}));
    s.push_back(site(domain({"linkedin.com"}), {"trk", "trkinfo", "trackingid", "lipi", "midtoken", "midsig",
                                                "trkemail", "eid", "refid", "otptoken", "origin", "lici", "rcm"}));
    s.push_back(site(domain({"reddit.com", "redd.it"}),
                     {"share_id", "rdt", "ref", "ref_source", "ref_campaign", "correlation_id", "$deep_link",
                      "post_fullname", "post_index", "context"}));
    s.push_back(site(domain({"medium.com"}), {"source", "sk"}));
    s.push_back(site(domain({"substack.com"}), {"r", "triedredirect", "showwelcomeonshare", "publication_id",
                                                "post_id", "isfreemail"}));
    s.push_back(site(domain({"etsy.com"}),
                     {"click_key", "click_sum", "ref", "pro", "sts", "frs", "organic_search_click", "ls",
                      "sr_prefetch", "pf_from", "bes", "content_source", "logging_key", "variation0", "plkey"},
                     {"ga_"}));
    s.push_back(site(URLCleaner::isAmazon(),
                     {"ref", "ref_", "qid", "sr", "crid", "sprefix", "keywords", "dib", "dib_tag", "content-id",
                      "_encoding", "linkcode", "linkid", "tag", "ascsubtag", "social_share", "starsleft",
                      "skiptwisterog", "smid", "spia", "sbo", "creative", "creativeasin", "camp", "language"},
                     {"pd_rd_", "pf_rd_"}));
    s.push_back(site(URLCleaner::brand("ebay"),
                     {"_trkparms", "_trksid", "hash", "amdata", "mkcid", "mkrid", "campid", "toolid", "customid",
                      "mkevt", "itmmeta", "var", "epid"}));
    s.push_back(site(domain({"aliexpress.com", "aliexpress.ru"}),
                     {"algo_pvid", "algo_exp_id", "pdp_npi", "sourcetype", "gatewayadapt", "aff_fcid", "aff_fsk",
                      "aff_platform", "aff_trace_key", "terminal_id", "afsmartredirect", "pdp_ext_f", "gps-id",
                      "scm_id", "scm-url", "pvid", "btsid", "ws_ab_test", "_t", "sk"}));
    s.push_back(site(URLCleaner::brand("google"),
                     {"ved", "ei", "sca_esv", "sca_upv", "oq", "gs_lcrp", "gs_lp", "sourceid", "aqs", "sclient",
                      "uact", "iflsig", "rlz", "bih", "biw", "dpr", "gs_ssp", "sxsrf", "sa", "fbs", "client", "uds",
                      "stick", "sei", "ictx", "lei", "source", "gs_l"},
                     {}, false, std::vector<std::string>{"/search", "/webhp"}));
    s.push_back(site(domain({"bing.com"}), {"form", "sp", "pq", "sc", "qs", "sk", "ghsh", "ghacc", "ghpl", "lq"},
                     {}, false, std::vector<std::string>{"/search"}));
    s.push_back(site(domain({"pinterest.com"}), {"invite_code", "sender", "sfo"}));
    s.push_back(site(domain({"twitch.tv"}), {"tt_medium", "tt_content", "sr"}));
    s.push_back(site(domain({"nytimes.com"}), {"smid", "smtyp", "unlocked_article_code", "sgrp", "referringsource"}));
    s.push_back(site(domain({"bloomberg.com"}), {"srnd", "leadsource", "embedded-checkout"}));
    s.push_back(site(domain({"wsj.com"}), {"mod", "reflink", "st"}));
    s.push_back(site(domain({"walmart.com"}),
                     {"athbdg", "athcpid", "athpgid", "athznid", "athieid", "athstid", "athguid", "athwpid",
                      "athtvid", "athcgid", "athena", "classtype", "adsredirect", "from", "sid"}));

    auto& r = t.redirectRules;
    r.push_back(Redirect{URLCleaner::brand("google"), "/url", {"q", "url"}});
    r.push_back(Redirect{domain({"l.facebook.com", "lm.facebook.com", "l.messenger.com"}), "/l.php", {"u"}});
    r.push_back(Redirect{domain({"l.instagram.com", "l.threads.net", "l.threads.com"}), std::nullopt, {"u"}});
    r.push_back(Redirect{domain({"youtube.com"}), "/redirect", {"q"}});
    r.push_back(Redirect{domain({"t.umblr.com"}), "/redirect", {"z"}});
    r.push_back(Redirect{domain({"steamcommunity.com"}), "/linkfilter", {"url", "u"}});
    r.push_back(Redirect{domain({"slack-redir.net"}), "/link", {"url"}});
    r.push_back(Redirect{domain({"safelinks.protection.outlook.com"}), std::nullopt, {"url"}});
    t.disqusRule = r.size();
    r.push_back(Redirect{domain({"disq.us"}), "/url", {"url"}});
    r.push_back(Redirect{domain({"out.reddit.com"}), std::nullopt, {"url"}});
    return t;
}
// clang-format on

const Tables& tables() {
    static const Tables instance = buildTables();
    return instance;
}

bool hasAnyPrefix(std::string_view name, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes)
        if (name.starts_with(prefix))
            return true;
    return false;
}

// The decoded path, made once and only when a rule asks for it.
class LazyDecodedPath {
  public:
    explicit LazyDecodedPath(std::string_view encoded) : encoded_(encoded) {}
    std::string_view get() {
        if (encoded_.find('%') == std::string_view::npos)
            return encoded_;
        if (!decoded_)
            decoded_ = decodedOrAsWritten(encoded_);
        return *decoded_;
    }

  private:
    std::string_view encoded_;
    std::optional<std::string> decoded_;
};

std::optional<std::string> findRedirectTarget(const std::vector<RawItem>& items, std::string_view host,
                                              LazyDecodedPath& path) {
    const Tables& t = tables();
    for (size_t index = 0; index < t.redirectRules.size(); ++index) {
        const auto& rule = t.redirectRules[index];
        if (!rule.matches(host))
            continue;
        if (rule.path && !path.get().starts_with(*rule.path))
            continue;
        for (const auto& name : rule.parameter) {
            // Only the first item with the name counts.
            const RawItem* found = nullptr;
            for (const auto& item : items)
                if (decodedNameEquals(item.encodedName, name)) {
                    found = &item;
                    break;
                }
            if (!found || !found->encodedValue)
                continue;
            std::string value = decodedOrAsWritten(*found->encodedValue);
            if (!startsWithHTTP(value))
                continue;
            if (index == t.disqusRule)
                return withoutDisqusHash(std::move(value));
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

URLCleaner::HostPredicate URLCleaner::domain(std::vector<std::string> domains) {
    return [domains = std::move(domains)](std::string_view host) {
        for (const auto& d : domains) {
            if (host == d)
                return true;
            if (host.size() > d.size() && host.ends_with(d) && host[host.size() - d.size() - 1] == '.')
                return true;
        }
        return false;
    };
}

URLCleaner::HostPredicate URLCleaner::brand(std::string word) {
    return [word = std::move(word)](std::string_view host) {
        // The pattern's "$" also matches before one final line terminator.
        if (host.ends_with("\r\n"))
            host.remove_suffix(2);
        else if (host.ends_with("\u0085"))
            host.remove_suffix(2);
        else if (host.ends_with("\u2028") || host.ends_with("\u2029"))
            host.remove_suffix(3);
        else if (!host.empty() && host.back() >= '\n' && host.back() <= '\r')
            host.remove_suffix(1);
        // One and then two final labels of two or three letters, each time
        // preceded by the brand as a whole label.
        size_t end = host.size();
        for (int labels = 1; labels <= 2; ++labels) {
            if (end == 0)
                return false;
            size_t dot = host.rfind('.', end - 1);
            if (dot == std::string_view::npos || !isLowerLetters(host.substr(dot + 1, end - dot - 1), 2, 3))
                return false;
            end = dot;
            if (end >= word.size() && host.substr(end - word.size(), word.size()) == word &&
                (end == word.size() || host[end - word.size() - 1] == '.'))
                return true;
        }
        return false;
    };
}

const URLCleaner::HostPredicate& URLCleaner::isAmazon() {
    static const HostPredicate predicate = brand("amazon");
    return predicate;
}

const URLCleaner::NameSet& URLCleaner::globalParameters() {
    return tables().globalParameters;
}

const std::vector<std::string>& URLCleaner::globalPrefixes() {
    return tables().globalPrefixes;
}

const std::vector<URLCleaner::SiteRule>& URLCleaner::siteRules() {
    return tables().siteRules;
}

const std::vector<URLCleaner::RedirectRule>& URLCleaner::redirectRules() {
    return tables().redirectRules;
}

int URLCleaner::ruleCount() {
    const Tables& t = tables();
    size_t count = t.globalParameters.size() + t.globalPrefixes.size();
    for (const auto& rule : t.siteRules)
        count += rule.parameters.size() + rule.prefixes.size() + (rule.dropQuery ? 1 : 0);
    return static_cast<int>(count);
}

std::optional<std::string> URLCleaner::redirectTarget(const URLComponents& url, std::string_view host) {
    std::vector<RawItem> items;
    if (url.query)
        splitQuery(*url.query, items);
    LazyDecodedPath path(url.path);
    return findRedirectTarget(items, host, path);
}

std::string URLCleaner::clean(std::string_view urlString, bool removeTracking, bool unwrapRedirects,
                              int depth) {
    if (depth > 3 || (!removeTracking && !unwrapRedirects))
        return std::string(urlString);
    auto parsed = URLComponents::parse(urlString);
    if (!parsed || !parsed->hasHost())
        return std::string(urlString);
    const URLComponents& url = *parsed;
    std::string hostStorage;
    std::string_view host = *url.host;
    if (!isPlainLowerASCII(host)) {
        hostStorage = unicode::lowercased(decodedOrAsWritten(host));
        host = hostStorage;
    }
    LazyDecodedPath decodedPath(url.path);
    std::vector<RawItem> items;
    if (url.query)
        splitQuery(*url.query, items);

    if (unwrapRedirects) {
        if (auto destination = findRedirectTarget(items, host, decodedPath))
            return clean(*destination, removeTracking, true, depth + 1);
    }
    if (!removeTracking)
        return std::string(urlString);

    const Tables& t = tables();
    const SiteRule* rules[32];
    size_t ruleCount = 0;
    bool dropQuery = false;
    for (const auto& rule : t.siteRules) {
        if (!rule.matches(host))
            continue;
        if (rule.pathPrefixes) {
            bool any = false;
            for (const auto& prefix : *rule.pathPrefixes) any = any || decodedPath.get().starts_with(prefix);
            if (!any)
                continue;
        }
        if (ruleCount < std::size(rules))
            rules[ruleCount++] = &rule;
        dropQuery = dropQuery || rule.dropQuery;
    }

    bool changed = false;
    std::string_view path = url.path;
    std::string trimmedPath;
    if (isAmazon()(host)) {
        // The first "/ref=…" segment is a referral marker, not part of the page.
        size_t at = path.find("/ref=");
        if (at != std::string_view::npos) {
            size_t end = path.find('/', at + 1);
            trimmedPath = std::string(path.substr(0, at));
            if (end != std::string_view::npos)
                trimmedPath += path.substr(end);
            path = trimmedPath;
            changed = true;
        }
    }

    std::optional<std::string> query;
    bool queryChanged = false;
    if (!items.empty()) {
        std::string kept;
        size_t keptCount = 0;
        if (!dropQuery) {
            std::string storage;
            for (const auto& item : items) {
                std::string_view name = lookupName(item.encodedName, storage);
                bool remove = t.globalParameters.contains(name) || hasAnyPrefix(name, t.globalPrefixes);
                for (size_t i = 0; !remove && i < ruleCount; ++i)
                    remove = rules[i]->parameters.contains(name) || hasAnyPrefix(name, rules[i]->prefixes);
                if (remove)
                    continue;
                if (keptCount++ > 0)
                    kept.push_back('&');
                kept += item.encoded;
            }
        }
        if (keptCount < items.size()) {
            changed = queryChanged = true;
            if (keptCount > 0)
                query = std::move(kept);
        }
    }
    if (!changed)
        return std::string(urlString);

    // Everything before the path (scheme, user, host, port) is kept as written,
    // and so is every part that was not touched.
    size_t tail = url.path.size() + (url.query ? url.query->size() + 1 : 0) +
                  (url.fragment ? url.fragment->size() + 1 : 0);
    if (tail > urlString.size())
        return std::string(urlString);
    std::string result;
    result.reserve(urlString.size());
    result.append(urlString.substr(0, urlString.size() - tail));
    result.append(path);
    if (!queryChanged && url.query) {
        result.push_back('?');
        result += *url.query;
    } else if (query) {
        result.push_back('?');
        result += *query;
    }
    if (url.fragment) {
        result.push_back('#');
        result += *url.fragment;
    }
    return result;
}

std::string URLCleaner::cleanURLs(std::string_view text, bool removeTracking, bool unwrapRedirects) {
    if (LinkDetector::findHTTP(text) == std::string_view::npos)
        return std::string(text);
    if (text.find('?') == std::string_view::npos && text.find("/ref=") == std::string_view::npos)
        return std::string(text);
    // Links never overlap, so assembling the result front to back gives what
    // replacing them in place from the last one would, in linear time.
    std::string result;
    result.reserve(text.size());
    size_t copied = 0;
    for (const auto& link : LinkDetector::findLinks(text)) {
        std::string_view original = text.substr(link.location, link.length);
        if (!startsWithHTTP(original))
            continue;
        std::string cleaned = clean(original, removeTracking, unwrapRedirects, 0);
        if (cleaned == original)
            continue;
        result.append(text.substr(copied, link.location - copied));
        result += cleaned;
        copied = link.location + link.length;
    }
    result.append(text.substr(copied));
    return result;
}

}  // namespace dz
