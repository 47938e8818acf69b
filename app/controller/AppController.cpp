#include "app/controller/AppController.h"

#include <utility>

#include "app/platform/KeyEventSource.h"
#include "app/platform/PageAddressLookup.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SpellChecker.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"
#include "app/rules/AppRule.h"
#include "app/rules/KnownApps.h"
#include "app/rules/RuleFormat.h"
#include "app/settings/AppSettings.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "core/links/URLComponents.h"
#include "core/text/Unicode.h"

namespace dz {

AppController::AppController(AppSettings& settings, const Platform& platform)
    : settings_(settings),
      platform_(platform),
      monitor_(platform.clipboard, platform.workspace, platform.keys, platform.scheduler),
      browserURLs_(platform.pageAddresses, platform.scheduler),
      hotKeys_(platform.hotKeys),
      keyboard_(platform.keystrokes) {}

AppController::~AppController() {
    alive_.reset();
    cancelPutBack();
    platform_.scheduler.cancel(recheckTimer_);
    platform_.scheduler.cancel(pauseTimer_);
    if (started_) {
        platform_.clipboard.setPasteHandler(nullptr);
        platform_.clipboard.setPasteFinishedHandler(nullptr);
    }
}

std::function<void()> AppController::guarded(std::function<void()> task) {
    std::weak_ptr<int> alive = alive_;
    return [alive, task = std::move(task)] {
        if (!alive.expired())
            task();
    };
}

// ---- Copies

void AppController::publishLastCopy(const SourceInfo& source, const CleanOutcome& outcome,
                                    std::string detail) {
    lastCopy.publish(LastCopy{source, outcome, std::move(detail), platform_.scheduler.now()});
}

void AppController::handle(const ClipboardChange& change) {
    cancelPutBack();
    const int64_t changeCount = platform_.clipboard.changeCount();
    SourceInfo source{change.sourceBundleID, change.sourceName, change.sourcePID, std::nullopt};

    if (source.bundleID && *source.bundleID == Workspace::ownBundleID) {
        clip_.reset();
        publishLastCopy(source, CleanOutcome::skipped(SkipReason::ownApp),
                        std::string(skipreason::rawValue(SkipReason::ownApp)));
        return;
    }

    ClipboardSnapshot::Capture capture = ClipboardSnapshot::capture(platform_.clipboard, false);
    if (!capture.isSnapshot()) {
        clip_.reset();
        SkipReason reason = *capture.skipReason();
        publishLastCopy(source, CleanOutcome::skipped(reason), std::string(skipreason::rawValue(reason)));
        return;
    }
    const ClipboardSnapshot& snapshot = *capture.snapshot();
    source.pageURL = snapshot.sourcePageURL();

    std::optional<SkipReason> kept;
    if (change.bypassRequested)
        kept = SkipReason::bypassed;
    else if (!settings_.data().autoClean)
        kept = SkipReason::autoCleanOff;
    else if (isPaused())
        kept = SkipReason::paused;
    if (kept) {
        // Remembered all the same, so shortcuts and paste rules can still convert it.
        clip_ = ClipState::pinnedOriginal(snapshot, source, changeCount);
        publishLastCopy(source, CleanOutcome::skipped(*kept), std::string(skipreason::rawValue(*kept)));
        return;
    }

    if (!source.pageURL && source.bundleID && source.pid &&
        needsBrowserURL(source.bundleID, RuleDirection::source)) {
        clip_ = ClipState::pinnedOriginal(snapshot, source, changeCount);
        std::weak_ptr<int> alive = alive_;
        browserURLs_.currentURL(
            *source.bundleID, *source.pid,
            [this, alive, snapshot, source, changeCount](std::optional<std::string> url) mutable {
                if (alive.expired())
                    return;
                // A newer copy wins: this one is dropped unwritten.
                if (platform_.clipboard.changeCount() != changeCount)
                    return;
                source.pageURL = std::move(url);
                applyCopy(snapshot, std::move(source), changeCount);
            });
        return;
    }
    applyCopy(snapshot, std::move(source), changeCount);
}

Resolution AppController::resolveCopy(const SourceInfo& source) const {
    const SettingsData& data = settings_.data();
    const OutputFormat defaultFormat =
        data.defaultFormat == OutputFormat::original ? OutputFormat::plain : data.defaultFormat;
    std::optional<AppRule> rule =
        matchingRule(data.rules, RuleDirection::source, source.bundleID, source.pageURL);

    Resolution resolution;
    if (rule) {
        resolution.reason = std::string("the rule \u201cCopying from ") +
                            (rule->kind == RuleKind::website ? rule->website : rule->name) + "\u201d";
        if (rule->format == RuleFormat::original) {
            resolution.written = Written::original();
            resolution.pinned = true;
            resolution.baseFromDefault = false;
            return resolution;
        }
        resolution.written.format = ruleformat::outputFormat(rule->format, defaultFormat);
    } else {
        resolution.written.format = defaultFormat;
        resolution.reason = "your default format";
    }
    if (rule && rule->fixPDF) {
        resolution.written.reflow = true;
    } else {
        resolution.written.reflow = isPDFSource(source);
        if (resolution.written.reflow && !rule)
            resolution.reason = "your default format, with PDF fixes for " +
                                (source.name ? *source.name : std::string("this app"));
    }
    resolution.baseFromDefault = !rule || rule->format == RuleFormat::useDefault;
    resolution.pinned = false;
    return resolution;
}

void AppController::applyCopy(const ClipboardSnapshot& snapshot, SourceInfo source, int64_t changeCount) {
    Resolution resolution = resolveCopy(source);
    ClipState state;
    state.snapshot = snapshot;
    state.source = std::move(source);
    state.base = resolution.written;
    state.baseFromDefault = resolution.baseFromDefault;
    state.pinned = resolution.pinned;
    state.written = Written::original();
    state.changeCount = changeCount;

    CleanOutcome outcome = write(state, resolution.written);

    // Serving other renditions to pasting applications needs the program to
    // own the clipboard, so a copy the base leaves as it is is taken over
    // with its items unchanged.
    if (outcome == CleanOutcome::unchanged() && !state.pinned && interceptorActive.value() &&
        platform_.clipboard.changeCount() == state.changeCount && state.written.isOriginal()) {
        state.snapshot.restore(platform_.clipboard);
        monitor_.lastChangeCount = platform_.clipboard.changeCount();
        state.changeCount = monitor_.lastChangeCount;
    }

    clip_ = state;
    std::string detail;
    switch (outcome.kind()) {
        case CleanOutcome::Kind::cleaned:
            detail = resolution.written.title();
            break;
        case CleanOutcome::Kind::unchanged:
            detail = "already plain";
            break;
        case CleanOutcome::Kind::skipped:
            detail = *outcome.reason() == SkipReason::keptOriginal
                         ? "kept original (rule)"
                         : std::string(skipreason::rawValue(*outcome.reason()));
            break;
    }
    publishLastCopy(clip_->source, outcome, std::move(detail));
}

const RenderedClip* AppController::rendition(ClipState& state, const Written& target) {
    if (auto it = state.cache.find(target); it != state.cache.end())
        return &it->second;
    std::optional<RenderedClip> rendered = makeCleaner(target).render(state.snapshot);
    if (!rendered)
        return nullptr;
    return &state.cache.emplace(target, std::move(*rendered)).first->second;
}

CleanOutcome AppController::write(ClipState& state, const Written& target) {
    Clipboard& clipboard = platform_.clipboard;
    const int64_t current = clipboard.changeCount();
    if (current == state.changeCount && state.written == target)
        return target.format == OutputFormat::original ? CleanOutcome::skipped(SkipReason::keptOriginal)
                                                       : CleanOutcome::cleaned();

    CleanOutcome result = CleanOutcome::skipped(SkipReason::keptOriginal);
    if (target.format != OutputFormat::original) {
        const RenderedClip* rendered = rendition(state, target);
        if (!rendered)
            return CleanOutcome::skipped(SkipReason::noText);
        if (!PasteboardCleaner::isUnchanged(*rendered, state.snapshot)) {
            rendered->write(clipboard);
            monitor_.lastChangeCount = clipboard.changeCount();
            state.changeCount = clipboard.changeCount();
            state.written = target;
            return CleanOutcome::cleaned();
        }
        result = CleanOutcome::unchanged();
    }

    if (!(current == state.changeCount && state.written.isOriginal())) {
        state.snapshot.restore(clipboard);
        monitor_.lastChangeCount = clipboard.changeCount();
        state.changeCount = clipboard.changeCount();
        state.written = Written::original();
    }
    return result;
}

std::optional<ClipState> AppController::currentState() {
    monitor_.checkPasteboard();
    Clipboard& clipboard = platform_.clipboard;
    if (clip_ && clip_->changeCount == clipboard.changeCount())
        return clip_;
    ClipboardSnapshot::Capture capture = ClipboardSnapshot::capture(clipboard, true);
    if (!capture.isSnapshot())
        return std::nullopt;
    SourceInfo source;
    if (auto front = platform_.workspace.frontmostApplication()) {
        source.bundleID = front->bundleID;
        source.name = front->localizedName;
        source.pid = front->pid;
    }
    source.pageURL = capture.snapshot()->sourcePageURL();
    return ClipState::pinnedOriginal(*capture.snapshot(), std::move(source), clipboard.changeCount());
}

Written AppController::defaultTarget() const {
    OutputFormat format = settings_.data().defaultFormat;
    return Written{format == OutputFormat::original ? OutputFormat::plain : format, false};
}

void AppController::setScriptError(std::optional<std::string> message) {
    if (!message && !scriptError.value())
        return;
    scriptError.publish(std::move(message));
}

PasteboardCleaner AppController::makeCleaner(const Written& target) {
    const SettingsData& data = settings_.data();
    SpellChecker& spelling = platform_.spelling;
    PasteboardCleaner::WordPredicate isWord = [&spelling](std::string_view word) {
        return spelling.isWord(word);
    };
    PasteboardCleaner::Transform transform;
    if (data.scriptEnabled && !unicode::isBlank(data.script)) {
        std::weak_ptr<int> alive = alive_;
        transform = [this, alive, script = data.script](std::string_view input) -> std::string {
            if (alive.expired())
                return std::string(input);
            JavaScriptTransformer::Result result = javaScript_.run(script, input, scriptTimeout);
            if (auto* output = std::get_if<std::string>(&result)) {
                setScriptError(std::nullopt);
                return *output;
            }
            setScriptError(std::get<JavaScriptTransformer::Failure>(result).message);
            return std::string(input);
        };
    }
    return PasteboardCleaner(data.cleaning, false, target.format, data.markdown, data.pdf, target.reflow,
                             std::move(isWord), std::move(transform));
}

bool AppController::isPDFSource(const SourceInfo& source) const {
    const SettingsData& data = settings_.data();
    if (data.autoDetectPDF && source.bundleID && KnownApps::pdfViewers().count(*source.bundleID))
        return true;
    if (data.detectPDFInBrowsers && source.pageURL) {
        if (auto url = URLComponents::parse(*source.pageURL)) {
            std::string_view path = url->path;
            std::string_view last =
                path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
            size_t dot = last.rfind('.');
            if (dot != std::string_view::npos && unicode::lowercased(last.substr(dot + 1)) == "pdf")
                return true;
        }
    }
    return false;
}

bool AppController::needsBrowserURL(std::optional<std::string_view> bundleID, RuleDirection direction) const {
    if (!bundleID || !BrowserURLProvider::isBrowser(*bundleID))
        return false;
    if (settings_.data().hasWebsiteRules(direction))
        return true;
    if (direction == RuleDirection::destination)
        return false;
    return settings_.data().detectPDFInBrowsers;
}

bool AppController::isPaused() const {
    return pausedUntil.value() && *pausedUntil.value() > platform_.scheduler.now();
}

std::optional<std::string> AppController::frontmostID() const {
    if (auto front = platform_.workspace.frontmostApplication())
        return front->bundleID;
    return std::nullopt;
}

// ---- Pastes

void AppController::updateInterceptor() {
    bool active = settings_.data().hasDestinationRules() && platform_.clipboard.canIdentifyRequesters();
    if (active != interceptorActive.value())
        interceptorActive.publish(active);
}

std::optional<Written> AppController::destinationTarget(std::optional<std::string_view> bundleID,
                                                        std::optional<std::string_view> url) const {
    if (!clip_)
        return std::nullopt;
    std::optional<AppRule> rule =
        matchingRule(settings_.data().rules, RuleDirection::destination, bundleID, url);
    if (!rule)
        return clip_->base;
    Written target;
    target.format = rule->format == RuleFormat::useDefault
                        ? clip_->base.format
                        : ruleformat::outputFormat(rule->format, OutputFormat::plain);
    target.reflow = clip_->base.reflow || rule->fixPDF;
    return target;
}

std::optional<Clipboard::Rendition> AppController::renditionFor(const Written& target) {
    MemoryPasteboard served;
    if (target.format == OutputFormat::original) {
        clip_->snapshot.restore(served);
    } else {
        const RenderedClip* rendered = rendition(*clip_, target);
        if (!rendered)
            return std::nullopt;  // no text: the requester gets what is there
        if (PasteboardCleaner::isUnchanged(*rendered, clip_->snapshot))
            clip_->snapshot.restore(served);
        else
            rendered->write(served);
    }
    Clipboard::Rendition items;
    for (const auto& item : served.items()) items.push_back({item.type, item.data.value_or(std::string())});
    return items;
}

void AppController::applyDestination(const Clipboard::PasteRequest& request, int64_t changeCount,
                                     std::optional<std::string> url, const Clipboard::PasteReply& reply) {
    if (!clip_ || clip_->pinned || clip_->changeCount != changeCount ||
        platform_.clipboard.changeCount() != changeCount) {
        reply(std::nullopt);
        return;
    }
    std::optional<Written> target = destinationTarget(request.requester.bundleID, url);
    if (!target || *target == clip_->written) {
        reply(std::nullopt);
        return;
    }
    reply(renditionFor(*target));
}

void AppController::willPaste(const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
    monitor_.checkPasteboard();
    const int64_t changeCount = platform_.clipboard.changeCount();
    // Everyone gets what a one-shot paste wrote until it is put back.
    if (restore_ || !interceptorActive.value() || !clip_ || clip_->pinned ||
        clip_->changeCount != changeCount) {
        reply(std::nullopt);
        return;
    }
    const std::optional<std::string>& bundleID = request.requester.bundleID;
    if (!bundleID || *bundleID == Workspace::ownBundleID) {
        reply(std::nullopt);
        return;
    }
    if (request.requester.pid && needsBrowserURL(*bundleID, RuleDirection::destination)) {
        // The page address decides; wait for it a short while, then let the
        // app rules decide alone.
        struct Wait {
            bool answered = false;
            Scheduler::TaskID timer = 0;
        };
        auto wait = std::make_shared<Wait>();
        std::weak_ptr<int> alive = alive_;
        wait->timer =
            platform_.scheduler.after(pastePageLookupLimit, [this, alive, wait, request, changeCount, reply] {
                if (wait->answered)
                    return;
                wait->answered = true;
                if (alive.expired())
                    reply(std::nullopt);
                else
                    applyDestination(request, changeCount, std::nullopt, reply);
            });
        browserURLs_.currentURL(
            *bundleID, *request.requester.pid,
            [this, alive, wait, request, changeCount, reply](std::optional<std::string> url) {
                if (wait->answered)
                    return;
                wait->answered = true;
                if (alive.expired()) {
                    reply(std::nullopt);
                    return;
                }
                platform_.scheduler.cancel(wait->timer);
                applyDestination(request, changeCount, std::move(url), reply);
            });
        return;
    }
    applyDestination(request, changeCount, std::nullopt, reply);
}

void AppController::pasteFinished(const Clipboard::PasteRequest& request) {
    if (!restore_ || !restore_->paster)
        return;
    const Clipboard::Party& paster = *restore_->paster;
    const Clipboard::Party& requester = request.requester;
    if (!requester.bundleID || requester.bundleID != paster.bundleID)
        return;
    if (paster.pid && requester.pid && *paster.pid != *requester.pid)
        return;
    restore_->fetched = true;
    if (restore_->waitingForFetch)
        putBack();
}

void AppController::cancelPutBack() {
    if (!restore_)
        return;
    platform_.scheduler.cancel(restore_->dueTimer);
    platform_.scheduler.cancel(restore_->limitTimer);
    restore_.reset();
}

void AppController::putBack() {
    if (!restore_)
        return;
    Written previous = restore_->previous;
    cancelPutBack();
    if (clip_ && platform_.clipboard.changeCount() == clip_->changeCount)
        write(*clip_, previous);
}

}  // namespace dz
