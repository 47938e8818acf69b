#include "app/controller/ClipboardMonitor.h"

#include "app/platform/Clipboard.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/Scheduler.h"
#include "app/platform/Workspace.h"
#include "core/cleaner/PasteboardCleaner.h"

namespace dz {

ClipboardMonitor::ClipboardMonitor(Clipboard& clipboard, Workspace& workspace, KeyEventSource& keys,
                                   Scheduler& scheduler)
    : lastChangeCount(clipboard.changeCount()),
      clipboard_(clipboard),
      workspace_(workspace),
      keys_(keys),
      scheduler_(scheduler) {}

ClipboardMonitor::~ClipboardMonitor() {
    if (started_) {
        clipboard_.setChangeHandler(nullptr);
        keys_.setHandler(nullptr);
    }
}

void ClipboardMonitor::start() {
    if (started_)
        return;
    started_ = true;
    clipboard_.setChangeHandler([this] { checkPasteboard(); });
    keys_.setHandler([this](const KeyStateEvent& event) { optionTap.handle(event); });
}

ClipboardChange ClipboardMonitor::source() const {
    // The application that wrote the clipboard is the best witness; the
    // frontmost one stands in when the backend cannot tell.
    std::optional<Workspace::RunningApplication> reference;
    if (auto owner = clipboard_.owner(); owner && owner->bundleID) {
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
    std::optional<std::string> declared = PasteboardCleaner::declaredSource(clipboard_);
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

void ClipboardMonitor::checkPasteboard() {
    int64_t count = clipboard_.changeCount();
    if (count == lastChangeCount)
        return;
    lastChangeCount = count;
    ClipboardChange change = source();
    if (!onChange)
        return;
    change.bypassRequested = optionTap.consumeBypass(scheduler_.now(), bypassWindow);
    onChange(change);
}

}  // namespace dz
