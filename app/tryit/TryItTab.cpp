#include "app/tryit/TryItTab.h"

#include <unordered_set>

namespace dz {

namespace {

constexpr std::string_view sampleAddress = "https://en.wikipedia.org/wiki/Lisbon";

constexpr std::string_view sampleHTML =
    "<h1>Lisbon</h1>"
    "<p><b>Lisbon</b> is the capital and largest city of Portugal, on the northern bank of the Tagus "
    "estuary.<sup class=\"reference\">[1]</sup> It is one of the oldest cities in Western Europe, settled "
    "long "
    "before Roman times.<sup class=\"reference\">[2]</sup><sup class=\"reference\">[3]</sup> The city\u2019s "
    "tourism office publishes "
    "<a href=\"https://www.visitlisboa.com/en?utm_source=newsletter&amp;fbclid=IwAR0xK3pLq8ZtVbN\">a guide "
    "to "
    "its seven hills</a>.</p>"
    "<h2>Etymology</h2>"
    "<p>The name is usually traced to <i>Olissipo</i>, the name the Romans used for the settlement.</p>"
    "<ul><li>Area: about 100 km\u00B2</li><li>River: Tagus</li></ul>";

constexpr std::string_view samplePlain =
    "Lisbon\n"
    "\n"
    "Lisbon is the capital and largest city of Portugal, on the northern bank of the Tagus estuary.[1] It is "
    "one of the oldest cities in Western Europe, settled long before Roman times.[2][3] The city\u2019s "
    "tourism "
    "office publishes a guide to its seven hills.\n"
    "\n"
    "Etymology\n"
    "\n"
    "The name is usually traced to Olissipo, the name the Romans used for the settlement.\n"
    "\n"
    "\u2022 Area: about 100 km\u00B2\n"
    "\u2022 River: Tagus";

TryItTab::Place placeForRule(const AppRule& rule) {
    if (rule.kind == RuleKind::website)
        return {rule.website, std::nullopt, "https://" + rule.website};
    return {rule.name, rule.bundleID, std::nullopt};
}

}  // namespace

TryItTab::TryItTab(const AppSettings& settings, Services services)
    : settings_(settings),
      services_(std::move(services)),
      snapshot_(webSample()),
      text_(webSample().plainText().value_or("")),
      source_(samplePlace()),
      destination_(anyOtherApp()) {}

const ClipboardSnapshot& TryItTab::webSample() {
    static const ClipboardSnapshot sample(std::string(samplePlain), std::string(sampleHTML), std::nullopt,
                                          std::nullopt);
    return sample;
}

const TryItTab::Place& TryItTab::samplePlace() {
    static const Place place{"Firefox \u00B7 en.wikipedia.org", "firefox", std::string(sampleAddress)};
    return place;
}

const TryItTab::Place& TryItTab::anyOtherApp() {
    static const Place place{"Any other app", std::nullopt, std::nullopt};
    return place;
}

const TryItTab::Place& TryItTab::pdfPlace() {
    static const Place place{"Document Viewer (PDF)", "org.gnome.Evince", std::nullopt};
    return place;
}

void TryItTab::setText(std::string text) {
    if (snapshot_) {
        std::optional<std::string> plain = snapshot_->plainText();
        if (!plain || *plain != text)
            snapshot_.reset();
    }
    text_ = std::move(text);
    update();
}

void TryItTab::setSource(Place place) {
    source_ = std::move(place);
    update();
}

void TryItTab::setDestination(Place place) {
    destination_ = std::move(place);
    update();
}

void TryItTab::setOverride(std::optional<OutputFormat> format) {
    override_ = format;
    update();
}

void TryItTab::update() {
    if (!services_.simulate)
        return;
    ClipboardSnapshot items =
        snapshot_ ? *snapshot_ : ClipboardSnapshot(text_, std::nullopt, std::nullopt, std::nullopt);
    simulation_ = services_.simulate(items, source_, destination_, override_);
}

void TryItTab::useClipboard() {
    std::optional<Clipboard> clipboard =
        services_.currentClipboard ? services_.currentClipboard() : std::nullopt;
    if (!clipboard) {
        note_ = std::string(noTextNote);
        return;
    }
    text_ = clipboard->snapshot.plainText().value_or("");
    snapshot_ = std::move(clipboard->snapshot);
    source_ =
        Place{"Clipboard: " + clipboard->source.label, clipboard->source.bundleID, clipboard->source.url};
    note_ = std::string(clipboardNote);
    update();
}

std::vector<TryItTab::Place> TryItTab::sources() const {
    std::vector<Place> places{anyOtherApp(), samplePlace(), pdfPlace()};
    for (const AppRule& rule : settings_.data().rulesFor(RuleDirection::source))
        places.push_back(placeForRule(rule));
    if (services_.lastCopySource)
        if (std::optional<Place> last = services_.lastCopySource(); last && last->bundleID)
            places.push_back({"Last copy: " + last->label, last->bundleID, last->url});
    places.push_back(source_);
    return unique(std::move(places));
}

std::vector<TryItTab::Place> TryItTab::destinations() const {
    std::vector<Place> places{anyOtherApp()};
    for (const AppRule& rule : settings_.data().rulesFor(RuleDirection::destination))
        places.push_back(placeForRule(rule));
    places.push_back(destination_);
    return unique(std::move(places));
}

std::vector<TryItTab::Place> TryItTab::unique(std::vector<Place> places) {
    std::unordered_set<std::string> seen;
    std::vector<Place> kept;
    for (Place& place : places)
        if (seen.insert(place.label).second)
            kept.push_back(std::move(place));
    return kept;
}

std::string TryItTab::noteText() const {
    return note_ ? *note_ : std::string(defaultNote);
}

std::string TryItTab::outputText() const {
    if (simulation_ && simulation_->output)
        return *simulation_->output;
    return std::string(originalOutput);
}

}  // namespace dz
