#include "app/controller/PasteSwitcher.h"

#include <utility>

#include "app/controller/BrowserURLProvider.h"
#include "app/controller/ClipboardMonitor.h"
#include "app/controller/CopyHandler.h"
#include "app/controller/PageAddressTracker.h"
#include "app/platform/Workspace.h"
#include "app/rules/AppRule.h"
#include "app/rules/RuleFormat.h"
#include "app/settings/AppSettings.h"
#include "app/support/Guarded.h"

namespace dz {

PasteSwitcher::PasteSwitcher(AppSettings& settings, const Platform& platform, CopyHandler& copies,
                             ClipboardMonitor& monitor, BrowserURLProvider& browserURLs,
                             PageAddressTracker& pageAddresses, Observable<bool>& interceptorActive)
    : settings_(settings),
      platform_(platform),
      copies_(copies),
      monitor_(monitor),
      browserURLs_(browserURLs),
      pageAddresses_(pageAddresses),
      interceptorActive_(interceptorActive) {}

PasteSwitcher::~PasteSwitcher() {
    alive_.reset();
    cancelPutBack();
}

void PasteSwitcher::updateInterceptor() {
    bool active = settings_.data().hasDestinationRules() && platform_.clipboard.canIdentifyRequesters();
    if (active != interceptorActive_.value())
        interceptorActive_.publish(active);
}

std::optional<Written> PasteSwitcher::destinationTarget(std::optional<std::string_view> bundleID,
                                                        std::optional<std::string_view> url) const {
    if (!copies_.clip())
        return std::nullopt;
    std::optional<AppRule> rule =
        matchingRule(settings_.data().rules, RuleDirection::destination, bundleID, url);
    if (!rule)
        return copies_.clip()->base;
    Written target;
    target.format = rule->format == RuleFormat::useDefault
                        ? copies_.clip()->base.format
                        : ruleformat::outputFormat(rule->format, OutputFormat::plain);
    target.reflow = copies_.clip()->base.reflow || rule->fixPDF;
    return target;
}

std::optional<Clipboard::Rendition> PasteSwitcher::renditionFor(const Written& target) {
    if (target.format == OutputFormat::original)
        return copies_.clip()->snapshot.restored();
    const RenderedClip* rendered = copies_.rendition(*copies_.clip(), target);
    if (!rendered)
        return std::nullopt;  // no text: the requester gets what is there
    if (PasteboardCleaner::isUnchanged(*rendered, copies_.clip()->snapshot))
        return copies_.clip()->snapshot.restored();
    return rendered->items();
}

void PasteSwitcher::applyDestination(const Clipboard::PasteRequest& request, int64_t changeCount,
                                     std::optional<std::string> url, const Clipboard::PasteReply& reply) {
    if (!copies_.clip() || copies_.clip()->pinned || copies_.clip()->changeCount != changeCount ||
        platform_.clipboard.changeCount() != changeCount) {
        reply(std::nullopt);
        return;
    }
    std::optional<Written> target = destinationTarget(request.requester.bundleID, url);
    if (!target || *target == copies_.clip()->written) {
        reply(std::nullopt);
        return;
    }
    // Rendering a large copy for this requester must not stop the main
    // loop; the backend serves the common contents if this comes too late.
    copies_.prepare(*target, guarded(alive_, [this, target = *target, changeCount, reply] {
        if (!copies_.clip() || copies_.clip()->changeCount != changeCount ||
            platform_.clipboard.changeCount() != changeCount) {
            reply(std::nullopt);
            return;
        }
        reply(renditionFor(target));
    }));
}

void PasteSwitcher::willPaste(const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
    monitor_.checkPasteboard();
    const int64_t changeCount = platform_.clipboard.changeCount();
    // Everyone gets what a one-shot paste wrote until it is put back.
    if (restore_ || !interceptorActive_.value() || !copies_.clip() || copies_.clip()->pinned ||
        copies_.clip()->changeCount != changeCount) {
        reply(std::nullopt);
        return;
    }
    const std::optional<std::string>& bundleID = request.requester.bundleID;
    if (!bundleID || *bundleID == Workspace::ownBundleID) {
        reply(std::nullopt);
        return;
    }
    if (request.requester.pid && copies_.needsBrowserURL(*bundleID, RuleDirection::destination)) {
        // A browser busy with a paste answers no question: the address
        // followed from its window is the one to use.
        if (auto tracked = pageAddresses_.address(*request.requester.pid)) {
            applyDestination(request, changeCount, std::move(tracked), reply);
            return;
        }
        // Otherwise the page address decides; wait for it a short while, then
        // let the app rules decide alone.
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
                if (wait->answered) {
                    // Too late for this paste, which got the answer without
                    // it; the clipboard must not keep that answer for the next.
                    if (url && !alive.expired())
                        platform_.clipboard.forgetAnswers(*request.requester.pid);
                    return;
                }
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

void PasteSwitcher::pasteFinished(const Clipboard::PasteRequest& request, bool delivered) {
    if (restore_ && restore_->afterNextPaste) {
        // Looking at the types, a clipboard manager's copy and our own reads
        // are not the paste; the first one after is.
        if (!delivered || request.fromManager || request.requester.bundleID == Workspace::ownBundleID ||
            restore_->dueTimer)
            return;
        restore_->dueTimer =
            platform_.scheduler.after(nextPasteGrace, guarded(alive_, [this] { putBack(); }));
        return;
    }
    // Looking at the types is not the paste yet.
    if (!restore_ || !delivered)
        return;
    const Clipboard::Party& requester = request.requester;
    const bool managerOrUs = request.fromManager || requester.bundleID == Workspace::ownBundleID;
    if (restore_->paster) {
        const Clipboard::Party& paster = *restore_->paster;
        const bool bothPIDs = paster.pid && requester.pid;
        const bool samePID = bothPIDs && *paster.pid == *requester.pid;
        const bool sameApp = requester.bundleID && requester.bundleID == paster.bundleID && !bothPIDs;
        // A front window known without its process (a Wayland window's app
        // id) may name its application otherwise than its process does: the
        // first paste not a manager's or ours is the one.
        const bool processUnknown = !paster.pid && !managerOrUs;
        if (!samePID && !sameApp && !processUnknown)
            return;
    } else if (managerOrUs) {
        // Without a known paster, the first paste that is not a manager's
        // copy or our own read is the one the key asked for: a loaded
        // desktop may take longer than the usual wait to make it.
        return;
    }
    restore_->fetched = true;
    // An application reads a paste's types one request after another (a
    // browser asks for its plain text after a first type), so the rest of
    // that paste still gets the rendition.
    if (restore_->waitingForFetch && !restore_->dueTimer)
        restore_->dueTimer =
            platform_.scheduler.after(nextPasteGrace, guarded(alive_, [this] { putBack(); }));
}

void PasteSwitcher::cancelPutBack() {
    if (!restore_)
        return;
    platform_.scheduler.cancel(restore_->dueTimer);
    platform_.scheduler.cancel(restore_->limitTimer);
    restore_.reset();
}

void PasteSwitcher::putBack() {
    if (!restore_)
        return;
    Written previous = restore_->previous;
    cancelPutBack();
    if (copies_.clip() && platform_.clipboard.changeCount() == copies_.clip()->changeCount)
        copies_.write(*copies_.clip(), previous);
}

PasteSwitcher::PendingRestore& PasteSwitcher::restoreLater(Written previous) {
    // A one-shot over another: `previous` is the first one's rendition, which
    // would otherwise stay for good.
    if (restore_)
        previous = restore_->previous;
    cancelPutBack();
    restore_ = std::make_unique<PendingRestore>();
    restore_->previous = previous;
    return *restore_;
}

void PasteSwitcher::putBackAfterNextPaste(Written previous) {
    restoreLater(previous).afterNextPaste = true;
    restore_->limitTimer = platform_.scheduler.after(nextPasteLimit, guarded(alive_, [this] {
                                                         if (restore_)
                                                             restore_->limitTimer = 0;
                                                         putBack();
                                                     }));
}

void PasteSwitcher::putBackLater(Written previous, std::optional<Clipboard::Party> paster) {
    restoreLater(previous).paster = std::move(paster);
    restore_->dueTimer = platform_.scheduler.after(putBackDelay, guarded(alive_, [this] {
                                                       if (!restore_)
                                                           return;
                                                       restore_->dueTimer = 0;
                                                       if (restore_->fetched)
                                                           putBack();
                                                       else
                                                           restore_->waitingForFetch = true;
                                                   }));
    restore_->limitTimer = platform_.scheduler.after(putBackLimit, guarded(alive_, [this] {
                                                         if (restore_)
                                                             restore_->limitTimer = 0;
                                                         putBack();
                                                     }));
}

}  // namespace dz
