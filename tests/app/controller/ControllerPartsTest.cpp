// The controller's smaller pieces where a scenario would be clumsy: the
// Try-it sentences, the hot-key registry's suspension, the page-address
// cache and the monitor's own bookkeeping.
#include <gtest/gtest.h>

#include "app/controller/BrowserURLProvider.h"
#include "app/input/HotKeyCenter.h"
#include "tests/app/controller/ControllerHarness.h"

namespace dz::test {
namespace {

AppRule rule(RuleDirection direction, const std::string& bundleID, const std::string& name, RuleFormat format,
             bool fixPDF = false) {
    AppRule r = AppRule::forApp(direction, bundleID, name);
    r.format = format;
    r.fixPDF = fixPDF;
    return r;
}

TEST(SimulateTest, ExplanationSentencesAndOutputs) {
    ControllerHarness h;
    h.edit([](SettingsData& d) {
        d.rules.push_back(rule(RuleDirection::source, "org.kde.kate", "Kate", RuleFormat::original));
        d.rules.push_back(
            rule(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian", RuleFormat::markdown));
        d.rules.push_back(*AppRule::forWebsite(RuleDirection::destination, "https://www.wiki.example.org/"));
        d.rules.back().format = RuleFormat::useDefault;
        d.rules.back().fixPDF = true;
    });
    ClipboardSnapshot snapshot(std::string("Hello world"), std::string("<p>Hello <b>world</b></p>"),
                               std::nullopt, std::nullopt);
    const int writes = h.fakes.clipboard.writes();
    auto simulate = [&](SourceInfo source, std::optional<std::string> into, std::optional<std::string> url,
                        std::optional<OutputFormat> override = std::nullopt) {
        return h.controller->simulate(snapshot, source, into, url, override);
    };
    SourceInfo editor{"org.gnome.TextEditor", "Text Editor", std::nullopt, std::nullopt};
    SourceInfo kate{"org.kde.kate", "Kate", std::nullopt, std::nullopt};
    SourceInfo viewer{"org.gnome.Evince", "Document Viewer (PDF)", std::nullopt, std::nullopt};

    EXPECT_EQ(simulate(editor, std::nullopt, std::nullopt),
              (AppController::Simulation{"Hello world", "Plain Text, from your default format."}));
    EXPECT_EQ(
        simulate(kate, "md.obsidian.Obsidian", std::nullopt),
        (AppController::Simulation{
            std::nullopt, "Pasted exactly as copied, because of the rule \u201cCopying from Kate\u201d."}));
    EXPECT_EQ(simulate(editor, "md.obsidian.Obsidian", std::nullopt),
              (AppController::Simulation{"Hello **world**",
                                         "Markdown, from the rule \u201cPasting into Obsidian\u201d."}));
    EXPECT_EQ(
        simulate(viewer, std::nullopt, std::nullopt).explanation,
        "Plain Text \u00b7 PDF fixed, from your default format, with PDF fixes for Document Viewer (PDF).");
    EXPECT_EQ(simulate(viewer, std::nullopt, std::nullopt, OutputFormat::markdown).explanation,
              "Markdown \u00b7 PDF fixed, as picked above.");
    EXPECT_EQ(simulate(editor, std::nullopt, std::nullopt, OutputFormat::original),
              (AppController::Simulation{std::nullopt, "Keep Original, as picked above."}));
    EXPECT_EQ(simulate(editor, "firefox-esr", "https://wiki.example.org/page").explanation,
              "Plain Text \u00b7 PDF fixed, from the rule \u201cPasting into wiki.example.org\u201d.");
    EXPECT_EQ(simulate(SourceInfo{}, std::nullopt, std::nullopt, std::nullopt).explanation,
              "Plain Text, from your default format.");
    // Reads only.
    EXPECT_EQ(h.fakes.clipboard.writes(), writes);
    EXPECT_FALSE(h.controller->clip());
    EXPECT_FALSE(h.controller->lastCopy.value());
}

TEST(HotKeyCenterTest, SuspensionAndFreshIdentifiers) {
    fake::FakeHotKeyService service;
    HotKeyCenter center(service);
    std::vector<std::string> ran;
    KeyCombo v{9, KeyCombo::control | KeyCombo::option, "\u2303\u2325V"};
    KeyCombo m{46, KeyCombo::control | KeyCombo::option, "\u2303\u2325M"};
    service.taken.insert({46, KeyCombo::control | KeyCombo::option});

    auto failed = center.setHotKeys({{v, [&] { ran.push_back("v"); }}, {m, [&] { ran.push_back("m"); }}});
    EXPECT_EQ(failed, std::vector<KeyCombo>{m});
    EXPECT_TRUE(center.isRegistered(1));
    EXPECT_FALSE(center.isRegistered(2));
    EXPECT_TRUE(service.press(9, v.carbonModifiers));
    EXPECT_FALSE(service.press(46, m.carbonModifiers));

    // Recording a shortcut: nothing live, and a press already on its way is ignored.
    center.isSuspended = true;
    center.unregisterAll();
    EXPECT_TRUE(service.registered.empty());
    center.pressed(1);
    EXPECT_TRUE(center.setHotKeys({{m, [&] { ran.push_back("m2"); }}}).empty())
        << "nothing registers while suspended";
    EXPECT_TRUE(service.registered.empty());
    center.isSuspended = false;
    service.taken.clear();
    EXPECT_TRUE(center.registerAll().empty());
    EXPECT_TRUE(service.press(46, m.carbonModifiers));
    EXPECT_EQ(ran, (std::vector<std::string>{"v", "m2"}));
    EXPECT_EQ(center.combos().begin()->first, 1u) << "identifiers restart at 1";
}

TEST(BrowserURLProviderTest, CacheIsPerBrowserShortLivedAndNeverHoldsFailures) {
    fake::VirtualScheduler scheduler;
    fake::FakePageAddressLookup lookup(scheduler);
    BrowserURLProvider provider(lookup, scheduler);
    std::vector<std::optional<std::string>> answers;
    auto ask = [&](const std::string& id) {
        provider.currentURL(id, 1, [&](std::optional<std::string> url) { answers.push_back(url); });
        scheduler.runDue();
        scheduler.advance(0.1);
    };
    lookup.answers["firefox"] = {"  https://a.example/x \n", 0.1};
    lookup.answers["chromium"] = {"about:blank", 0.1};
    ask("firefox");
    ask("firefox");  // 0.1 s later: from the cache
    EXPECT_EQ(lookup.lookups, 1);
    ask("chromium");  // another browser, and an address without a host is nothing
    ask("chromium");  // …which was not cached
    EXPECT_EQ(lookup.lookups, 3);
    scheduler.advance(1.5);
    ask("firefox");
    EXPECT_EQ(lookup.lookups, 4);
    EXPECT_EQ(answers,
              (std::vector<std::optional<std::string>>{"https://a.example/x", "https://a.example/x",
                                                       std::nullopt, std::nullopt, "https://a.example/x"}));
    EXPECT_TRUE(BrowserURLProvider::isBrowser("firefox-esr"));
    EXPECT_TRUE(BrowserURLProvider::isBrowser("com.apple.Safari"));
    EXPECT_FALSE(BrowserURLProvider::isBrowser("org.gnome.TextEditor"));
}

TEST(ClipboardMonitorTest, StartContentIsNotReportedAndWritesAreNotRepeated) {
    fake::FakePlatform fakes;
    fakes.clipboard.copy({{"public.utf8-plain-text", "there before us"}}, std::nullopt);
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    AppController controller(settings, fakes.platform());
    controller.start();
    controller.monitor().checkPasteboard();
    EXPECT_FALSE(controller.lastCopy.value());

    fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100}};
    fakes.workspace.frontmost = "org.gnome.TextEditor";
    fakes.clipboard.copy({{"public.html", "<p>a <b>b</b></p>"}, {"public.utf8-plain-text", "a b"}},
                         std::nullopt);
    ASSERT_TRUE(controller.clip());
    EXPECT_EQ(controller.clip()->source.pid, 100) << "without an owner the frontmost application copied";
    const int writes = fakes.clipboard.writes();
    ClipState state = *controller.clip();
    EXPECT_EQ(controller.write(state, state.written), CleanOutcome::cleaned());
    EXPECT_EQ(fakes.clipboard.writes(), writes) << "the same target twice writes nothing";
    fakes.scheduler.runDue();
    EXPECT_EQ(controller.lastCopy.value()->detail, "Plain Text");
}

}  // namespace
}  // namespace dz::test
