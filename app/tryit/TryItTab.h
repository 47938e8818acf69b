#pragma once
// The "Try It" tab's logic: text (or the clipboard's items) run through the
// whole pipeline for a chosen source and destination, without touching the
// clipboard. The settings window binds its widgets to this state.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/AppSettings.h"
#include "core/clipboard/ClipboardSnapshot.h"
#include "core/options/OutputFormat.h"

namespace dz {

class TryItTab {
  public:
    // A place text is copied from or pasted into; the label is unique in a
    // list.
    struct Place {
        std::string label;
        std::optional<std::string> bundleID;
        std::optional<std::string> url;

        bool operator==(const Place&) const = default;
    };

    struct Simulation {
        std::optional<std::string> output;  // nothing: pasted exactly as copied
        std::string explanation;

        bool operator==(const Simulation&) const = default;
    };

    // What is on the clipboard now, with the label of its source.
    struct Clipboard {
        ClipboardSnapshot snapshot;
        Place source;  // label: the source's label
    };

    // What the tab asks of the controller.
    struct Services {
        // Reads settings and rules, writes nothing. The source place's label
        // is the source's name.
        std::function<Simulation(const ClipboardSnapshot&, const Place& source, const Place& destination,
                                 std::optional<OutputFormat> override)>
            simulate;
        // Nothing when the clipboard has no text to work with.
        std::function<std::optional<Clipboard>()> currentClipboard;
        // The last copy's source (label: the source's label), if any.
        std::function<std::optional<Place>()> lastCopySource;
    };

    static constexpr std::string_view defaultNote =
        "Nothing on your clipboard changes here. Edit the left side to try your own text.";
    static constexpr std::string_view originalOutput = "Pasted exactly as copied, with all its formatting.";
    static constexpr std::string_view noTextNote =
        "The clipboard has no text Dozuzavuvu can work with (or it\u2019s a password).";
    static constexpr std::string_view clipboardNote = "Showing your clipboard. Nothing was changed.";

    // `settings` must outlive the tab. Starts with the web sample; nothing is
    // simulated until the tab is shown (`update`).
    TryItTab(const AppSettings& settings, Services services);

    // The sample article, as a browser puts it on the clipboard.
    static const ClipboardSnapshot& webSample();
    static const Place& samplePlace();
    static const Place& anyOtherApp();
    static const Place& pdfPlace();

    const std::optional<ClipboardSnapshot>& snapshot() const { return snapshot_; }
    const std::string& text() const { return text_; }
    const Place& source() const { return source_; }
    const Place& destination() const { return destination_; }
    const std::optional<OutputFormat>& override() const { return override_; }
    const std::optional<Simulation>& simulation() const { return simulation_; }
    const std::optional<std::string>& note() const { return note_; }

    // Each change simulates again. Edited text that no longer matches the
    // loaded items' plain text drops those items.
    void setText(std::string text);
    void setSource(Place place);
    void setDestination(Place place);
    void setOverride(std::optional<OutputFormat> format);

    void update();
    void useClipboard();

    std::vector<Place> sources() const;
    std::vector<Place> destinations() const;
    static std::vector<Place> unique(std::vector<Place> places);

    // The remark under the explanation and the text of the output pane.
    std::string noteText() const;
    std::string outputText() const;

  private:
    const AppSettings& settings_;
    Services services_;
    std::optional<ClipboardSnapshot> snapshot_;
    std::string text_;
    Place source_;
    Place destination_;
    std::optional<OutputFormat> override_;
    std::optional<Simulation> simulation_;
    std::optional<std::string> note_;
};

}  // namespace dz
