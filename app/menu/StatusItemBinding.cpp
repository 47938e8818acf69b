#include "app/menu/StatusItemBinding.h"

#include "app/controller/AppController.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"

namespace dz {

StatusItemState statusItemState(const AppController& controller) {
    StatusItemState state;
    state.pausedUntil = controller.pausedUntil.value();
    if (const std::optional<LastCopy>& last = controller.lastCopy.value()) {
        const SourceInfo& source = last->source;
        state.lastCopy =
            StatusItemState::LastCopy{{source.bundleID, source.name, source.pageURL, source.label()}, last->detail};
    }
    if (auto front = controller.platform().workspace.frontmostApplication())
        state.frontmost = StatusItemState::App{front->bundleID, front->localizedName};
    if (const std::optional<ClipState>& clip = controller.clip())
        state.baseReflow = clip->base.reflow;
    return state;
}

StatusItemActions statusItemActions(AppController& controller, std::function<void()> openSettings,
                                    std::function<void()> quit) {
    AppController* c = &controller;
    StatusItemActions actions;
    actions.toggleAutoClean = [c] { c->toggleAutoClean(); };
    actions.pause = [c](double minutes) { c->pause(minutes); };
    actions.resume = [c] { c->resume(); };
    actions.setDefaultFormat = [c](OutputFormat format) { c->setDefaultFormat(format); };
    actions.convert = [c](OutputFormat format, bool reflow, bool pin) { return c->convert(Written{format, reflow}, pin); };
    actions.fixPDFLineBreaks = [c] { c->fixPDFLineBreaks(); };
    actions.openSettings = std::move(openSettings);
    actions.quit = std::move(quit);
    actions.beep = [c] { c->platform().system.beep(); };
    return actions;
}

}  // namespace dz
