#include "app/controller/BrowserURLProvider.h"

#include "app/platform/PageAddressLookup.h"
#include "core/links/URLComponents.h"
#include "core/text/Unicode.h"

namespace dz {

const std::unordered_set<std::string_view>& BrowserURLProvider::safari() {
    static const std::unordered_set<std::string_view> ids{
        "com.apple.Safari",
        "com.apple.SafariTechnologyPreview",
        "com.kagi.kagimacOS",
        // WebKit on this desktop
        "org.gnome.Epiphany",
    };
    return ids;
}

const std::unordered_set<std::string_view>& BrowserURLProvider::chromium() {
    static const std::unordered_set<std::string_view> ids{
        "com.google.Chrome",
        "com.google.Chrome.beta",
        "com.google.Chrome.dev",
        "com.google.Chrome.canary",
        "com.brave.Browser",
        "com.brave.Browser.beta",
        "com.microsoft.edgemac",
        "com.microsoft.edgemac.Beta",
        "com.vivaldi.Vivaldi",
        "company.thebrowser.Browser",
        "org.chromium.Chromium",
        "com.operasoftware.Opera",
        "ai.perplexity.comet",
        "com.openai.atlas",
        // The same browsers' desktop-file ids here
        "chromium",
        "chromium-browser",
        "google-chrome",
        "google-chrome-beta",
        "brave-browser",
        "microsoft-edge",
        "vivaldi-stable",
        "opera",
    };
    return ids;
}

const std::unordered_set<std::string_view>& BrowserURLProvider::others() {
    static const std::unordered_set<std::string_view> ids{
        "org.mozilla.firefox",
        "org.mozilla.firefoxdeveloperedition",
        "org.mozilla.nightly",
        "app.zen-browser.zen",
        "net.waterfox.waterfox",
        "one.ablaze.floorp",
        // The same browsers' desktop-file ids here
        "firefox",
        "firefox-esr",
        "librewolf",
        "io.gitlab.librewolf-community",
        "app.zen_browser.zen",
    };
    return ids;
}

bool BrowserURLProvider::isBrowser(std::string_view bundleID) {
    return safari().count(bundleID) || chromium().count(bundleID) || others().count(bundleID);
}

std::optional<std::string> BrowserURLProvider::pageAddress(std::string_view found) {
    std::string trimmed(unicode::trimWhitespaceAndNewlines(found));
    if (auto url = URLComponents::parse(trimmed); url && url->hasHost() && !url->scheme.empty())
        return trimmed;
    return std::nullopt;
}

bool BrowserURLProvider::isOriginOnly(std::string_view address) {
    auto url = URLComponents::parse(unicode::trimWhitespaceAndNewlines(address));
    return url && url->hasHost() && (url->path.empty() || url->path == "/") && !url->query;
}

bool BrowserURLProvider::sameOrigin(std::string_view a, std::string_view b) {
    auto x = URLComponents::parse(unicode::trimWhitespaceAndNewlines(a));
    auto y = URLComponents::parse(unicode::trimWhitespaceAndNewlines(b));
    if (!x || !y || !x->hasHost() || !y->hasHost())
        return false;
    return unicode::lowercased(x->scheme) == unicode::lowercased(y->scheme) &&
           unicode::lowercased(*x->host) == unicode::lowercased(*y->host) && x->port == y->port;
}

BrowserURLProvider::BrowserURLProvider(PageAddressLookup& lookup, Scheduler& scheduler)
    : lookup_(lookup), scheduler_(scheduler) {}

BrowserURLProvider::~BrowserURLProvider() = default;

void BrowserURLProvider::currentURL(const std::string& bundleID, int32_t pid,
                                    std::function<void(std::optional<std::string>)> done) {
    if (cache_ && cache_->bundleID == bundleID && scheduler_.now() - cache_->time < cacheLifetime) {
        done(cache_->address);
        return;
    }
    // This desktop has no scripting step: the accessibility look-up is the
    // only source, within its own budget.
    std::weak_ptr<int> alive = alive_;
    lookup_.lookUp(bundleID, pid,
                   [this, alive, bundleID, done = std::move(done)](std::optional<std::string> found) {
                       if (alive.expired()) {
                           done(std::nullopt);
                           return;
                       }
                       std::optional<std::string> address = found ? pageAddress(*found) : std::nullopt;
                       if (address)
                           cache_ = CacheEntry{bundleID, *address, scheduler_.now()};
                       done(address);
                   });
}

}  // namespace dz
