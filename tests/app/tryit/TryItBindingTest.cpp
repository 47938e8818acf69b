#include <gtest/gtest.h>

#include "app/tryit/TryItBinding.h"
#include "tests/app/controller/ControllerHarness.h"

using namespace dz;

namespace {

// The tab on a controller with fake desktop services.
struct TabHarness : test::ControllerHarness {
    TryItTab tab{settings, tryItServices(*controller)};

    TryItTab::Place sourceLabelled(const std::string& label) {
        for (const auto& place : tab.sources())
            if (place.label == label)
                return place;
        throw std::runtime_error("no source " + label);
    }
};

}  // namespace

TEST(TryItBindingTest, TheSampleThroughTheWholePipeline) {
    TabHarness h;
    h.tab.update();
    ASSERT_TRUE(h.tab.simulation());
    std::string output = h.tab.outputText();
    EXPECT_EQ(output.find("[1]"), std::string::npos) << output;
    EXPECT_EQ(output.find("[2]"), std::string::npos);
    EXPECT_EQ(h.tab.simulation()->explanation, "Plain Text, from your default format.");

    h.tab.setOverride(OutputFormat::markdown);
    EXPECT_NE(h.tab.outputText().find("](https://www.visitlisboa.com/en)"), std::string::npos)
        << h.tab.outputText();
    EXPECT_EQ(h.tab.simulation()->explanation, "Markdown, as picked above.");

    h.tab.setOverride(OutputFormat::original);
    EXPECT_FALSE(h.tab.simulation()->output);
    EXPECT_EQ(h.tab.outputText(), "Pasted exactly as copied, with all its formatting.");
    EXPECT_EQ(h.tab.simulation()->explanation, "Keep Original, as picked above.");

    // The clipboard is never touched.
    EXPECT_EQ(h.clipboardText(), "<none>");
    EXPECT_FALSE(h.controller->lastCopy.value());
}

TEST(TryItBindingTest, RulesDecideTheExplanation) {
    TabHarness h;
    h.edit([](SettingsData& s) {
        s.rules.push_back(AppRule::forApp(RuleDirection::source, "libreoffice-calc", "LibreOffice Calc"));
        s.rules.back().format = RuleFormat::original;
        s.rules.push_back(AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian"));
        s.rules.back().format = RuleFormat::markdown;
    });
    h.tab.setSource(h.sourceLabelled("LibreOffice Calc"));
    EXPECT_FALSE(h.tab.simulation()->output);
    EXPECT_EQ(h.tab.simulation()->explanation,
              "Pasted exactly as copied, because of the rule \u201CCopying from LibreOffice Calc\u201D.");

    h.tab.setSource(TryItTab::anyOtherApp());
    for (const auto& place : h.tab.destinations())
        if (place.label == "Obsidian")
            h.tab.setDestination(place);
    EXPECT_EQ(h.tab.simulation()->explanation, "Markdown, from the rule \u201CPasting into Obsidian\u201D.");
    EXPECT_EQ(h.tab.outputText().rfind("# Lisbon", 0), 0u);
}

TEST(TryItBindingTest, ClipboardAndLastCopy) {
    TabHarness h;
    h.fakes.clipboard.copy({{"public.utf8-plain-text", "secret"}, {"org.nspasteboard.ConcealedType", ""}},
                           std::nullopt);
    h.fakes.scheduler.runDue();
    std::string before = h.tab.text();
    h.tab.useClipboard();
    EXPECT_EQ(h.tab.noteText(), std::string(TryItTab::noTextNote));
    EXPECT_EQ(h.tab.text(), before);

    h.copyHTML("<p>Hi <b>there</b></p>", "Hi there", "firefox-esr");
    h.fakes.scheduler.advance(0.2);  // the page address is looked up first
    h.tab.useClipboard();
    EXPECT_EQ(h.tab.source().label, "Clipboard: Firefox");
    EXPECT_EQ(h.tab.source().bundleID, "firefox-esr");
    EXPECT_EQ(h.tab.text(), "Hi there");
    EXPECT_EQ(h.tab.noteText(), "Showing your clipboard. Nothing was changed.");
    EXPECT_EQ(h.tab.sources().back().label, "Clipboard: Firefox");
    EXPECT_EQ(h.tab.sources()[h.tab.sources().size() - 2].label, "Last copy: Firefox");
}
