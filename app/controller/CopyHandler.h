#pragma once
// Copy handling: turns each foreign copy the monitor reports into the clip
// the controller remembers, writes its base rendition, and is the only part
// that writes the clipboard. The other parts switch formats through `write`.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "app/controller/ClipState.h"
#include "app/controller/ClipboardMonitor.h"
#include "app/platform/Platform.h"
#include "app/rules/RuleDirection.h"
#include "app/support/Observable.h"
#include "core/cleaner/CleanOutcome.h"
#include "core/cleaner/PasteboardCleaner.h"
#include "core/script/JavaScriptTransformer.h"

namespace dz {

class AppSettings;
class BrowserURLProvider;
class PageAddressTracker;

class CopyHandler {
  public:
    static constexpr double scriptTimeout = 1.5;
    // Copies larger than this give their memory back once handled.
    static constexpr size_t largeCopyBytes = 1'048'576;

    // What a render's user script reported: the main thread publishes it.
    struct ScriptOutcome {
        bool ran = false;
        std::optional<std::string> error;
    };

    // What copy handling reads of, and reports to, the rest of the controller.
    struct Links {
        Observable<std::optional<LastCopy>>& lastCopy;
        Observable<std::optional<std::string>>& scriptError;
        // Whether automatic cleaning is paused now.
        std::function<bool()> isPaused;
        // Whether pasting applications are served renditions of their own.
        std::function<bool()> servesEachRequester;
        // A new copy arrived (a pending put-back is void).
        std::function<void()> copyArrived;
    };

    // `settings` and every service of `platform` must outlive the handler.
    CopyHandler(AppSettings& settings, const Platform& platform, ClipboardMonitor& monitor,
                BrowserURLProvider& browserURLs, PageAddressTracker& pageAddresses, Links links);
    ~CopyHandler();
    CopyHandler(const CopyHandler&) = delete;
    CopyHandler& operator=(const CopyHandler&) = delete;

    // One clipboard change reported by the monitor.
    void handle(const ClipboardChange& change, const Clipboard::Rendition& items);
    Resolution resolveCopy(const SourceInfo& source) const;
    // Renders the copy's base on the worker, then writes it, unless a newer
    // change came meanwhile.
    void applyCopy(ClipboardSnapshot snapshot, SourceInfo source, int64_t changeCount);
    // The only way the controller puts a rendition or the original on the clipboard.
    CleanOutcome write(ClipState& state, const Written& target);
    // The clip for what is on the clipboard now (a pending change handled
    // first); a fresh pinned capture when the clip is stale. Not stored.
    std::optional<ClipState> currentState();
    // The same kept as the clip, without copying it when it is current;
    // null when the clipboard holds nothing to work on.
    ClipState* currentClip();
    // Drops the render of the newest copy while it is still running: the
    // user has acted on the copy first.
    void cancelRender();
    // The items `write` would put on the clipboard for this target (the
    // original's for `original` or an unchanged rendition); nothing when the
    // copy has no text.
    std::optional<Clipboard::Rendition> renditionItems(ClipState& state, const Written& target);
    // The rendition of a target, from the clip's cache or rendered once into it.
    const RenderedClip* rendition(ClipState& state, const Written& target);
    // The default format without reflow; a stored `original` counts as plain.
    Written defaultTarget() const;
    // A cleaner for this target; its user script reports into `outcome`.
    PasteboardCleaner makeCleaner(const Written& target, const std::shared_ptr<ScriptOutcome>& outcome);
    // Calls `ready` on the main thread once the clip's rendition of `target`
    // is in its cache, rendering it on the worker when it is not (at once
    // when it is, or for the original). A clip replaced meanwhile is left
    // alone; `ready` runs all the same and must look again.
    void prepare(const Written& target, std::function<void()> ready);
    // Renders on the main thread and publishes what the script reported.
    std::optional<RenderedClip> render(const ClipboardSnapshot& snapshot, const Written& target);
    bool isPDFSource(const SourceInfo& source) const;
    bool needsBrowserURL(std::optional<std::string_view> bundleID, RuleDirection direction) const;
    void publishLastCopy(const SourceInfo& source, const CleanOutcome& outcome, std::string detail);

    // The controller's memory of the current clipboard content.
    const std::optional<ClipState>& clip() const { return clip_; }
    std::optional<ClipState>& clip() { return clip_; }

  private:
    // Shared with renders on the worker, which may outlive the handler.
    struct Engine {
        std::mutex lock;
        JavaScriptTransformer javaScript;
    };
    void finishCopy(ClipState state, const Resolution& resolution);
    void report(const ScriptOutcome& outcome);
    void setScriptError(std::optional<std::string> message);

    AppSettings& settings_;
    Platform platform_;
    ClipboardMonitor& monitor_;
    BrowserURLProvider& browserURLs_;
    PageAddressTracker& pageAddresses_;
    Links links_;
    std::shared_ptr<Engine> engine_ = std::make_shared<Engine>();
    std::optional<ClipState> clip_;
    std::shared_ptr<std::atomic<bool>> renderCancelled_;  // of the render in progress
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
