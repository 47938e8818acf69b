#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "app/menu/StatusItemController.h"
#include "app/platform/fakes/VirtualScheduler.h"
#include "app/settings/MemorySettingsStorage.h"

using namespace dz;
using nlohmann::json;
using nlohmann::ordered_json;

namespace {

std::optional<std::string> optionalString(const ordered_json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    return it->get<std::string>();
}

// A status item over in-memory settings, a virtual clock and recorded actions.
struct Harness {
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    fake::VirtualScheduler scheduler;
    StatusItemState state;
    std::vector<std::string> calls;
    CleanOutcome convertOutcome = CleanOutcome::cleaned();
    std::vector<StatusItemController::Appearance> rendered;
    StatusItemController status{settings, scheduler, [this] { return state; }, actions(),
                                shorttime::pattern("HH:mm", "UTC")};

    Harness() {
        status.setRenderer([this](const StatusItemController::Appearance& a) { rendered.push_back(a); });
    }

    StatusItemActions actions() {
        StatusItemActions a;
        a.toggleAutoClean = [this] {
            calls.push_back("toggleAutoClean");
            SettingsData data = settings.data();
            data.autoClean = !data.autoClean;
            settings.setData(data);
        };
        a.pause = [this](double minutes) { calls.push_back("pause " + std::to_string(int(minutes))); };
        a.resume = [this] { calls.push_back("resume"); };
        a.setDefaultFormat = [this](OutputFormat f) {
            calls.push_back("setDefaultFormat " + std::string(outputformat::rawValue(f)));
        };
        a.convert = [this](OutputFormat f, bool reflow, bool pin, std::function<void(CleanOutcome)> done) {
            calls.push_back("convert " + std::string(outputformat::rawValue(f)) + (reflow ? " reflow" : "") +
                            (pin ? " pinned" : ""));
            if (done)
                done(convertOutcome);
        };
        a.fixPDFLineBreaks = [this] { calls.push_back("fixPDFLineBreaks"); };
        a.openSettings = [this] { calls.push_back("openSettings"); };
        a.quit = [this] { calls.push_back("quit"); };
        a.beep = [this] { calls.push_back("beep"); };
        return a;
    }

    const MenuItem& item(std::vector<std::string> path) {
        menu_ = status.buildMenu();
        const MenuItem* found = menu::find(menu_, path);
        if (!found)
            throw std::runtime_error("no menu item " + path.back());
        return *found;
    }
    void choose(std::vector<std::string> path) { status.perform(item(std::move(path))); }

  private:
    Menu menu_;
};

// Fixture files: the settings and controller state going in, the status and
// menu expected out. Times are seconds after the scenario start.
class StatusMenuFixture : public testing::TestWithParam<std::string> {};

TEST_P(StatusMenuFixture, BuildsTheExpectedMenu) {
    std::ifstream file(GetParam());
    ordered_json fixture = ordered_json::parse(file);
    Harness h;
    if (fixture.contains("settings")) {
        std::string error;
        ASSERT_TRUE(h.settings.importJSON(fixture["settings"].dump(), &error)) << error;
    }
    h.scheduler.advance(fixture.value("elapsed", 0.0));
    if (fixture.contains("pausedUntil"))
        h.state.pausedUntil = fake::VirtualScheduler::defaultStart + fixture["pausedUntil"].get<double>();
    if (fixture.contains("lastCopy")) {
        const ordered_json& c = fixture["lastCopy"];
        h.state.lastCopy =
            StatusItemState::LastCopy{{optionalString(c, "bundleID"), optionalString(c, "name"),
                                       optionalString(c, "pageURL"), c.at("label").get<std::string>()},
                                      c.at("detail").get<std::string>()};
    }
    if (fixture.contains("frontmost"))
        h.state.frontmost = StatusItemState::App{optionalString(fixture["frontmost"], "bundleID"),
                                                 optionalString(fixture["frontmost"], "name")};
    h.state.pastingRulesNotice = optionalString(fixture, "pastingRulesNotice");

    auto a = h.status.appearance();
    ordered_json status{
        {"text", a.stateText}, {"toolTip", a.toolTip}, {"dimmed", a.dimmed}, {"visible", a.visible}};
    EXPECT_EQ(status, fixture["status"]) << status.dump(2);
    ordered_json menu = menu::toJSON(h.status.buildMenu());
    EXPECT_EQ(menu, fixture["menu"]) << menu.dump(2);
}

std::vector<std::string> fixtureFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(DZ_FIXTURES_DIR) + "/menu"))
        if (entry.path().extension() == ".json")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Files, StatusMenuFixture, testing::ValuesIn(fixtureFiles()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             std::erase_if(
                                 name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
                             return name;
                         });

}  // namespace

TEST(MenuItemTest, FindFollowsBareTitles) {
    Harness h;
    h.state.frontmost = StatusItemState::App{"org.kde.kate", "Kate"};
    Menu menu = h.status.buildMenu();
    auto find = [&](std::vector<std::string> path) { return menu::find(menu, path); };
    EXPECT_EQ(find({"Pause", "For 15 Minutes"})->tag, 15);
    EXPECT_EQ(find({"Add Rule: Pasting into \u201CKate\u201D", "Plain Text"})->ruleChange->format,
              RuleFormat::plain);
    EXPECT_EQ(find({"Fix PDF Line Breaks"})->command, MenuCommand::fixPDF);  // not the submenu's item
    EXPECT_EQ(find({"Restore Original Formatting    Ctrl+Alt+V"}), nullptr);
    EXPECT_EQ(find({"Restore Original Formatting"})->displayTitle(),
              "Restore Original Formatting    Ctrl+Alt+V");
    EXPECT_EQ(find({"Paste As"}), nullptr);
    EXPECT_EQ(find({""}), nullptr);
    EXPECT_EQ(find({"Pause", "For 2 Minutes"}), nullptr);
    EXPECT_EQ(find({"Clean Clipboard Now", "Anything"}), nullptr);
}

TEST(StatusItemControllerTest, ToggleClickFlipsAndRefreshesAtOnce) {
    Harness h;
    h.status.toggleClicked();
    EXPECT_EQ(h.calls, std::vector<std::string>{"toggleAutoClean"});
    ASSERT_EQ(h.rendered.size(), 1u);
    EXPECT_TRUE(h.rendered[0].dimmed);
    EXPECT_EQ(h.rendered[0].toolTip,
              "Dozuzavuvu (automatic cleaning off)\nMiddle-click to toggle automatic cleaning.");
}

TEST(StatusItemControllerTest, RevealShowsAHiddenIconForTheRequestedTime) {
    Harness h;
    SettingsData data = h.settings.data();
    data.showMenuBarIcon = false;
    h.settings.setData(data);
    EXPECT_FALSE(h.status.appearance().visible);

    h.status.revealTemporarily(5);
    ASSERT_EQ(h.rendered.size(), 1u);
    EXPECT_TRUE(h.rendered.back().visible);
    h.scheduler.advance(4.99);
    EXPECT_TRUE(h.status.appearance().visible);
    EXPECT_EQ(h.rendered.size(), 1u);
    h.scheduler.advance(0.02);  // past the period, before the re-refresh
    EXPECT_FALSE(h.status.appearance().visible);
    EXPECT_EQ(h.rendered.size(), 1u);
    h.scheduler.advance(0.09);  // 0.1 s after the end the icon is hidden again
    ASSERT_EQ(h.rendered.size(), 2u);
    EXPECT_FALSE(h.rendered.back().visible);

    // A second reveal replaces the first re-refresh; none outlives the item.
    h.status.revealTemporarily(5);
    h.status.revealTemporarily(1);
    EXPECT_EQ(h.scheduler.pendingCount(), 1u);
    h.scheduler.advance(1.2);
    EXPECT_FALSE(h.rendered.back().visible);
    {
        StatusItemController shortLived(h.settings, h.scheduler, [] { return StatusItemState{}; }, {});
        shortLived.revealTemporarily(5);
        EXPECT_EQ(h.scheduler.pendingCount(), 1u);
    }
    EXPECT_EQ(h.scheduler.pendingCount(), 0u);
}

TEST(StatusItemControllerTest, ItemsForwardToTheController) {
    Harness h;
    h.choose({"Pause", "For 1 Hour"});
    h.choose({"Plain Text with Links"});
    h.choose({"Restore Original Formatting"});
    h.choose({"Convert Clipboard to Markdown"});
    h.state.baseReflow = true;
    h.choose({"Convert Clipboard to Markdown"});
    h.choose({"Fix PDF Line Breaks"});
    h.choose({"Settings\u2026"});
    h.choose({"Quit Dozuzavuvu"});
    EXPECT_EQ(h.calls,
              (std::vector<std::string>{"pause 60", "setDefaultFormat links", "convert original pinned",
                                        "convert markdown pinned", "convert markdown reflow pinned",
                                        "fixPDFLineBreaks", "openSettings", "quit"}));

    // Cleaning now goes to the default target, unpinned, and beeps on a skip;
    // an empty clipboard has had its beep from the controller already.
    h.calls.clear();
    SettingsData data = h.settings.data();
    data.defaultFormat = OutputFormat::markdown;
    h.settings.setData(data);
    h.choose({"Clean Clipboard Now"});
    h.convertOutcome = CleanOutcome::skipped(SkipReason::sensitive);
    h.choose({"Clean Clipboard Now"});
    h.convertOutcome = CleanOutcome::skipped(SkipReason::noText);
    h.choose({"Clean Clipboard Now"});
    h.convertOutcome = CleanOutcome::unchanged();
    h.choose({"Clean Clipboard Now"});
    EXPECT_EQ(h.calls, (std::vector<std::string>{"convert markdown", "convert markdown", "beep",
                                                 "convert markdown", "convert markdown"}));

    // A format item with a value that is not a format does nothing.
    h.calls.clear();
    MenuItem broken = h.item({"Markdown"});
    broken.representedValue = "bold";
    h.status.perform(broken);
    EXPECT_TRUE(h.calls.empty());
}

TEST(StatusItemControllerTest, ResumeTitleUsesTheShortTimeAndForwards) {
    Harness h;
    h.state.pausedUntil = fake::VirtualScheduler::defaultStart + 300;
    h.choose({"Resume (Paused Until 09:05)"});
    EXPECT_EQ(h.calls, std::vector<std::string>{"resume"});
    // At the end of the pause the pause submenu is back.
    h.scheduler.advance(300);
    EXPECT_NO_THROW(h.item({"Pause", "For 5 Minutes"}));
    EXPECT_FALSE(h.status.appearance().dimmed);
}

TEST(SetRuleTest, CreatesChangesAndRemovesRules) {
    Harness h;
    h.state.frontmost = StatusItemState::App{"org.gnome.TextEditor", "Text Editor"};
    const std::string menuTitle = "Add Rule: Pasting into \u201CText Editor\u201D";
    size_t before = h.settings.data().rules.size();

    // A format first: an enabled rule without the PDF fix.
    h.choose({menuTitle, "Markdown"});
    auto rule = h.settings.ruleForApp(RuleDirection::destination, "org.gnome.TextEditor");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->name, "Text Editor");
    EXPECT_EQ(rule->format, RuleFormat::markdown);
    EXPECT_TRUE(rule->enabled);
    EXPECT_FALSE(rule->fixPDF);
    EXPECT_EQ(h.settings.data().rules.size(), before + 1);

    // Changes keep the rule's identity and place in the list.
    const std::string existingTitle = "Rule: Pasting into \u201CText Editor\u201D";
    EXPECT_TRUE(h.item({existingTitle, "Markdown"}).checked);
    h.choose({existingTitle, "Fix PDF Line Breaks"});
    h.choose({existingTitle, "Plain Text"});
    auto changed = h.settings.ruleForApp(RuleDirection::destination, "org.gnome.TextEditor");
    EXPECT_EQ(changed->id, rule->id);
    EXPECT_EQ(changed->format, RuleFormat::plain);
    EXPECT_TRUE(changed->fixPDF);
    EXPECT_EQ(h.settings.data().rules.back().id, rule->id);
    EXPECT_EQ(h.item({existingTitle, "Fix PDF Line Breaks"}).ruleChange->fixPDF, false);

    h.choose({existingTitle, "Remove Rule"});
    EXPECT_FALSE(h.settings.ruleForApp(RuleDirection::destination, "org.gnome.TextEditor"));
    EXPECT_EQ(h.settings.data().rules.size(), before);

    // The PDF fix first: a rule that keeps the default format.
    h.choose({menuTitle, "Fix PDF Line Breaks"});
    rule = h.settings.ruleForApp(RuleDirection::destination, "org.gnome.TextEditor");
    EXPECT_EQ(rule->format, RuleFormat::useDefault);
    EXPECT_TRUE(rule->fixPDF);

    // Removing what is not there changes nothing.
    SettingsData unchanged = h.settings.data();
    setRule(h.settings, RuleChange{RuleDirection::source, RuleKind::app, "nothing", "", {}, {}, true});
    EXPECT_EQ(h.settings.data(), unchanged);
}

TEST(SetRuleTest, WebsiteRulesUseTheNormalisedHost) {
    Harness h;
    h.state.lastCopy = StatusItemState::LastCopy{
        {"firefox-esr", "Firefox", "https://WWW.Example.org/wiki/Page?x=1", "Firefox \u00B7 Example.org"},
        "Plain Text"};
    h.choose({"Add Rule: Copying from \u201CWWW.Example.org\u201D", "Keep Original"});
    auto rule = h.settings.ruleForWebsite(RuleDirection::source, "example.org");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->website, "example.org");
    EXPECT_EQ(rule->kind, RuleKind::website);
    EXPECT_TRUE(rule->bundleID.empty());
    EXPECT_TRUE(rule->name.empty());
    EXPECT_EQ(rule->format, RuleFormat::original);
    EXPECT_TRUE(h.item({"Rule: Copying from \u201CWWW.Example.org\u201D", "Keep Original"}).checked);

    // A key that normalises to nothing would make a rule that never matches.
    size_t count = h.settings.data().rules.size();
    setRule(h.settings,
            RuleChange{
                RuleDirection::source, RuleKind::website, "https://www./", "", RuleFormat::plain, {}, false});
    EXPECT_EQ(h.settings.data().rules.size(), count);
}

TEST(ShortTimeTest, FixedPatternAndLocalStyle) {
    auto format = shorttime::pattern("HH:mm", "UTC");
    EXPECT_EQ(format(fake::VirtualScheduler::defaultStart + 300), "09:05");
    EXPECT_EQ(shorttime::pattern("HH:mm", "Europe/Berlin")(fake::VirtualScheduler::defaultStart), "10:00");
    EXPECT_FALSE(shorttime::local(fake::VirtualScheduler::defaultStart).empty());
    EXPECT_EQ(format(std::numeric_limits<double>::quiet_NaN()), "");
}
