// The controller's user commands: shortcut actions, one-shot pastes,
// conversions, pause and resume, automatic cleaning, the default format.
#include "app/controller/ShortcutActions.h"

#include <cmath>
#include <utility>

#include "app/controller/ClipboardMonitor.h"
#include "app/controller/CopyHandler.h"
#include "app/controller/PasteSwitcher.h"
#include "app/platform/KeystrokeSender.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"
#include "app/settings/AppSettings.h"
#include "app/support/Guarded.h"

namespace dz {

ShortcutActions::ShortcutActions(AppSettings& settings, const Platform& platform, CopyHandler& copies,
                                 ClipboardMonitor& monitor, PasteSwitcher& pastes, Published published)
    : settings_(settings),
      platform_(platform),
      copies_(copies),
      monitor_(monitor),
      pastes_(pastes),
      published_(published),
      hotKeys_(platform.hotKeys),
      keyboard_(platform.keystrokes) {}

ShortcutActions::~ShortcutActions() {
    alive_.reset();
    platform_.scheduler.cancel(pauseTimer_);
}

void ShortcutActions::registerHotKeys(const SettingsData::Shortcuts& shortcuts) {
    std::vector<std::pair<KeyCombo, HotKeyCenter::Action>> hotKeys;
    for (ShortcutAction action : shortcutaction::allCases) {
        auto it = shortcuts.find(shortcutaction::rawValue(action));
        if (it != shortcuts.end())
            hotKeys.emplace_back(it->second, guarded(alive_, [this, action] { perform(action); }));
    }
    published_.failedShortcuts.publish(hotKeys_.setHotKeys(hotKeys));
}

std::string_view ShortcutActions::pasteItNotice(OutputFormat format) {
    switch (format) {
        case OutputFormat::plain:
            return "Press Ctrl+V to paste as plain text.";
        case OutputFormat::plainWithLinks:
            return "Press Ctrl+V to paste with its links.";
        case OutputFormat::markdown:
            return "Press Ctrl+V to paste as Markdown.";
        case OutputFormat::original:
            break;
    }
    return "Press Ctrl+V to paste with its formatting.";
}

ShortcutActions::TargetFor ShortcutActions::oneShotTarget(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
            return [](const ClipState&) { return Written::original(); };
        case ShortcutAction::pasteMarkdown:
            return [](const ClipState& state) { return Written{OutputFormat::markdown, state.base.reflow}; };
        case ShortcutAction::pastePDFFixed:
            return [this](const ClipState& state) {
                OutputFormat format = state.base.format == OutputFormat::original
                                          ? copies_.defaultTarget().format
                                          : state.base.format;
                return Written{format, true};
            };
        default:
            return nullptr;
    }
}

void ShortcutActions::perform(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
        case ShortcutAction::pasteMarkdown:
        case ShortcutAction::pastePDFFixed:
            pasteOnce(oneShotTarget(action));
            return;
        case ShortcutAction::cleanAndPaste:
            cleanAndPaste();
            return;
        case ShortcutAction::cleanClipboard:
            convert(copies_.defaultTarget(), false);
            return;
        case ShortcutAction::copyAndClean:
            copyAndClean();
            return;
        case ShortcutAction::toggleAutoClean:
            toggleAutoClean();
            return;
        case ShortcutAction::pauseFiveMinutes:
            if (isPaused())
                resume();
            else
                pause(5);
            return;
        case ShortcutAction::cycleFormat:
            setDefaultFormat(outputformat::next(settings_.data().defaultFormat));
            return;
        case ShortcutAction::copyOriginal:
            copyOriginal(true);
            return;
    }
}

bool ShortcutActions::ensureCanPressKeys() {
    if (keyboard_.canPressKeys())
        return true;
    platform_.system.notify(std::string(cannotPressKeysNotice));
    return false;
}

bool ShortcutActions::withRendition(const TargetFor& target,
                                    std::function<void(ClipState&, const Written&)> then) {
    copies_.cancelRender();
    ClipState* clip = copies_.currentClip();
    if (!clip)
        return false;
    const Written wanted = target(*clip);
    const int64_t changeCount = clip->changeCount;
    copies_.prepare(wanted, guarded(alive_, [this, wanted, changeCount, then = std::move(then)] {
                        auto& current = copies_.clip();
                        if (current && current->changeCount == changeCount)
                            then(*current, wanted);
                    }));
    return true;
}

bool ShortcutActions::withRendition(const Written& target, std::function<void(ClipState&)> then) {
    return withRendition([target](const ClipState&) { return target; },
                         [then = std::move(then)](ClipState& clip, const Written&) { then(clip); });
}

KeyboardSimulator::KeyStyle ShortcutActions::frontKeyStyle() const {
    return KeyboardSimulator::keyStyle(platform_.workspace.frontmostApplication());
}

void ShortcutActions::pasteThroughPrimary(Clipboard::Rendition items) {
    if (!platform_.clipboard.hasPrimarySelection()) {
        platform_.system.beep();
        return;
    }
    std::weak_ptr<int> alive = alive_;
    platform_.clipboard.offerPrimaryOnce(std::move(items), [this, alive](bool ready) {
        if (alive.expired())
            return;
        if (ready)
            keyboard_.pressPaste(KeyboardSimulator::KeyStyle::selectionTerminal);
        else
            platform_.system.beep();
    });
}

void ShortcutActions::pasteOnce(const TargetFor& target) {
    // Where no key can be typed, or it would reach no window (a native
    // Wayland application in front of Xwayland's), the user's own Ctrl+V
    // takes the rendition.
    if (!keyboard_.canPressKeys() ||
        (platform_.keystrokes.reachesKnownWindowsOnly() && !platform_.workspace.frontmostApplication())) {
        offerOnce(target);
        return;
    }
    const bool any = withRendition(target, [this](ClipState& clip, const Written& wanted) {
        std::optional<Workspace::RunningApplication> front = platform_.workspace.frontmostApplication();
        const KeyboardSimulator::KeyStyle style = KeyboardSimulator::keyStyle(front);
        if (style == KeyboardSimulator::KeyStyle::selectionTerminal) {
            // The terminal pastes the primary selection; the clipboard stays as it is.
            std::optional<Clipboard::Rendition> items = copies_.renditionItems(clip, wanted);
            if (!items) {
                platform_.system.beep();
                return;
            }
            pasteThroughPrimary(std::move(*items));
            return;
        }
        const Written previous = clip.written;
        copies_.write(clip, wanted);
        std::optional<Clipboard::Party> paster;
        if (front && platform_.clipboard.canIdentifyRequesters())
            paster = Clipboard::Party{front->bundleID, front->pid};
        const int64_t written = clip.changeCount;
        platform_.clipboard.afterPublished(guarded(alive_, [this, style, previous, paster, written] {
            // A copy that came meanwhile is not pasted for the user.
            if (platform_.clipboard.changeCount() != written)
                return;
            keyboard_.pressPaste(style);
            pastes_.putBackLater(previous, paster);
        }));
    });
    if (!any)
        platform_.system.beep();
}

void ShortcutActions::offerOnce(const TargetFor& target) {
    const bool any = withRendition(target, [this](ClipState& clip, const Written& wanted) {
        const Written previous = clip.written;
        CleanOutcome outcome = copies_.write(clip, wanted);
        if (outcome == CleanOutcome::skipped(SkipReason::noText)) {
            platform_.system.beep();
            return;
        }
        pastes_.putBackAfterNextPaste(previous);
        platform_.system.notify(std::string(pasteItNotice(wanted.format)));
    });
    if (!any)
        platform_.system.beep();
}

void ShortcutActions::cleanAndPaste() {
    const Written plain{OutputFormat::plain, copies_.clip() ? copies_.clip()->base.reflow : false};
    // The conversion's completions run inside its own guarded one.
    if (!keyboard_.canPressKeys()) {
        // The plain text stays pinned until the next copy: the user pastes it.
        convert(plain, true, [this](CleanOutcome outcome) {
            if (outcome != CleanOutcome::skipped(SkipReason::noText))
                platform_.system.notify(std::string(pasteItNotice(OutputFormat::plain)));
        });
        return;
    }
    convert(plain, true, [this](CleanOutcome) {
        platform_.clipboard.afterPublished(guarded(alive_, [this] {
            platform_.scheduler.after(cleanAndPasteDelay, guarded(alive_, [this] {
                                          const KeyboardSimulator::KeyStyle style = frontKeyStyle();
                                          if (style == KeyboardSimulator::KeyStyle::selectionTerminal)
                                              pasteThroughPrimary(platform_.clipboard.contents().items);
                                          else
                                              keyboard_.pressPaste(style);
                                      }));
        }));
    });
}

void ShortcutActions::copyOriginal(bool pressKeys) {
    // Marked first: the copy the key brings may come at once.
    monitor_.bypassNextCopy(markedCopyWindow);
    if (pressKeys && keyboard_.canPressKeys())
        keyboard_.pressCopy(frontKeyStyle());
}

void ShortcutActions::copyAndClean() {
    if (!ensureCanPressKeys())
        return;
    const int64_t from = platform_.clipboard.changeCount();
    if (!keyboard_.pressCopy(frontKeyStyle())) {
        // A terminal without a copy key: nothing can be copied for the user.
        platform_.system.beep();
        return;
    }
    if (platform_.clipboard.changeCount() != from) {
        convert(copies_.defaultTarget(), false);
        return;
    }
    platform_.scheduler.after(copyLookInterval, guarded(alive_, [this, from] {
                                  waitForPasteboardChange(from, copyLookAttempts - 1, [this](bool changed) {
                                      if (changed)
                                          convert(copies_.defaultTarget(), false);
                                      else
                                          platform_.system.beep();
                                  });
                              }));
}

void ShortcutActions::waitForPasteboardChange(int64_t from, int attempts,
                                              std::function<void(bool)> completion) {
    if (platform_.clipboard.changeCount() != from) {
        completion(true);
        return;
    }
    if (attempts > 0) {
        platform_.scheduler.after(copyLookInterval,
                                  guarded(alive_, [this, from, attempts, completion = std::move(completion)] {
                                      waitForPasteboardChange(from, attempts - 1, completion);
                                  }));
        return;
    }
    completion(false);
}

void ShortcutActions::convert(const Written& target, bool pin, Converted done) {
    const bool any = withRendition(target, [this, target, pin, done](ClipState& clip) {
        if (!pin) {
            clip.base = target;
            clip.baseFromDefault = target == copies_.defaultTarget();
        }
        clip.pinned = pin;
        CleanOutcome outcome = copies_.write(clip, target);
        copies_.publishLastCopy(
            clip.source, outcome,
            outcome.kind() == CleanOutcome::Kind::cleaned ? target.title() : outcome.label());
        if (done)
            done(outcome);
    });
    if (!any) {
        platform_.system.beep();
        if (done)
            done(CleanOutcome::skipped(SkipReason::noText));
    }
}

void ShortcutActions::fixPDFLineBreaks(Converted done) {
    OutputFormat format = copies_.clip() ? copies_.clip()->written.format : copies_.defaultTarget().format;
    if (format == OutputFormat::original)
        format = copies_.defaultTarget().format;
    convert(Written{format, true}, true, std::move(done));
}

void ShortcutActions::pause(double minutes) {
    // Nonsense never becomes an endless or broken pause: not a number means
    // the usual five minutes, and a year is the longest.
    if (!std::isfinite(minutes))
        minutes = 5;
    if (minutes > maximumPauseMinutes)
        minutes = maximumPauseMinutes;
    const double seconds = minutes * 60;
    published_.pausedUntil.publish(platform_.scheduler.now() + seconds);
    platform_.scheduler.cancel(pauseTimer_);
    pauseTimer_ = platform_.scheduler.after(seconds, guarded(alive_, [this] {
                                                pauseTimer_ = 0;
                                                resume();
                                            }));
    published_.stateChanged.send();
}

void ShortcutActions::resume() {
    platform_.scheduler.cancel(pauseTimer_);
    pauseTimer_ = 0;
    if (published_.pausedUntil.value()) {
        published_.pausedUntil.publish(std::nullopt);
        published_.stateChanged.send();
    }
}

void ShortcutActions::toggleAutoClean() {
    SettingsData data = settings_.data();
    data.autoClean = !data.autoClean;
    const bool nowOn = data.autoClean;
    settings_.setData(std::move(data));
    if (nowOn)
        resume();
}

void ShortcutActions::setDefaultFormat(OutputFormat format) {
    if (format == OutputFormat::original)
        return;
    SettingsData data = settings_.data();
    data.defaultFormat = format;
    settings_.setData(std::move(data));
    if (copies_.clip() && copies_.clip()->baseFromDefault && !copies_.clip()->pinned &&
        copies_.clip()->changeCount == platform_.clipboard.changeCount()) {
        copies_.clip()->base.format = format;
        withRendition(copies_.clip()->base, [this](ClipState& clip) {
            // The user may have pinned or converted it meanwhile.
            if (clip.baseFromDefault && !clip.pinned)
                copies_.write(clip, clip.base);
        });
    }
}

bool ShortcutActions::isPaused() const {
    return published_.pausedUntil.value() && *published_.pausedUntil.value() > platform_.scheduler.now();
}

}  // namespace dz
