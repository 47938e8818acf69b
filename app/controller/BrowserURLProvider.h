#pragma once
// The address of the page in a browser's front tab, for website rules. Knows
// which applications are browsers, keeps the last answer for a moment so that
// a copy followed by a paste in the same browser costs one look-up, and never
// remembers a failure.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "app/platform/Scheduler.h"

namespace dz {

class PageAddressLookup;

class BrowserURLProvider {
  public:
    static constexpr double cacheLifetime = 1.5;  // seconds

    // Browsers by family, each with the other desktop's identifiers and this
    // one's desktop-file ids. Their union is what counts as a browser.
    static const std::unordered_set<std::string_view>& safari();
    static const std::unordered_set<std::string_view>& chromium();
    static const std::unordered_set<std::string_view>& others();
    static bool isBrowser(std::string_view bundleID);

    // What a look-up found, as a page address: trimmed, with a scheme and a
    // host; otherwise nothing.
    static std::optional<std::string> pageAddress(std::string_view found);
    // An address that names a site but no page (no path beyond "/", no
    // query), as Firefox puts with its copies: it does not say which page.
    static bool isOriginOnly(std::string_view address);
    // Whether two addresses have the same scheme, host and port.
    static bool sameOrigin(std::string_view a, std::string_view b);

    BrowserURLProvider(PageAddressLookup& lookup, Scheduler& scheduler);
    ~BrowserURLProvider();
    BrowserURLProvider(const BrowserURLProvider&) = delete;
    BrowserURLProvider& operator=(const BrowserURLProvider&) = delete;

    // The front tab's address of the browser `bundleID` running as `pid`:
    // from the cache when this browser was asked less than 1.5 s ago (then
    // `done` runs at once), else from the desktop's look-up. `done` gets an
    // address with a host, or nothing. Main thread.
    void currentURL(const std::string& bundleID, int32_t pid,
                    std::function<void(std::optional<std::string>)> done);

    struct CacheEntry {
        std::string bundleID;
        std::string address;
        TimePoint time;
    };
    const std::optional<CacheEntry>& cache() const { return cache_; }

  private:
    PageAddressLookup& lookup_;
    Scheduler& scheduler_;
    std::optional<CacheEntry> cache_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
