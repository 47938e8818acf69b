#include "app/controller/StatusItemBridge.h"

#include "app/controller/AppController.h"
#include "app/platform/SystemServices.h"
#include "app/platform/Workspace.h"

namespace dz {

StatusItemState statusItemState(AppController& controller) {
    StatusItemState state;
    state.pausedUntil = controller.pausedUntil.value();
    if (const auto& last = controller.lastCopy.value()) {
        const SourceInfo& source = last->source;
        state.lastCopy = StatusItemState::LastCopy{
            {source.bundleID, source.name, source.pageURL, source.label()}, last->detail};
    }
    if (auto front = controller.platform().workspace.frontmostApplication())
        state.frontmost = StatusItemState::App{front->bundleID, front->localizedName};
    if (controller.clip())
        state.baseReflow = controller.clip()->base.reflow;
    return state;
}

StatusItemActions statusItemActions(AppController& controller, std::function<void()> openSettings,
                                    std::function<void()> quit) {
    AppController* c = &controller;
    StatusItemActions actions;
    actions.toggleAutoClean = [c] { c->actions().toggleAutoClean(); };
    actions.pause = [c](double minutes) { c->actions().pause(minutes); };
    actions.resume = [c] { c->actions().resume(); };
    actions.setDefaultFormat = [c](OutputFormat format) { c->actions().setDefaultFormat(format); };
    actions.convert = [c](OutputFormat format, bool reflow, bool pin,
                          std::function<void(CleanOutcome)> done) {
        c->actions().convert(Written{format, reflow}, pin, std::move(done));
    };
    actions.fixPDFLineBreaks = [c] { c->actions().fixPDFLineBreaks(); };
    actions.openSettings = std::move(openSettings);
    actions.quit = std::move(quit);
    actions.beep = [c] { c->platform().system.beep(); };
    return actions;
}

}  // namespace dz
