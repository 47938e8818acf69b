#include "app/tryit/TryItBinding.h"

#include "app/controller/AppController.h"

namespace dz {

namespace {

TryItTab::Place placeOf(const SourceInfo& source) {
    return TryItTab::Place{source.label(), source.bundleID, source.pageURL};
}

}  // namespace

TryItTab::Services tryItServices(AppController& controller) {
    AppController* c = &controller;
    TryItTab::Services services;
    services.simulate = [c](const ClipboardSnapshot& snapshot, const TryItTab::Place& source,
                            const TryItTab::Place& destination, std::optional<OutputFormat> override) {
        SourceInfo info{source.bundleID, source.label, std::nullopt, source.url};
        AppController::Simulation result =
            c->simulate(snapshot, info, destination.bundleID, destination.url, override);
        return TryItTab::Simulation{std::move(result.output), std::move(result.explanation)};
    };
    services.currentClipboard = [c]() -> std::optional<TryItTab::Clipboard> {
        std::optional<ClipState> state = c->copies().currentState();
        if (!state)
            return std::nullopt;
        return TryItTab::Clipboard{state->snapshot, placeOf(state->source)};
    };
    services.lastCopySource = [c]() -> std::optional<TryItTab::Place> {
        const std::optional<LastCopy>& last = c->lastCopy.value();
        if (!last)
            return std::nullopt;
        return placeOf(last->source);
    };
    return services;
}

}  // namespace dz
