#include <gtest/gtest.h>

#include "app/settings/MemorySettingsStorage.h"
#include "app/tryit/TryItTab.h"
#include "core/cleaner/PasteboardCleaner.h"

using namespace dz;

namespace {

using Place = TryItTab::Place;

// A tab over in-memory settings; the simulation records what it was asked.
struct Harness {
    struct Call {
        ClipboardSnapshot snapshot;
        Place source;
        Place destination;
        std::optional<OutputFormat> override;
    };

    MemorySettingsStorage storage;
    AppSettings settings{storage};
    std::vector<Call> calls;
    std::optional<TryItTab::Clipboard> clipboard;
    std::optional<Place> lastCopy;
    TryItTab tab{settings, services()};

    TryItTab::Services services() {
        TryItTab::Services s;
        s.simulate = [this](const ClipboardSnapshot& snapshot, const Place& source, const Place& destination,
                            std::optional<OutputFormat> override) {
            calls.push_back({snapshot, source, destination, override});
            return TryItTab::Simulation{snapshot.plainText(), "explained"};
        };
        s.currentClipboard = [this] { return clipboard; };
        s.lastCopySource = [this] { return lastCopy; };
        return s;
    }

    void addRule(AppRule rule) { settings.addRule(std::move(rule)); }
};

std::vector<std::string> labels(const std::vector<Place>& places) {
    std::vector<std::string> out;
    for (const Place& p : places) out.push_back(p.label);
    return out;
}

}  // namespace

TEST(TryItTabTest, SampleHasTheArticleStructure) {
    const ClipboardSnapshot& sample = TryItTab::webSample();
    ASSERT_EQ(sample.entries().size(), 2u);
    std::string html = *sample.html();
    for (const char* part : {"<h1>", "<b>", "utm_source=", "fbclid=", "<sup class=\"reference\">[1]</sup>",
                             "<sup class=\"reference\">[2]</sup><sup class=\"reference\">[3]</sup>",
                             "<h2>Etymology</h2>", "<i>", "<ul><li>", "km\u00B2"})
        EXPECT_NE(html.find(part), std::string::npos) << part;
    std::string plain = *sample.plainText();
    EXPECT_NE(plain.find(".[1] "), std::string::npos);
    EXPECT_NE(plain.find(".[2][3] "), std::string::npos);
    // List items as the Before pane shows them: the bullet and one space.
    EXPECT_NE(plain.find("\n\u2022 Area: about 100 km\u00B2\n\u2022 River: Tagus"), std::string::npos);

    // Cleaned by the engine: no markers, no tracking, the list kept.
    PasteboardCleaner links(CleaningOptions::defaultValue(), false, OutputFormat::plainWithLinks);
    auto rendered = links.render(sample);
    ASSERT_TRUE(rendered && rendered->html);
    EXPECT_EQ(rendered->string.find("[1]"), std::string::npos) << rendered->string;
    EXPECT_EQ(rendered->string.find("[2]"), std::string::npos);
    EXPECT_EQ(rendered->html->find("utm_source"), std::string::npos) << *rendered->html;
    EXPECT_EQ(rendered->html->find("fbclid"), std::string::npos);
    EXPECT_NE(rendered->html->find("https://www.visitlisboa.com/en"), std::string::npos);
    PasteboardCleaner markdown(CleaningOptions::defaultValue(), false, OutputFormat::markdown);
    auto md = markdown.render(sample);
    ASSERT_TRUE(md);
    EXPECT_EQ(md->string.rfind("# Lisbon\n", 0), 0u) << md->string;
    EXPECT_NE(md->string.find("## Etymology"), std::string::npos);
    EXPECT_NE(md->string.find("**Lisbon**"), std::string::npos);
    EXPECT_NE(md->string.find("(https://www.visitlisboa.com/en)"), std::string::npos) << md->string;
    EXPECT_EQ(md->string.find("[1]"), std::string::npos);
}

TEST(TryItTabTest, StartsWithTheSampleAndSimulatesOnShow) {
    Harness h;
    EXPECT_EQ(h.tab.source(),
              (Place{"Firefox \u00B7 en.wikipedia.org", "firefox", "https://en.wikipedia.org/wiki/Lisbon"}));
    EXPECT_EQ(h.tab.destination(), (Place{"Any other app", std::nullopt, std::nullopt}));
    EXPECT_EQ(h.tab.text(), TryItTab::webSample().plainText());
    EXPECT_FALSE(h.tab.simulation());
    EXPECT_EQ(h.tab.outputText(), "Pasted exactly as copied, with all its formatting.");
    EXPECT_EQ(h.tab.noteText(),
              "Nothing on your clipboard changes here. Edit the left side to try your own text.");

    h.tab.update();
    ASSERT_EQ(h.calls.size(), 1u);
    EXPECT_EQ(h.calls[0].snapshot, TryItTab::webSample());
    EXPECT_EQ(h.tab.outputText(), *TryItTab::webSample().plainText());

    h.tab.setOverride(OutputFormat::markdown);
    h.tab.setDestination(Place{"Kate", "org.kde.kate", std::nullopt});
    h.tab.setSource(TryItTab::pdfPlace());
    ASSERT_EQ(h.calls.size(), 4u);
    EXPECT_EQ(h.calls[3].override, OutputFormat::markdown);
    EXPECT_EQ(h.calls[3].destination.bundleID, "org.kde.kate");
    EXPECT_EQ(h.calls[3].source, (Place{"Document Viewer (PDF)", "org.gnome.Evince", std::nullopt}));
}

TEST(TryItTabTest, EditingDropsTheRichItemsOnlyWhenTheTextDiffers) {
    Harness h;
    std::string plain = *TryItTab::webSample().plainText();
    h.tab.setText(plain);  // as right after loading: the HTML stays
    EXPECT_EQ(h.calls.back().snapshot, TryItTab::webSample());

    h.tab.setText(plain + "!");
    EXPECT_FALSE(h.tab.snapshot());
    EXPECT_EQ(h.calls.back().snapshot.entries().size(), 1u);
    EXPECT_EQ(h.calls.back().snapshot.plainText(), plain + "!");
    EXPECT_FALSE(h.calls.back().snapshot.html());

    // Items without plain text are dropped by any edit.
    h.clipboard = TryItTab::Clipboard{ClipboardSnapshot(std::nullopt, "<p>x</p>", std::nullopt, std::nullopt),
                                      Place{"Firefox", "firefox", std::nullopt}};
    h.tab.useClipboard();
    EXPECT_EQ(h.tab.text(), "");
    EXPECT_TRUE(h.tab.snapshot());
    h.tab.setText("");
    EXPECT_FALSE(h.tab.snapshot());
}

TEST(TryItTabTest, UseClipboardLoadsOrExplains) {
    Harness h;
    h.tab.setText("my own text");
    size_t callsBefore = h.calls.size();

    h.tab.useClipboard();  // nothing usable
    EXPECT_EQ(h.tab.noteText(),
              "The clipboard has no text Dozuzavuvu can work with (or it\u2019s a password).");
    EXPECT_EQ(h.tab.text(), "my own text");
    EXPECT_EQ(h.calls.size(), callsBefore);

    ClipboardSnapshot copied("Hello", "<b>Hello</b>", std::nullopt, std::nullopt);
    h.clipboard = TryItTab::Clipboard{
        copied, Place{"Chromium \u00B7 example.com", "chromium", "https://www.example.com/a"}};
    h.tab.useClipboard();
    EXPECT_EQ(h.tab.text(), "Hello");
    EXPECT_EQ(h.tab.snapshot(), copied);
    EXPECT_EQ(h.tab.source(),
              (Place{"Clipboard: Chromium \u00B7 example.com", "chromium", "https://www.example.com/a"}));
    EXPECT_EQ(h.tab.noteText(), "Showing your clipboard. Nothing was changed.");
    EXPECT_EQ(h.calls.back().snapshot, copied);
    EXPECT_EQ(h.tab.sources().back().label, "Clipboard: Chromium \u00B7 example.com");
}

TEST(TryItTabTest, PlaceListsFollowRulesAndDropRepeatedLabels) {
    Harness h;
    SettingsData data = h.settings.data();
    data.rules.clear();
    h.settings.setData(data);
    h.addRule(AppRule::forApp(RuleDirection::source, "org.gnome.Evince", "Document Viewer (PDF)"));
    AppRule disabled = AppRule::forApp(RuleDirection::source, "libreoffice-calc", "LibreOffice Calc");
    disabled.enabled = false;
    h.addRule(disabled);
    h.addRule(*AppRule::forWebsite(RuleDirection::source, "https://www.docs.example.com/sheets"));
    h.addRule(AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian"));
    h.addRule(*AppRule::forWebsite(RuleDirection::destination, "chat.example.org"));
    h.lastCopy = Place{"Kate", "org.kde.kate", std::nullopt};

    auto sources = h.tab.sources();
    EXPECT_EQ(labels(sources), (std::vector<std::string>{"Any other app", "Firefox \u00B7 en.wikipedia.org",
                                                         "Document Viewer (PDF)", "LibreOffice Calc",
                                                         "docs.example.com/sheets", "Last copy: Kate"}));
    EXPECT_EQ(sources[3].bundleID, "libreoffice-calc");
    EXPECT_EQ(sources[4],
              (Place{"docs.example.com/sheets", std::nullopt, "https://docs.example.com/sheets"}));
    EXPECT_EQ(sources[5].bundleID, "org.kde.kate");

    // A last copy without an application is not offered.
    h.lastCopy = Place{"Unknown app", std::nullopt, "https://example.com"};
    EXPECT_EQ(h.tab.sources().size(), 5u);

    h.tab.setDestination(Place{"Obsidian", "somewhere.else", std::nullopt});
    EXPECT_EQ(labels(h.tab.destinations()),
              (std::vector<std::string>{"Any other app", "Obsidian", "chat.example.org"}));
    EXPECT_EQ(h.tab.destinations()[1].bundleID, "md.obsidian.Obsidian");
    h.tab.setDestination(Place{"Terminal", "org.gnome.Console", std::nullopt});
    EXPECT_EQ(h.tab.destinations().back().label, "Terminal");
}
