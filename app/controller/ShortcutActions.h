#pragma once
// What the shortcuts (and the tray menu and automation addresses, which share
// them) do: one-shot pastes in another format, clean-and-paste,
// copy-and-clean, conversions of the current copy, pause and resume,
// automatic cleaning on and off, and the default format.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controller/ClipState.h"
#include "app/input/HotKeyCenter.h"
#include "app/input/KeyboardSimulator.h"
#include "app/input/ShortcutAction.h"
#include "app/platform/Clipboard.h"
#include "app/platform/Platform.h"
#include "app/platform/Scheduler.h"
#include "app/settings/SettingsData.h"
#include "app/support/Observable.h"
#include "app/support/Signal.h"
#include "core/cleaner/CleanOutcome.h"
#include "core/options/OutputFormat.h"

namespace dz {

class AppSettings;
class ClipboardMonitor;
class CopyHandler;
class PasteSwitcher;

class ShortcutActions {
  public:
    // Timings, in seconds.
    static constexpr double cleanAndPasteDelay = 0.05;  // conversion to the paste key
    static constexpr double copyLookInterval = 0.02;    // copy and clean: looks at the clipboard
    static constexpr int copyLookAttempts = 50;
    static constexpr double maximumPauseMinutes = 525'600;  // a year
    // "Copy Keeping Formatting": how long the mark waits for its copy (the
    // typed copy key may wait for the shortcut's keys to come up, or the
    // user copies by hand).
    static constexpr double markedCopyWindow = 10;

    // The notice shown instead of pressing keys where that is impossible.
    static constexpr std::string_view cannotPressKeysNotice = "Dozuzavuvu can't press keys on this desktop.";
    // What a one-shot without keys tells the user to do, per rendition.
    static std::string_view pasteItNotice(OutputFormat format);

    // The rendition a one-shot paste writes, from the clip it applies to.
    using TargetFor = std::function<Written(const ClipState&)>;
    // Told what a conversion did once it is on the clipboard: a large copy
    // renders on the worker first, so that may be later.
    using Converted = std::function<void(CleanOutcome)>;

    // What the actions publish: the pause, refused shortcuts, and a notice
    // that the tray should look again.
    struct Published {
        Observable<std::optional<TimePoint>>& pausedUntil;
        Observable<std::vector<KeyCombo>>& failedShortcuts;
        Signal& stateChanged;
    };

    ShortcutActions(AppSettings& settings, const Platform& platform, CopyHandler& copies,
                    ClipboardMonitor& monitor, PasteSwitcher& pastes, Published published);
    ~ShortcutActions();
    ShortcutActions(const ShortcutActions&) = delete;
    ShortcutActions& operator=(const ShortcutActions&) = delete;

    void registerHotKeys(const SettingsData::Shortcuts& shortcuts);
    void perform(ShortcutAction action);
    // Where keys cannot be typed, the one-shot without keys (`offerOnce`).
    void pasteOnce(const TargetFor& target);
    // A one-shot paste without keys, for requests that may not press them:
    // the rendition is written for the next paste only, and a notice asks
    // the user to paste.
    void offerOnce(const TargetFor& target);
    // The rendition each one-shot action writes (`pasteOriginal`,
    // `pasteMarkdown`, `pastePDFFixed`); nothing for other actions.
    TargetFor oneShotTarget(ShortcutAction action);
    void cleanAndPaste();
    void copyAndClean();
    // Marks the next copy to keep its formatting and types the front
    // application's copy key; with `pressKeys` false (a link), or where no
    // key can be typed or the application has none, it only marks.
    void copyOriginal(bool pressKeys);
    void waitForPasteboardChange(int64_t from, int attempts, std::function<void(bool)> completion);
    void convert(const Written& target, bool pin, Converted done = {});
    void fixPDFLineBreaks(Converted done = {});
    void pause(double minutes);
    void resume();
    void toggleAutoClean();
    void setDefaultFormat(OutputFormat format);

    bool isPaused() const;
    HotKeyCenter& hotKeyCenter() { return hotKeys_; }

  private:
    // Runs `then` on the current clip once `target` is rendered for it: at
    // once when it is cached, else after the worker has made it. Dropped
    // when a newer copy comes first. False when there is no clip.
    bool withRendition(const Written& target, std::function<void(ClipState&)> then);
    bool withRendition(const TargetFor& target, std::function<void(ClipState&, const Written&)> then);
    bool ensureCanPressKeys();
    KeyboardSimulator::KeyStyle frontKeyStyle() const;
    // Puts `items` in the primary selection for a terminal without clipboard
    // keys, and types its paste key once they are there.
    void pasteThroughPrimary(Clipboard::Rendition items);

    AppSettings& settings_;
    Platform platform_;
    CopyHandler& copies_;
    ClipboardMonitor& monitor_;
    PasteSwitcher& pastes_;
    Published published_;
    HotKeyCenter hotKeys_;
    KeyboardSimulator keyboard_;
    Scheduler::TaskID pauseTimer_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace dz
