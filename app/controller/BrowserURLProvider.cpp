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
    lookup_.lookUp(
        bundleID, pid, [this, alive, bundleID, done = std::move(done)](std::optional<std::string> found) {
            if (alive.expired()) {
                done(std::nullopt);
                return;
            }
            std::optional<std::string> address;
            if (found) {
                std::string trimmed(unicode::trimWhitespaceAndNewlines(*found));
                if (auto url = URLComponents::parse(trimmed); url && url->hasHost() && !url->scheme.empty())
                    address = trimmed;
            }
            if (address)
                cache_ = CacheEntry{bundleID, *address, scheduler_.now()};
            done(address);
        });
}

}  // namespace dz
