#include "app/controller/AppController.h"

#include <tuple>
#include <utility>

#include "app/platform/Clipboard.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SystemServices.h"
#include "app/rules/AppRule.h"
#include "app/rules/RuleFormat.h"
#include "app/settings/AppSettings.h"
#include "app/support/Guarded.h"

namespace dz {

AppController::AppController(AppSettings& settings, const Platform& platform)
    : settings_(settings),
      platform_(platform),
      monitor_(platform.clipboard, platform.workspace, platform.keys, platform.scheduler),
      browserURLs_(platform.pageAddresses, platform.scheduler),
      pageAddresses_(platform.windows, platform.pageAddresses, platform.scheduler),
      copies_(settings, platform, monitor_, browserURLs_, pageAddresses_,
              CopyHandler::Links{lastCopy, scriptError, [this] { return actions_.isPaused(); },
                                 [this] { return interceptorActive.value(); },
                                 [this] { pastes_.cancelPutBack(); }}),
      pastes_(settings, platform, copies_, monitor_, browserURLs_, pageAddresses_, interceptorActive),
      actions_(settings, platform, copies_, monitor_, pastes_,
               ShortcutActions::Published{pausedUntil, failedShortcuts, stateChanged}),
      commands_(settings, platform.system, copies_, actions_, settingsRequested) {}

AppController::~AppController() {
    alive_.reset();
    platform_.scheduler.cancel(recheckTimer_);
    if (started_) {
        platform_.clipboard.setPasteHandler(nullptr);
        platform_.clipboard.setPasteFinishedHandler(nullptr);
    }
}

void AppController::start() {
    if (started_)
        return;
    started_ = true;
    std::weak_ptr<int> alive = alive_;

    monitor_.start([this, alive](const ClipboardChange& change, const Clipboard::Rendition& items) {
        if (!alive.expired())
            copies_.handle(change, items);
    });

    platform_.clipboard.setPasteHandler(
        [this, alive](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
            if (alive.expired())
                reply(std::nullopt);
            else
                pastes_.willPaste(request, std::move(reply));
        });
    platform_.clipboard.setPasteFinishedHandler(
        [this, alive](const Clipboard::PasteRequest& request, bool delivered) {
            if (!alive.expired())
                pastes_.pasteFinished(request, delivered);
        });

    // Each subscription drops repeated equal values.
    auto lastShortcuts = std::make_shared<std::optional<SettingsData::Shortcuts>>();
    subscriptions_.push_back(settings_.subscribe([this, lastShortcuts](const SettingsData& data) {
        if (*lastShortcuts && **lastShortcuts == data.shortcuts)
            return;
        *lastShortcuts = data.shortcuts;
        actions_.registerHotKeys(data.shortcuts);
    }));
    subscriptions_.push_back(
        settings_.subscribe([this](const SettingsData& data) { monitor_.setTapKey(data.tapKey); }));
    using Look = std::tuple<bool, OutputFormat, bool, MenuBarIcon>;
    auto lastLook = std::make_shared<std::optional<Look>>();
    subscriptions_.push_back(settings_.subscribe([this, lastLook](const SettingsData& data) {
        Look look{data.autoClean, data.defaultFormat, data.showMenuBarIcon, data.menuBarIcon};
        if (*lastLook && **lastLook == look)
            return;
        *lastLook = look;
        stateChanged.send();
    }));
    auto lastNeed = std::make_shared<std::optional<bool>>();
    subscriptions_.push_back(settings_.subscribe([this, lastNeed](const SettingsData& data) {
        bool need = data.hasDestinationRules();
        if (*lastNeed && **lastNeed == need)
            return;
        *lastNeed = need;
        platform_.scheduler.after(0, guarded(alive_, [this] { pastes_.updateInterceptor(); }));
    }));

    // Website rules need the page address of the browser in front; it is
    // followed from the window events while there are any.
    pageAddresses_.addressChanged = [this](int32_t pid, const std::string&) {
        // An answer the clipboard keeps for this browser was made without it.
        platform_.clipboard.forgetAnswers(pid);
    };
    auto lastTracking = std::make_shared<std::optional<bool>>();
    subscriptions_.push_back(settings_.subscribe([this, lastTracking](const SettingsData& data) {
        bool track =
            data.hasWebsiteRules(RuleDirection::source) || data.hasWebsiteRules(RuleDirection::destination);
        if (*lastTracking && **lastTracking == track)
            return;
        *lastTracking = track;
        pageAddresses_.setActive(track);
    }));

    recheckTimer_ = platform_.scheduler.every(interceptorRecheck,
                                              guarded(alive_, [this] { pastes_.updateInterceptor(); }));
}

// ---- Try it

AppController::Simulation AppController::simulate(const ClipboardSnapshot& snapshot, const SourceInfo& source,
                                                  std::optional<std::string> destinationBundleID,
                                                  std::optional<std::string> destinationURL,
                                                  std::optional<OutputFormat> override) {
    Resolution resolution = copies_.resolveCopy(source);
    Simulation simulation;
    Written target;
    if (override) {
        target = Written{*override, resolution.written.reflow};
        simulation.explanation = target.title() + ", as picked above.";
    } else if (resolution.pinned) {
        target = Written::original();
        simulation.explanation = "Pasted exactly as copied, because of " + resolution.reason + ".";
    } else {
        std::optional<AppRule> rule = matchingRule(settings_.data().rules, RuleDirection::destination,
                                                   destinationBundleID, destinationURL);
        if (rule) {
            target.format = rule->format == RuleFormat::useDefault
                                ? resolution.written.format
                                : ruleformat::outputFormat(rule->format, OutputFormat::plain);
            target.reflow = resolution.written.reflow || rule->fixPDF;
            simulation.explanation = target.title() + ", from the rule \u201cPasting into " +
                                     (rule->kind == RuleKind::website ? rule->website : rule->name) +
                                     "\u201d.";
        } else {
            target = resolution.written;
            simulation.explanation = target.title() + ", from " + resolution.reason + ".";
        }
    }
    if (target.format != OutputFormat::original) {
        std::optional<RenderedClip> rendered = copies_.render(snapshot, target);
        simulation.output = rendered ? rendered->string : std::string();
    }
    return simulation;
}

}  // namespace dz
