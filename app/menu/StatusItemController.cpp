#include "app/menu/StatusItemController.h"

#include <array>

#include "app/input/KeyNames.h"
#include "app/platform/Workspace.h"
#include "core/links/URLComponents.h"

namespace dz {

namespace {

constexpr std::string_view appName = "Dozuzavuvu";

std::optional<std::string> hostOf(const std::optional<std::string>& url) {
    if (!url)
        return std::nullopt;
    auto parts = URLComponents::parse(*url);
    if (!parts || !parts->hasHost())
        return std::nullopt;
    return parts->host;
}

std::optional<AppRule> existingRule(const AppSettings& settings, RuleDirection direction, RuleKind kind,
                                    std::string_view key) {
    return kind == RuleKind::app ? settings.ruleForApp(direction, key)
                                 : settings.ruleForWebsite(direction, key);
}

MenuItem commandItem(std::string title, MenuCommand command) {
    MenuItem item;
    item.title = std::move(title);
    item.command = command;
    return item;
}

}  // namespace

StatusItemController::StatusItemController(AppSettings& settings, Scheduler& scheduler,
                                           std::function<StatusItemState()> state, StatusItemActions actions,
                                           TimeFormatter formatTime)
    : settings_(settings),
      scheduler_(scheduler),
      state_(std::move(state)),
      actions_(std::move(actions)),
      formatTime_(std::move(formatTime)) {}

StatusItemController::~StatusItemController() {
    if (revealEnd_)
        scheduler_.cancel(revealEnd_);
}

bool StatusItemController::isPaused(const StatusItemState& state) const {
    return state.pausedUntil && *state.pausedUntil > scheduler_.now();
}

std::string StatusItemController::stateText(const SettingsData& settings,
                                            const StatusItemState& state) const {
    if (isPaused(state))
        return std::string(appName) + " (paused)";
    if (settings.autoClean)
        return std::string(appName) + " (cleaning automatically, " +
               std::string(outputformat::title(settings.defaultFormat)) + ")";
    return std::string(appName) + " (automatic cleaning off)";
}

StatusItemController::Appearance StatusItemController::appearance() const {
    const SettingsData& settings = settings_.data();
    StatusItemState state = state_();
    Appearance a;
    a.visible = settings.showMenuBarIcon || (revealUntil_ && *revealUntil_ > scheduler_.now());
    a.icon = settings.menuBarIcon;
    a.stateText = stateText(settings, state);
    a.toolTip = a.stateText + "\nMiddle-click to toggle automatic cleaning.";
    a.dimmed = !settings.autoClean || isPaused(state);
    return a;
}

void StatusItemController::refresh() {
    if (renderer_)
        renderer_(appearance());
}

void StatusItemController::install(Signal& stateChanged) {
    stateSubscription_ = stateChanged.subscribe([this] { refresh(); });
    refresh();
}

void StatusItemController::revealTemporarily(double seconds) {
    revealUntil_ = scheduler_.now() + seconds;
    refresh();
    if (revealEnd_)
        scheduler_.cancel(revealEnd_);
    revealEnd_ = scheduler_.after(seconds + 0.1, [this] {
        revealEnd_ = 0;
        refresh();
    });
}

void StatusItemController::toggleClicked() {
    if (actions_.toggleAutoClean)
        actions_.toggleAutoClean();
    refresh();
}

MenuItem StatusItemController::ruleMenu(const std::string& title, RuleDirection direction, RuleKind kind,
                                        const std::string& key, const std::string& name,
                                        const std::optional<std::string>& notice) const {
    std::optional<AppRule> existing = existingRule(settings_, direction, kind, key);
    MenuItem menu;
    menu.title = (existing ? "Rule: " : "Add Rule: ") + title;
    if (notice) {
        MenuItem line;
        line.title = *notice;
        line.enabled = false;
        menu.children.push_back(std::move(line));
        menu.children.push_back(MenuItem::makeSeparator());
    }

    static constexpr std::array<RuleFormat, 4> sourceOrder{RuleFormat::original, RuleFormat::plain,
                                                           RuleFormat::links, RuleFormat::markdown};
    static constexpr std::array<RuleFormat, 4> destinationOrder{RuleFormat::markdown, RuleFormat::links,
                                                                RuleFormat::plain, RuleFormat::original};
    const auto& order = direction == RuleDirection::source ? sourceOrder : destinationOrder;
    RuleChange base{direction, kind, key, name, std::nullopt, std::nullopt, false};
    for (RuleFormat format : order) {
        MenuItem item = commandItem(std::string(ruleformat::title(format)), MenuCommand::setRule);
        item.ruleChange = base;
        item.ruleChange->format = format;
        item.check = MenuItem::Check::choice;
        item.checked = existing && existing->format == format;
        menu.children.push_back(std::move(item));
    }
    menu.children.push_back(MenuItem::makeSeparator());
    MenuItem fix = commandItem("Fix PDF Line Breaks", MenuCommand::setRule);
    fix.ruleChange = base;
    fix.ruleChange->fixPDF = existing ? !existing->fixPDF : true;
    fix.check = MenuItem::Check::toggle;
    fix.checked = existing && existing->fixPDF;
    menu.children.push_back(std::move(fix));
    if (existing) {
        menu.children.push_back(MenuItem::makeSeparator());
        MenuItem remove = commandItem("Remove Rule", MenuCommand::setRule);
        remove.ruleChange = base;
        remove.ruleChange->remove = true;
        menu.children.push_back(std::move(remove));
    }
    return menu;
}

Menu StatusItemController::buildMenu() const {
    const SettingsData& settings = settings_.data();
    StatusItemState state = state_();
    Menu menu;

    MenuItem toggle = commandItem("Clean Automatically", MenuCommand::toggleAuto);
    toggle.check = MenuItem::Check::toggle;
    toggle.checked = settings.autoClean;
    menu.push_back(std::move(toggle));

    if (isPaused(state)) {
        menu.push_back(commandItem("Resume (Paused Until " + formatTime_(*state.pausedUntil) + ")",
                                   MenuCommand::resume));
    } else if (settings.autoClean) {
        MenuItem pause;
        pause.title = "Pause";
        for (int minutes : {5, 15, 60}) {
            MenuItem item =
                commandItem(minutes == 60 ? "For 1 Hour" : "For " + std::to_string(minutes) + " Minutes",
                            MenuCommand::pauseFor);
            item.tag = minutes;
            pause.children.push_back(std::move(item));
        }
        menu.push_back(std::move(pause));
    }

    menu.push_back(MenuItem::makeSeparator());
    menu.push_back(MenuItem::makeHeader("Paste As"));
    for (OutputFormat format : outputformat::cyclable) {
        MenuItem item = commandItem(std::string(outputformat::title(format)), MenuCommand::setFormat);
        item.indentation = 1;
        item.check = MenuItem::Check::choice;
        item.checked = settings.defaultFormat == format;
        item.representedValue = std::string(outputformat::rawValue(format));
        menu.push_back(std::move(item));
    }

    menu.push_back(MenuItem::makeSeparator());
    menu.push_back(commandItem("Clean Clipboard Now", MenuCommand::cleanNow));
    struct Conversion {
        const char* title;
        MenuCommand command;
        ShortcutAction shortcut;
    };
    for (const Conversion& c :
         {Conversion{"Restore Original Formatting", MenuCommand::restoreOriginal,
                     ShortcutAction::pasteOriginal},
          Conversion{"Convert Clipboard to Markdown", MenuCommand::convertToMarkdown,
                     ShortcutAction::pasteMarkdown},
          Conversion{"Fix PDF Line Breaks", MenuCommand::fixPDF, ShortcutAction::pastePDFFixed}}) {
        MenuItem item = commandItem(c.title, c.command);
        if (auto combo = settings.shortcut(c.shortcut)) {
            item.shortcut = keynames::displayText(*combo);
            item.toolTip = "Shortcut: " + *item.shortcut;
        }
        menu.push_back(std::move(item));
    }

    if (state.lastCopy) {
        const StatusItemState::Source& source = state.lastCopy->source;
        menu.push_back(MenuItem::makeSeparator());
        MenuItem line;
        line.title = "Last copy: " + source.label + " \u2014 " + state.lastCopy->detail;
        line.enabled = false;
        menu.push_back(std::move(line));
        if (source.bundleID && *source.bundleID != Workspace::ownBundleID) {
            const std::string& name = source.name ? *source.name : *source.bundleID;
            menu.push_back(ruleMenu("Copying from \u201C" + name + "\u201D", RuleDirection::source,
                                    RuleKind::app, *source.bundleID, name));
        }
        if (auto host = hostOf(source.pageURL)) {
            std::string key = AppRule::normalizedPattern(*host);
            if (!key.empty())
                menu.push_back(ruleMenu("Copying from \u201C" + *host + "\u201D", RuleDirection::source,
                                        RuleKind::website, key, ""));
        }
    }

    if (state.frontmost && state.frontmost->bundleID &&
        *state.frontmost->bundleID != Workspace::ownBundleID) {
        const std::string& id = *state.frontmost->bundleID;
        const std::string& name = state.frontmost->name ? *state.frontmost->name : id;
        menu.push_back(ruleMenu("Pasting into \u201C" + name + "\u201D", RuleDirection::destination,
                                RuleKind::app, id, name, state.pastingRulesNotice));
    }

    menu.push_back(MenuItem::makeSeparator());
    MenuItem settingsItem = commandItem("Settings\u2026", MenuCommand::openSettings);
    settingsItem.keyEquivalent = ",";
    menu.push_back(std::move(settingsItem));
    MenuItem quit = commandItem(std::string("Quit ") + std::string(appName), MenuCommand::quit);
    quit.keyEquivalent = "q";
    menu.push_back(std::move(quit));
    return menu;
}

void StatusItemController::perform(const MenuItem& item) {
    auto call = [](const auto& f, auto&&... args) {
        if (f)
            f(std::forward<decltype(args)>(args)...);
    };
    switch (item.command) {
        case MenuCommand::none:
            return;
        case MenuCommand::toggleAuto:
            call(actions_.toggleAutoClean);
            return;
        case MenuCommand::pauseFor:
            call(actions_.pause, double(item.tag));
            return;
        case MenuCommand::resume:
            call(actions_.resume);
            return;
        case MenuCommand::setFormat:
            if (item.representedValue)
                if (auto format = outputformat::fromRaw(*item.representedValue))
                    call(actions_.setDefaultFormat, *format);
            return;
        case MenuCommand::cleanNow: {
            if (!actions_.convert)
                return;
            OutputFormat format = settings_.data().defaultFormat;
            if (format == OutputFormat::original)
                format = OutputFormat::plain;
            // With nothing usable on the clipboard the controller has beeped
            // already; one beep is enough.
            actions_.convert(format, false, false, [beep = actions_.beep](CleanOutcome outcome) {
                if (outcome.kind() == CleanOutcome::Kind::skipped &&
                    outcome != CleanOutcome::skipped(SkipReason::noText) && beep)
                    beep();
            });
            return;
        }
        case MenuCommand::restoreOriginal:
            if (actions_.convert)
                actions_.convert(OutputFormat::original, false, true, {});
            return;
        case MenuCommand::convertToMarkdown:
            if (actions_.convert)
                actions_.convert(OutputFormat::markdown, state_().baseReflow.value_or(false), true, {});
            return;
        case MenuCommand::fixPDF:
            call(actions_.fixPDFLineBreaks);
            return;
        case MenuCommand::openSettings:
            call(actions_.openSettings);
            return;
        case MenuCommand::setRule:
            if (item.ruleChange)
                setRule(settings_, *item.ruleChange);
            return;
        case MenuCommand::quit:
            call(actions_.quit);
            return;
    }
}

void setRule(AppSettings& settings, const RuleChange& change) {
    std::optional<AppRule> existing = existingRule(settings, change.direction, change.kind, change.key);
    if (change.remove) {
        if (existing)
            settings.removeRules({existing->id});
        return;
    }
    AppRule rule;
    if (existing) {
        rule = *existing;
    } else {
        rule.direction = change.direction;
        rule.kind = change.kind;
        if (change.kind == RuleKind::app) {
            rule.bundleID = change.key;
            rule.name = change.name;
        } else {
            rule.website = AppRule::normalizedPattern(change.key);
            // A pattern that is empty would never match anything.
            if (rule.website.empty())
                return;
        }
        rule.format = RuleFormat::useDefault;
        rule.fixPDF = false;
        rule.enabled = true;
    }
    if (change.format)
        rule.format = *change.format;
    if (change.fixPDF)
        rule.fixPDF = *change.fixPDF;

    SettingsData updated = settings.data();
    for (AppRule& stored : updated.rules)
        if (stored.id == rule.id) {
            stored = rule;
            settings.setData(std::move(updated));
            return;
        }
    settings.addRule(std::move(rule));
}

}  // namespace dz
