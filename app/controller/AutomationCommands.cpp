#include "app/controller/AutomationCommands.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/controller/CopyHandler.h"
#include "app/controller/ShortcutActions.h"
#include "app/platform/SystemServices.h"
#include "app/settings/AppSettings.h"
#include "core/links/URLComponents.h"
#include "core/links/URLQueryItem.h"
#include "core/text/Unicode.h"

namespace dz {

AutomationCommands::AutomationCommands(AppSettings& settings, SystemServices& system, CopyHandler& copies,
                                       ShortcutActions& actions, Signal& settingsRequested)
    : settings_(settings),
      system_(system),
      copies_(copies),
      actions_(actions),
      settingsRequested_(settingsRequested) {}

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

void AutomationCommands::open(const std::vector<std::string>& urls, Origin origin) {
    for (size_t i = 0; i < urls.size() && i < addressesPerRequest; ++i) handle(urls[i], origin);
    if (urls.size() > addressesPerRequest)
        system_.beep();
}

void AutomationCommands::handle(std::string_view url, Origin origin) {
    // Not even read: parsing a huge address would hold up the program.
    if (url.size() > longestAddress) {
        system_.beep();
        return;
    }
    std::optional<URLComponents> parsed = URLComponents::parse(url);
    if (!parsed) {
        // Not an address at all; only ours gets a sound.
        if (unicode::lowercased(url.substr(0, std::min<size_t>(url.size(), 11))) == "dozuzavuvu:")
            system_.beep();
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
        actions_.resume();
    } else if (command == "disable") {
        SettingsData data = settings_.data();
        data.autoClean = false;
        settings_.setData(std::move(data));
    } else if (command == "toggle") {
        actions_.toggleAutoClean();
    } else if (command == "clean") {
        actions_.convert(copies_.defaultTarget(), false);
    } else if (command == "paste") {
        if (origin == Origin::link)
            actions_.offerOnce([](const ClipState& state) {
                return Written{OutputFormat::plain, state.base.reflow};
            });
        else
            actions_.cleanAndPaste();
    } else if (command == "paste-original" || command == "paste-markdown") {
        const ShortcutAction action =
            command == "paste-original" ? ShortcutAction::pasteOriginal : ShortcutAction::pasteMarkdown;
        if (origin == Origin::link)
            actions_.offerOnce(actions_.oneShotTarget(action));
        else
            actions_.perform(action);
    } else if (command == "copy-original") {
        // A link only marks the next copy: typing the copy key would copy
        // for whoever opened it.
        actions_.copyOriginal(origin == Origin::user);
    } else if (command == "markdown") {
        actions_.convert(
            Written{OutputFormat::markdown, copies_.clip() ? copies_.clip()->base.reflow : false}, true);
    } else if (command == "format") {
        std::optional<std::string> set = parameter(items, "set");
        if (set == "plain")
            actions_.setDefaultFormat(OutputFormat::plain);
        else if (set == "links")
            actions_.setDefaultFormat(OutputFormat::plainWithLinks);
        else if (set == "markdown" || set == "md")
            actions_.setDefaultFormat(OutputFormat::markdown);
        else
            actions_.setDefaultFormat(outputformat::next(settings_.data().defaultFormat));
    } else if (command == "preserve-links") {
        std::optional<std::string> on = parameter(items, "on");
        if (settings_.data().defaultFormat != OutputFormat::plainWithLinks) {
            // An explicit "false" asks for no links, which is already so.
            if (on != "false")
                actions_.setDefaultFormat(OutputFormat::plainWithLinks);
        } else {
            actions_.setDefaultFormat(on == "true" ? OutputFormat::plainWithLinks : OutputFormat::plain);
        }
    } else if (command == "pause") {
        std::optional<std::string> minutes = parameter(items, "minutes");
        std::optional<double> value = minutes ? decimalNumber(*minutes) : std::nullopt;
        actions_.pause(value ? *value : 5);
    } else if (command == "resume") {
        actions_.resume();
    } else if (command == "settings") {
        settingsRequested_.send();
    } else {
        system_.beep();
    }
}

}  // namespace dz
