// The controller as a whole: the Try-it simulation, which reads the rules
// and renders but never writes.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace dz::test
