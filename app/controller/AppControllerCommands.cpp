// Start-up wiring and the automation addresses ("dozuzavuvu://…").

#include <charconv>
#include <cmath>
#include <tuple>

#include "app/controller/AppController.h"
#include "app/platform/Scheduler.h"
#include "app/platform/SystemServices.h"
#include "app/settings/AppSettings.h"
#include "core/links/URLComponents.h"
#include "core/links/URLQueryItem.h"
#include "core/text/Unicode.h"

namespace dz {

void AppController::start() {
    if (started_)
        return;
    started_ = true;
    std::weak_ptr<int> alive = alive_;

    monitor_.onChange = [this, alive](const ClipboardChange& change) {
        if (!alive.expired())
            handle(change);
    };
    monitor_.start();

    platform_.clipboard.setPasteHandler(
        [this, alive](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
            if (alive.expired())
                reply(std::nullopt);
            else
                willPaste(request, std::move(reply));
        });
    platform_.clipboard.setPasteFinishedHandler([this, alive](const Clipboard::PasteRequest& request) {
        if (!alive.expired())
            pasteFinished(request);
    });

    // Each subscription drops repeated equal values.
    auto lastShortcuts = std::make_shared<std::optional<SettingsData::Shortcuts>>();
    subscriptions_.push_back(settings_.subscribe([this, lastShortcuts](const SettingsData& data) {
        if (*lastShortcuts && **lastShortcuts == data.shortcuts)
            return;
        *lastShortcuts = data.shortcuts;
        registerHotKeys(data.shortcuts);
    }));
    using Look = std::tuple<bool, OutputFormat, bool>;
    auto lastLook = std::make_shared<std::optional<Look>>();
    subscriptions_.push_back(settings_.subscribe([this, lastLook](const SettingsData& data) {
        Look look{data.autoClean, data.defaultFormat, data.showMenuBarIcon};
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
        platform_.scheduler.after(0, guarded([this] { updateInterceptor(); }));
    }));

    recheckTimer_ = platform_.scheduler.every(interceptorRecheck, guarded([this] { updateInterceptor(); }));
}

namespace {

std::string trimSlashes(std::string_view path) {
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

// The value of the first query item with exactly this name, lower-cased.
std::optional<std::string> parameter(const std::vector<URLQueryItem>& items, std::string_view name) {
    for (const auto& item : items)
        if (item.name == name)
            return item.value ? unicode::lowercased(*item.value) : std::string();
    return std::nullopt;
}

// Minutes as a decimal number; nothing for anything else (including
// infinities and "not a number").
std::optional<double> decimalNumber(std::string_view text) {
    double value = 0;
    auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

}  // namespace

void AppController::handle(std::string_view url) {
    std::optional<URLComponents> parsed = URLComponents::parse(url);
    if (!parsed) {
        // Not an address at all; only ours gets a sound.
        if (unicode::lowercased(url.substr(0, std::min<size_t>(url.size(), 11))) == "dozuzavuvu:")
            platform_.system.beep();
        return;
    }
    if (unicode::lowercased(parsed->scheme) != "dozuzavuvu")
        return;
    std::string command = parsed->hasHost() ? *parsed->host : trimSlashes(parsed->path);
    command = unicode::lowercased(command);
    std::vector<URLQueryItem> items;
    if (parsed->query)
        items = URLQueryItem::split(*parsed->query);

    if (command == "enable") {
        SettingsData data = settings_.data();
        data.autoClean = true;
        settings_.setData(std::move(data));
        resume();
    } else if (command == "disable") {
        SettingsData data = settings_.data();
        data.autoClean = false;
        settings_.setData(std::move(data));
    } else if (command == "toggle") {
        toggleAutoClean();
    } else if (command == "clean") {
        convert(defaultTarget(), false);
    } else if (command == "paste") {
        cleanAndPaste();
    } else if (command == "paste-original") {
        perform(ShortcutAction::pasteOriginal);
    } else if (command == "paste-markdown") {
        perform(ShortcutAction::pasteMarkdown);
    } else if (command == "markdown") {
        convert(Written{OutputFormat::markdown, clip_ ? clip_->base.reflow : false}, true);
    } else if (command == "format") {
        std::optional<std::string> set = parameter(items, "set");
        if (set == "plain")
            setDefaultFormat(OutputFormat::plain);
        else if (set == "links")
            setDefaultFormat(OutputFormat::plainWithLinks);
        else if (set == "markdown" || set == "md")
            setDefaultFormat(OutputFormat::markdown);
        else
            setDefaultFormat(outputformat::next(settings_.data().defaultFormat));
    } else if (command == "preserve-links") {
        std::optional<std::string> on = parameter(items, "on");
        if (settings_.data().defaultFormat != OutputFormat::plainWithLinks) {
            // An explicit "false" asks for no links, which is already so.
            if (on != "false")
                setDefaultFormat(OutputFormat::plainWithLinks);
        } else {
            setDefaultFormat(on == "true" ? OutputFormat::plainWithLinks : OutputFormat::plain);
        }
    } else if (command == "pause") {
        std::optional<std::string> minutes = parameter(items, "minutes");
        std::optional<double> value = minutes ? decimalNumber(*minutes) : std::nullopt;
        pause(value ? *value : 5);
    } else if (command == "resume") {
        resume();
    } else if (command == "settings") {
        settingsRequested.send();
    } else {
        platform_.system.beep();
    }
}

// ---- Try it

AppController::Simulation AppController::simulate(const ClipboardSnapshot& snapshot, const SourceInfo& source,
                                                  std::optional<std::string> destinationBundleID,
                                                  std::optional<std::string> destinationURL,
                                                  std::optional<OutputFormat> override) {
    Resolution resolution = resolveCopy(source);
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
        std::optional<RenderedClip> rendered = makeCleaner(target).render(snapshot);
        simulation.output = rendered ? rendered->string : std::string();
    }
    return simulation;
}

}  // namespace dz
