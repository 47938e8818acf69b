#include "app/controller/CopyHandler.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "app/controller/BrowserURLProvider.h"
#include "app/controller/PageAddressTracker.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SpellChecker.h"
#include "app/platform/Worker.h"
#include "app/platform/Workspace.h"
#include "app/rules/AppRule.h"
#include "app/rules/KnownApps.h"
#include "app/rules/RuleFormat.h"
#include "app/settings/AppSettings.h"
#include "app/support/Guarded.h"
#include "core/links/URLComponents.h"
#include "core/text/Unicode.h"

namespace dz {

CopyHandler::CopyHandler(AppSettings& settings, const Platform& platform, ClipboardMonitor& monitor,
                         BrowserURLProvider& browserURLs, PageAddressTracker& pageAddresses, Links links)
    : settings_(settings),
      platform_(platform),
      monitor_(monitor),
      browserURLs_(browserURLs),
      pageAddresses_(pageAddresses),
      links_(std::move(links)) {}

CopyHandler::~CopyHandler() {
    alive_.reset();
}

void CopyHandler::publishLastCopy(const SourceInfo& source, const CleanOutcome& outcome, std::string detail) {
    links_.lastCopy.publish(LastCopy{source, outcome, std::move(detail), platform_.scheduler.now()});
}

void CopyHandler::handle(const ClipboardChange& change, const Clipboard::Rendition& items) {
    cancelRender();
    if (links_.copyArrived)
        links_.copyArrived();
    const int64_t changeCount = change.changeCount;
    SourceInfo source{change.sourceBundleID, change.sourceName, change.sourcePID, std::nullopt};

    if (source.bundleID && *source.bundleID == Workspace::ownBundleID) {
        clip_.reset();
        publishLastCopy(source, CleanOutcome::skipped(SkipReason::ownApp),
                        std::string(skipreason::rawValue(SkipReason::ownApp)));
        return;
    }

    ClipboardSnapshot::Capture capture = ClipboardSnapshot::capture(items, false);
    if (!capture.isSnapshot()) {
        clip_.reset();
        SkipReason reason = *capture.skipReason();
        publishLastCopy(source, CleanOutcome::skipped(reason), std::string(skipreason::rawValue(reason)));
        return;
    }
    // Moved along, never copied: a copy may be 30 MiB.
    ClipboardSnapshot snapshot = std::move(*capture.snapshot());
    source.pageURL = snapshot.sourcePageURL();

    std::optional<SkipReason> kept;
    if (change.bypassRequested)
        kept = SkipReason::bypassed;
    else if (!settings_.data().autoClean)
        kept = SkipReason::autoCleanOff;
    else if (links_.isPaused())
        kept = SkipReason::paused;
    if (kept) {
        // Remembered all the same, so shortcuts and paste rules can still convert it.
        clip_ = ClipState::pinnedOriginal(std::move(snapshot), source, changeCount);
        publishLastCopy(source, CleanOutcome::skipped(*kept), std::string(skipreason::rawValue(*kept)));
        return;
    }

    // A copy that names only its site (Firefox's) says nothing of the page:
    // the address followed from the browser's window does, when it is of
    // that site; otherwise the site is what there is.
    if (source.bundleID && source.pid && BrowserURLProvider::isBrowser(*source.bundleID) &&
        (!source.pageURL || BrowserURLProvider::isOriginOnly(*source.pageURL))) {
        std::optional<std::string> tracked = pageAddresses_.address(*source.pid);
        if (tracked && (!source.pageURL || BrowserURLProvider::sameOrigin(*tracked, *source.pageURL)))
            source.pageURL = std::move(tracked);
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
                applyCopy(std::move(snapshot), std::move(source), changeCount);
            });
        return;
    }
    applyCopy(std::move(snapshot), std::move(source), changeCount);
}

Resolution CopyHandler::resolveCopy(const SourceInfo& source) const {
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

void CopyHandler::applyCopy(ClipboardSnapshot snapshot, SourceInfo source, int64_t changeCount) {
    Resolution resolution = resolveCopy(source);
    auto state = std::make_shared<ClipState>();
    state->snapshot = std::move(snapshot);
    state->source = std::move(source);
    state->base = resolution.written;
    state->baseFromDefault = resolution.baseFromDefault;
    state->pinned = resolution.pinned;
    state->written = Written::original();
    state->changeCount = changeCount;
    const Written target = resolution.written;
    if (target.format == OutputFormat::original) {
        finishCopy(std::move(*state), resolution);
        return;
    }

    // A large copy takes seconds to render: that happens away from the main
    // thread, and until it is done the clip is the copy as copied.
    clip_ = ClipState::pinnedOriginal(state->snapshot, state->source, changeCount);
    cancelRender();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    renderCancelled_ = cancelled;
    auto script = std::make_shared<ScriptOutcome>();
    auto cleaner = std::make_shared<PasteboardCleaner>(makeCleaner(target, script));
    auto rendered = std::make_shared<std::optional<RenderedClip>>();
    platform_.worker.run(
        [state, cleaner, rendered, cancelled] {
            if (!*cancelled)
                *rendered = cleaner->render(state->snapshot);
        },
        guarded(alive_, [this, state, resolution, target, script, rendered, cancelled] {
            if (*cancelled)
                return;  // a newer copy came first
            renderCancelled_.reset();
            report(*script);
            // The clipboard changed meanwhile (a newer copy, or the user
            // converted this one): this result is dropped.
            if (platform_.clipboard.changeCount() != state->changeCount)
                return;
            if (!*rendered) {
                clip_ = std::move(*state);
                publishLastCopy(clip_->source, CleanOutcome::skipped(SkipReason::noText),
                                std::string(skipreason::rawValue(SkipReason::noText)));
                return;
            }
            state->cache.emplace(target, std::move(**rendered));
            rendered->reset();
            finishCopy(std::move(*state), resolution);
        }));
}

void CopyHandler::cancelRender() {
    if (!renderCancelled_)
        return;
    *renderCancelled_ = true;
    renderCancelled_.reset();
}

void CopyHandler::finishCopy(ClipState state, const Resolution& resolution) {
    CleanOutcome outcome = write(state, resolution.written);

    // Serving other renditions to pasting applications needs the program to
    // own the clipboard, so a copy the base leaves as it is is taken over
    // with its items unchanged.
    if (outcome == CleanOutcome::unchanged() && !state.pinned && links_.servesEachRequester() &&
        platform_.clipboard.changeCount() == state.changeCount && state.written.isOriginal()) {
        platform_.clipboard.publish(state.snapshot.restored());
        state.changeCount = platform_.clipboard.changeCount();
        monitor_.noteOwnWrite(state.changeCount);
    }

    size_t copied = 0;
    for (const auto& entry : state.snapshot.entries()) copied += entry.data.size();
    clip_ = std::move(state);
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
    // Rendering a large copy leaves tens of megabytes freed but still held
    // by the allocator; the previous clip has just been freed too.
    if (copied > largeCopyBytes)
        platform_.worker.releaseMemory();
}

const RenderedClip* CopyHandler::rendition(ClipState& state, const Written& target) {
    if (auto it = state.cache.find(target); it != state.cache.end())
        return &it->second;
    std::optional<RenderedClip> rendered = render(state.snapshot, target);
    if (!rendered)
        return nullptr;
    return &state.cache.emplace(target, std::move(*rendered)).first->second;
}

void CopyHandler::prepare(const Written& target, std::function<void()> ready) {
    if (!clip_ || target.format == OutputFormat::original || clip_->cache.count(target)) {
        ready();
        return;
    }
    auto snapshot = std::make_shared<const ClipboardSnapshot>(clip_->snapshot);
    auto script = std::make_shared<ScriptOutcome>();
    auto cleaner = std::make_shared<PasteboardCleaner>(makeCleaner(target, script));
    auto rendered = std::make_shared<std::optional<RenderedClip>>();
    const int64_t changeCount = clip_->changeCount;
    platform_.worker.run(
        [snapshot, cleaner, rendered] { *rendered = cleaner->render(*snapshot); },
        guarded(alive_, [this, target, script, rendered, changeCount, ready = std::move(ready)] {
            report(*script);
            if (clip_ && clip_->changeCount == changeCount && *rendered)
                clip_->cache.emplace(target, std::move(**rendered));
            ready();
        }));
}

std::optional<RenderedClip> CopyHandler::render(const ClipboardSnapshot& snapshot, const Written& target) {
    auto script = std::make_shared<ScriptOutcome>();
    std::optional<RenderedClip> rendered = makeCleaner(target, script).render(snapshot);
    report(*script);
    return rendered;
}

CleanOutcome CopyHandler::write(ClipState& state, const Written& target) {
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
            clipboard.publish(rendered->items());
            state.changeCount = clipboard.changeCount();
            monitor_.noteOwnWrite(state.changeCount);
            state.written = target;
            return CleanOutcome::cleaned();
        }
        result = CleanOutcome::unchanged();
    }

    if (!(current == state.changeCount && state.written.isOriginal())) {
        clipboard.publish(state.snapshot.restored());
        state.changeCount = clipboard.changeCount();
        monitor_.noteOwnWrite(state.changeCount);
        state.written = Written::original();
    }
    return result;
}

std::optional<Clipboard::Rendition> CopyHandler::renditionItems(ClipState& state, const Written& target) {
    if (target.format == OutputFormat::original)
        return state.snapshot.restored();
    const RenderedClip* rendered = rendition(state, target);
    if (!rendered)
        return std::nullopt;
    if (PasteboardCleaner::isUnchanged(*rendered, state.snapshot))
        return state.snapshot.restored();
    return rendered->items();
}

std::optional<ClipState> CopyHandler::currentState() {
    monitor_.checkPasteboard();
    Clipboard& clipboard = platform_.clipboard;
    if (clip_ && clip_->changeCount == clipboard.changeCount())
        return clip_;
    ClipboardSnapshot::Capture capture = ClipboardSnapshot::capture(clipboard.contents().items, true);
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

ClipState* CopyHandler::currentClip() {
    monitor_.checkPasteboard();
    if (clip_ && clip_->changeCount == platform_.clipboard.changeCount())
        return &*clip_;
    std::optional<ClipState> state = currentState();
    if (!state)
        return nullptr;
    clip_ = std::move(state);
    return &*clip_;
}

Written CopyHandler::defaultTarget() const {
    OutputFormat format = settings_.data().defaultFormat;
    return Written{format == OutputFormat::original ? OutputFormat::plain : format, false};
}

void CopyHandler::setScriptError(std::optional<std::string> message) {
    if (!message && !links_.scriptError.value())
        return;
    links_.scriptError.publish(std::move(message));
}

void CopyHandler::report(const ScriptOutcome& outcome) {
    if (outcome.ran)
        setScriptError(outcome.error);
}

PasteboardCleaner CopyHandler::makeCleaner(const Written& target,
                                           const std::shared_ptr<ScriptOutcome>& outcome) {
    const SettingsData& data = settings_.data();
    SpellChecker& spelling = platform_.spelling;
    // Renders run on the worker as well as on the main thread; the
    // dictionary and the script engine serve one of them at a time.
    PasteboardCleaner::WordPredicate isWord = [engine = engine_, &spelling](std::string_view word) {
        std::lock_guard lock(engine->lock);
        return spelling.isWord(word);
    };
    PasteboardCleaner::Transform transform;
    if (data.scriptEnabled && !unicode::isBlank(data.script)) {
        transform = [engine = engine_, outcome, script = data.script](std::string_view input) -> std::string {
            std::lock_guard lock(engine->lock);
            JavaScriptTransformer::Result result = engine->javaScript.run(script, input, scriptTimeout);
            outcome->ran = true;
            if (auto* output = std::get_if<std::string>(&result)) {
                outcome->error.reset();
                return *output;
            }
            outcome->error = std::get<JavaScriptTransformer::Failure>(result).message;
            return std::string(input);
        };
    }
    return PasteboardCleaner(data.cleaning, false, target.format, data.markdown, data.pdf, target.reflow,
                             std::move(isWord), std::move(transform));
}

bool CopyHandler::isPDFSource(const SourceInfo& source) const {
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

bool CopyHandler::needsBrowserURL(std::optional<std::string_view> bundleID, RuleDirection direction) const {
    if (!bundleID || !BrowserURLProvider::isBrowser(*bundleID))
        return false;
    if (settings_.data().hasWebsiteRules(direction))
        return true;
    if (direction == RuleDirection::destination)
        return false;
    return settings_.data().detectPDFInBrowsers;
}

}  // namespace dz
