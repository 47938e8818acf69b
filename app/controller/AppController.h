#pragma once
// The program's brain: reacts to copies, pastes, shortcuts, automation
// addresses and menu commands. Owns the clipboard monitor, the paste decision,
// the user-script transformer, the current clip with its renditions, the
// pending put-back, the pause timer and the published state. Single-threaded:
// every call happens on the main thread. Build one per program (or as many as
// a test likes) and pass it where it is needed.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controller/BrowserURLProvider.h"
#include "app/controller/ClipState.h"
#include "app/controller/ClipboardMonitor.h"
#include "app/input/HotKeyCenter.h"
#include "app/input/KeyboardSimulator.h"
#include "app/input/ShortcutAction.h"
#include "app/platform/Clipboard.h"
#include "app/platform/Platform.h"
#include "app/platform/Scheduler.h"
#include "app/rules/RuleDirection.h"
#include "app/settings/SettingsData.h"
#include "app/support/Observable.h"
#include "app/support/Signal.h"
#include "core/cleaner/CleanOutcome.h"
#include "core/cleaner/PasteboardCleaner.h"
#include "core/options/OutputFormat.h"
#include "core/script/JavaScriptTransformer.h"

namespace dz {

class AppSettings;

class AppController {
  public:
    // Timings, in seconds.
    static constexpr double putBackDelay = 0.6;         // one-shot paste: key press to put-back
    static constexpr double putBackLimit = 5;           // …at the latest, for a slow paster
    static constexpr double cleanAndPasteDelay = 0.05;  // conversion to the paste key
    static constexpr double copyLookInterval = 0.02;    // copy and clean: looks at the clipboard
    static constexpr int copyLookAttempts = 50;
    static constexpr double interceptorRecheck = 3;
    static constexpr double pastePageLookupLimit = 0.25;  // a paste waits this long for the address
    static constexpr double scriptTimeout = 1.5;
    static constexpr double maximumPauseMinutes = 525'600;  // a year

    // What the Try-it tab shows: the plain text that would be pasted (none:
    // the copy as copied), and why.
    struct Simulation {
        std::optional<std::string> output;
        std::string explanation;
        bool operator==(const Simulation&) const = default;
    };

    // `settings` and every service of `platform` must outlive the controller.
    AppController(AppSettings& settings, const Platform& platform);
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Connects the monitor, the paste hook, the settings subscriptions and the
    // 3-second re-check. Once.
    void start();

    // ---- Copies
    // One clipboard change reported by the monitor.
    void handle(const ClipboardChange& change);
    Resolution resolveCopy(const SourceInfo& source) const;
    void applyCopy(const ClipboardSnapshot& snapshot, SourceInfo source, int64_t changeCount);
    // The only way the controller puts a rendition or the original on the clipboard.
    CleanOutcome write(ClipState& state, const Written& target);
    // The clip for what is on the clipboard now (a pending change handled
    // first); a fresh pinned capture when the clip is stale. Not stored.
    std::optional<ClipState> currentState();
    // The default format without reflow; a stored `original` counts as plain.
    Written defaultTarget() const;
    PasteboardCleaner makeCleaner(const Written& target);
    bool isPDFSource(const SourceInfo& source) const;
    bool needsBrowserURL(std::optional<std::string_view> bundleID, RuleDirection direction) const;

    // ---- Pastes
    // Matches `interceptorActive` to the rules and the backend.
    void updateInterceptor();
    // One application asks for the clipboard (the backend's paste hook). A
    // pending copy is handled first; a pending put-back, no clip, a pinned
    // clip, a foreign change or this program itself get what is written;
    // otherwise the destination rule for the requester (and, for a browser,
    // its page address, waited for at most 0.25 s) picks the rendition it
    // alone receives. Nothing is written to the clipboard.
    void willPaste(const Clipboard::PasteRequest& request, Clipboard::PasteReply reply);

    // ---- Automation addresses ("dozuzavuvu://toggle" …)
    void handle(std::string_view url);

    // ---- Shortcut actions and commands
    void registerHotKeys(const SettingsData::Shortcuts& shortcuts);
    void perform(ShortcutAction action);
    void pasteOnce(const std::function<Written(const ClipState&)>& target);
    void cleanAndPaste();
    void copyAndClean();
    void waitForPasteboardChange(int64_t from, int attempts, std::function<void(bool)> completion);
    CleanOutcome convert(const Written& target, bool pin);
    CleanOutcome fixPDFLineBreaks();
    void pause(double minutes);
    void resume();
    void toggleAutoClean();
    void setDefaultFormat(OutputFormat format);

    // ---- Try it: reads the rules and renders, never writes anything.
    Simulation simulate(const ClipboardSnapshot& snapshot, const SourceInfo& source,
                        std::optional<std::string> destinationBundleID,
                        std::optional<std::string> destinationURL, std::optional<OutputFormat> override);

    // ---- Published state (subscribers get the current value at once)
    Observable<std::optional<LastCopy>> lastCopy;
    Observable<std::optional<TimePoint>> pausedUntil;
    Observable<std::optional<std::string>> scriptError;
    Observable<std::vector<KeyCombo>> failedShortcuts;
    Observable<bool> interceptorActive{false};
    // The tray should look again: pause, resume, and changes of automatic
    // cleaning, the default format or the icon's visibility.
    Signal stateChanged;
    // The user asked for the settings window (an automation address); the
    // program opens it keeping its current tab.
    Signal settingsRequested;

    // ---- Reading
    const std::optional<ClipState>& clip() const { return clip_; }
    bool isPaused() const;
    bool isPutBackPending() const { return restore_ != nullptr; }
    AppSettings& settings() const { return settings_; }
    const Platform& platform() const { return platform_; }
    HotKeyCenter& hotKeyCenter() { return hotKeys_; }
    ClipboardMonitor& monitor() { return monitor_; }
    BrowserURLProvider& browserURLs() { return browserURLs_; }

    // The notice shown instead of pressing keys where that is impossible.
    static constexpr std::string_view cannotPressKeysNotice = "Dozuzavuvu can't press keys on this desktop.";

  private:
    // The put-back of a one-shot paste: the previous rendition goes back
    // 0.6 s after the key press, or, when the pasting application has not
    // fetched the data by then, as soon as its transfer has finished (at most
    // 5 s after the press), so that a slow application still gets what it
    // asked for.
    struct PendingRestore {
        Written previous;
        std::optional<Clipboard::Party> paster;
        bool fetched = false;
        bool waitingForFetch = false;
        Scheduler::TaskID dueTimer = 0;
        Scheduler::TaskID limitTimer = 0;
    };
    void publishLastCopy(const SourceInfo& source, const CleanOutcome& outcome, std::string detail);
    // The rendition of a target, from the cache or rendered once into it.
    const RenderedClip* rendition(ClipState& state, const Written& target);
    // The items a requester gets for this target; nothing: what is written.
    std::optional<Clipboard::Rendition> renditionFor(const Written& target);
    std::optional<Written> destinationTarget(std::optional<std::string_view> bundleID,
                                             std::optional<std::string_view> url) const;
    void applyDestination(const Clipboard::PasteRequest& request, int64_t changeCount,
                          std::optional<std::string> url, const Clipboard::PasteReply& reply);
    void pasteFinished(const Clipboard::PasteRequest& request);
    void putBack();
    void cancelPutBack();
    bool ensureCanPressKeys();
    std::optional<std::string> frontmostID() const;
    void setScriptError(std::optional<std::string> message);
    std::function<void()> guarded(std::function<void()> task);

    AppSettings& settings_;
    Platform platform_;
    ClipboardMonitor monitor_;
    BrowserURLProvider browserURLs_;
    HotKeyCenter hotKeys_;
    KeyboardSimulator keyboard_;
    JavaScriptTransformer javaScript_;
    std::vector<Observable<SettingsData>::Subscription> subscriptions_;
    Scheduler::TaskID recheckTimer_ = 0;
    Scheduler::TaskID pauseTimer_ = 0;
    std::unique_ptr<PendingRestore> restore_;
    std::optional<ClipState> clip_;
    bool started_ = false;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
