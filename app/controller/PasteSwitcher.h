#pragma once
// Paste-time switching: while the program owns the clipboard, each pasting
// application may receive its own rendition ("When pasting into" rules), and
// a one-shot paste puts the previous rendition back once the paster has it.
// Nothing here writes the clipboard except the put-back, through copy
// handling.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/controller/ClipState.h"
#include "app/platform/Clipboard.h"
#include "app/platform/Platform.h"
#include "app/platform/Scheduler.h"
#include "app/support/Observable.h"

namespace dz {

class AppSettings;
class BrowserURLProvider;
class ClipboardMonitor;
class CopyHandler;
class PageAddressTracker;

class PasteSwitcher {
  public:
    // Timings, in seconds.
    static constexpr double putBackDelay = 0.6;           // one-shot paste: key press to put-back
    static constexpr double putBackLimit = 5;             // …at the latest, for a slow paster
    static constexpr double pastePageLookupLimit = 0.25;  // a paste waits this long for the address
    static constexpr double nextPasteLimit = 10;          // one-shot without keys: its paste comes by then
    static constexpr double nextPasteGrace = 0.3;         // a paster reads its other types within this

    // `interceptorActive` is published here: whether requesters are served
    // renditions of their own.
    PasteSwitcher(AppSettings& settings, const Platform& platform, CopyHandler& copies,
                  ClipboardMonitor& monitor, BrowserURLProvider& browserURLs,
                  PageAddressTracker& pageAddresses, Observable<bool>& interceptorActive);
    ~PasteSwitcher();
    PasteSwitcher(const PasteSwitcher&) = delete;
    PasteSwitcher& operator=(const PasteSwitcher&) = delete;

    // Matches `interceptorActive` to the rules and the backend.
    void updateInterceptor();
    // One application asks for the clipboard (the backend's paste hook). A
    // pending copy is handled first; a pending put-back, no clip, a pinned
    // clip, a foreign change or this program itself get what is written;
    // otherwise the destination rule for the requester (and, for a browser,
    // its page address: the one followed from its window, else asked for
    // and waited for at most 0.25 s) picks the rendition it alone receives.
    // Nothing is written to the clipboard.
    void willPaste(const Clipboard::PasteRequest& request, Clipboard::PasteReply reply);
    // A request is over; `delivered`: the requester received data.
    void pasteFinished(const Clipboard::PasteRequest& request, bool delivered);

    // After a one-shot paste: `previous` goes back 0.6 s after the key press,
    // or, when the pasting application (`paster`, if known) has not fetched
    // the data by then, 0.3 s after its first transfer has finished (at most
    // 5 s after the press), so that a slow application, or one whose key came
    // late because the user held the shortcut, still gets what it asked for.
    void putBackLater(Written previous, std::optional<Clipboard::Party> paster);
    // After a one-shot without keys: what is written now is for the next
    // paste only, the first request within 10 s that receives data and is
    // neither a clipboard manager's nor this program's. `previous` goes back
    // 0.3 s after it (the rest of that paste), or after 10 s without one.
    void putBackAfterNextPaste(Written previous);
    // When one-shots follow each other, either put-back restores what was
    // there before the first.
    void cancelPutBack();
    bool isPutBackPending() const { return restore_ != nullptr; }

  private:
    struct PendingRestore {
        Written previous;
        std::optional<Clipboard::Party> paster;
        bool fetched = false;
        bool waitingForFetch = false;
        bool afterNextPaste = false;
        Scheduler::TaskID dueTimer = 0;
        Scheduler::TaskID limitTimer = 0;
    };
    std::optional<Written> destinationTarget(std::optional<std::string_view> bundleID,
                                             std::optional<std::string_view> url) const;
    // The items a requester gets for this target; nothing: what is written.
    std::optional<Clipboard::Rendition> renditionFor(const Written& target);
    void applyDestination(const Clipboard::PasteRequest& request, int64_t changeCount,
                          std::optional<std::string> url, const Clipboard::PasteReply& reply);
    void putBack();
    // Starts a pending put-back in place of any other, keeping what that
    // one would have restored.
    PendingRestore& restoreLater(Written previous);

    AppSettings& settings_;
    Platform platform_;
    CopyHandler& copies_;
    ClipboardMonitor& monitor_;
    BrowserURLProvider& browserURLs_;
    PageAddressTracker& pageAddresses_;
    Observable<bool>& interceptorActive_;
    std::unique_ptr<PendingRestore> restore_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
