// The controller's user commands: shortcut actions, one-shot pastes,
// conversions, pause and resume, automatic cleaning, the default format.

#include <cmath>

#include "app/controller/AppController.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"
#include "app/settings/AppSettings.h"

namespace dz {

void AppController::registerHotKeys(const SettingsData::Shortcuts& shortcuts) {
    std::vector<std::pair<KeyCombo, HotKeyCenter::Action>> hotKeys;
    for (ShortcutAction action : shortcutaction::allCases) {
        auto it = shortcuts.find(shortcutaction::rawValue(action));
        if (it != shortcuts.end())
            hotKeys.emplace_back(it->second, guarded([this, action] { perform(action); }));
    }
    failedShortcuts.publish(hotKeys_.setHotKeys(hotKeys));
}

void AppController::perform(ShortcutAction action) {
    switch (action) {
        case ShortcutAction::pasteOriginal:
            pasteOnce([](const ClipState&) { return Written::original(); });
            return;
        case ShortcutAction::pasteMarkdown:
            pasteOnce([](const ClipState& state) {
                return Written{OutputFormat::markdown, state.base.reflow};
            });
            return;
        case ShortcutAction::pastePDFFixed:
            pasteOnce([this](const ClipState& state) {
                OutputFormat format =
                    state.base.format == OutputFormat::original ? defaultTarget().format : state.base.format;
                return Written{format, true};
            });
            return;
        case ShortcutAction::cleanAndPaste:
            cleanAndPaste();
            return;
        case ShortcutAction::cleanClipboard:
            convert(defaultTarget(), false);
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
    }
}

bool AppController::ensureCanPressKeys() {
    if (keyboard_.canPressKeys())
        return true;
    platform_.system.notify(std::string(cannotPressKeysNotice));
    return false;
}

void AppController::pasteOnce(const std::function<Written(const ClipState&)>& target) {
    if (!ensureCanPressKeys())
        return;
    std::optional<ClipState> state = currentState();
    if (!state) {
        platform_.system.beep();
        return;
    }
    Written previous = state->written;
    write(*state, target(*state));
    clip_ = std::move(state);

    std::optional<Workspace::RunningApplication> front = platform_.workspace.frontmostApplication();
    keyboard_.pressPaste(front ? std::optional<std::string_view>(front->bundleID) : std::nullopt);

    cancelPutBack();
    restore_ = std::make_unique<PendingRestore>();
    restore_->previous = previous;
    if (front && platform_.clipboard.canIdentifyRequesters())
        restore_->paster = Clipboard::Party{front->bundleID, front->pid};
    restore_->dueTimer = platform_.scheduler.after(putBackDelay, guarded([this] {
                                                       if (!restore_)
                                                           return;
                                                       restore_->dueTimer = 0;
                                                       // Without a known paster there is nothing to wait for.
                                                       if (restore_->fetched || !restore_->paster)
                                                           putBack();
                                                       else
                                                           restore_->waitingForFetch = true;
                                                   }));
    restore_->limitTimer = platform_.scheduler.after(putBackLimit, guarded([this] {
                                                         if (restore_)
                                                             restore_->limitTimer = 0;
                                                         putBack();
                                                     }));
}

void AppController::cleanAndPaste() {
    if (!ensureCanPressKeys())
        return;
    convert(Written{OutputFormat::plain, clip_ ? clip_->base.reflow : false}, true);
    platform_.scheduler.after(cleanAndPasteDelay, guarded([this] { keyboard_.pressPaste(frontmostID()); }));
}

void AppController::copyAndClean() {
    if (!ensureCanPressKeys())
        return;
    const int64_t from = platform_.clipboard.changeCount();
    keyboard_.pressCopy(frontmostID());
    if (platform_.clipboard.changeCount() != from) {
        convert(defaultTarget(), false);
        return;
    }
    platform_.scheduler.after(copyLookInterval, guarded([this, from] {
                                  waitForPasteboardChange(from, copyLookAttempts - 1, [this](bool changed) {
                                      if (changed)
                                          convert(defaultTarget(), false);
                                      else
                                          platform_.system.beep();
                                  });
                              }));
}

void AppController::waitForPasteboardChange(int64_t from, int attempts,
                                            std::function<void(bool)> completion) {
    if (platform_.clipboard.changeCount() != from) {
        completion(true);
        return;
    }
    if (attempts > 0) {
        platform_.scheduler.after(copyLookInterval,
                                  guarded([this, from, attempts, completion = std::move(completion)] {
                                      waitForPasteboardChange(from, attempts - 1, completion);
                                  }));
        return;
    }
    completion(false);
}

CleanOutcome AppController::convert(const Written& target, bool pin) {
    std::optional<ClipState> state = currentState();
    if (!state) {
        platform_.system.beep();
        return CleanOutcome::skipped(SkipReason::noText);
    }
    if (!pin) {
        state->base = target;
        state->baseFromDefault = target == defaultTarget();
    }
    state->pinned = pin;
    CleanOutcome outcome = write(*state, target);
    clip_ = std::move(state);
    publishLastCopy(clip_->source, outcome,
                    outcome.kind() == CleanOutcome::Kind::cleaned ? target.title() : outcome.label());
    return outcome;
}

CleanOutcome AppController::fixPDFLineBreaks() {
    OutputFormat format = clip_ ? clip_->written.format : defaultTarget().format;
    if (format == OutputFormat::original)
        format = defaultTarget().format;
    return convert(Written{format, true}, true);
}

void AppController::pause(double minutes) {
    // Nonsense never becomes an endless or broken pause: not a number means
    // the usual five minutes, and a year is the longest.
    if (!std::isfinite(minutes))
        minutes = 5;
    if (minutes > maximumPauseMinutes)
        minutes = maximumPauseMinutes;
    const double seconds = minutes * 60;
    pausedUntil.publish(platform_.scheduler.now() + seconds);
    platform_.scheduler.cancel(pauseTimer_);
    pauseTimer_ = platform_.scheduler.after(seconds, guarded([this] {
                                                pauseTimer_ = 0;
                                                resume();
                                            }));
    stateChanged.send();
}

void AppController::resume() {
    platform_.scheduler.cancel(pauseTimer_);
    pauseTimer_ = 0;
    if (pausedUntil.value()) {
        pausedUntil.publish(std::nullopt);
        stateChanged.send();
    }
}

void AppController::toggleAutoClean() {
    SettingsData data = settings_.data();
    data.autoClean = !data.autoClean;
    const bool nowOn = data.autoClean;
    settings_.setData(std::move(data));
    if (nowOn)
        resume();
}

void AppController::setDefaultFormat(OutputFormat format) {
    if (format == OutputFormat::original)
        return;
    SettingsData data = settings_.data();
    data.defaultFormat = format;
    settings_.setData(std::move(data));
    if (clip_ && clip_->baseFromDefault && !clip_->pinned &&
        clip_->changeCount == platform_.clipboard.changeCount()) {
        clip_->base.format = format;
        write(*clip_, clip_->base);
    }
}

}  // namespace dz
