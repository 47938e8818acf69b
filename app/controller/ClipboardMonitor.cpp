#include "app/controller/ClipboardMonitor.h"

#include "app/platform/Clipboard.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/Scheduler.h"
#include "app/platform/Workspace.h"
#include "core/cleaner/PasteboardCleaner.h"

namespace dz {

ClipboardMonitor::ClipboardMonitor(Clipboard& clipboard, Workspace& workspace, KeyEventSource& keys,
                                   Scheduler& scheduler)
    : clipboard_(clipboard),
      workspace_(workspace),
      keys_(keys),
      scheduler_(scheduler),
      lastChangeCount_(clipboard.changeCount()) {}

ClipboardMonitor::~ClipboardMonitor() {
    if (started_) {
        clipboard_.setChangeHandler(nullptr);
        keys_.setHandler(nullptr);
    }
}

void ClipboardMonitor::start(ChangeHandler onChange) {
    if (started_)
        return;
    started_ = true;
    onChange_ = std::move(onChange);
    clipboard_.setChangeHandler([this](const Clipboard::Contents& contents) { check(contents); });
    keys_.setHandler([this](const KeyStateEvent& event) { optionTap_.handle(event); });
}

ClipboardChange ClipboardMonitor::source(const Clipboard::Contents& contents) const {
    // The application that wrote the clipboard is the best witness; the
    // frontmost one stands in when the backend cannot tell.
    std::optional<Workspace::RunningApplication> reference;
    if (const auto& owner = contents.owner; owner && owner->bundleID) {
        reference = Workspace::RunningApplication{*owner->bundleID, std::nullopt, owner->pid};
        for (const auto& app : workspace_.runningApplications())
            if (app.bundleID == *owner->bundleID && (!owner->pid || !app.pid || *app.pid == *owner->pid)) {
                reference->localizedName = app.localizedName;
                if (!reference->pid)
                    reference->pid = app.pid;
                break;
            }
    } else {
        reference = workspace_.frontmostApplication();
    }

    ClipboardChange change;
    std::optional<std::string> declared = PasteboardCleaner::declaredSource(contents.items);
    if (!declared || (reference && reference->bundleID == *declared)) {
        if (reference) {
            change.sourceBundleID = reference->bundleID;
            change.sourceName = reference->localizedName;
            change.sourcePID = reference->pid;
        }
        return change;
    }
    change.sourceBundleID = *declared;
    for (const auto& app : workspace_.runningApplications())
        if (app.bundleID == *declared) {
            change.sourceName = app.localizedName ? *app.localizedName : *declared;
            change.sourcePID = app.pid;
            return change;
        }
    change.sourceName = *declared;
    return change;
}

void ClipboardMonitor::bypassNextCopy(double seconds) {
    bypassUntil_ = scheduler_.now() + seconds;
}

void ClipboardMonitor::checkPasteboard() {
    check(clipboard_.contents());
}

void ClipboardMonitor::check(const Clipboard::Contents& contents) {
    if (contents.changeCount == lastChangeCount_)
        return;
    lastChangeCount_ = contents.changeCount;
    if (!onChange_)
        return;
    ClipboardChange change = source(contents);
    change.changeCount = contents.changeCount;
    const TimePoint now = scheduler_.now();
    const bool marked = bypassUntil_ && now <= *bypassUntil_;
    bypassUntil_.reset();
    // A mark is used up by this copy; an armed tap stays for the next one.
    change.bypassRequested =
        marked || optionTap_.consumeBypass(now, bypassWindow, keys_.isHeld(KeyStateEvent::Key::alt));
    onChange_(change, contents.items);
}

}  // namespace dz
