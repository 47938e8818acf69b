#pragma once
// The controller's records of a copy: the target renditions, where a copy
// came from, what happened to it, and what it keeps in memory to switch
// formats later.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "app/platform/Scheduler.h"
#include "core/cleaner/CleanOutcome.h"
#include "core/cleaner/RenderedClip.h"
#include "core/clipboard/ClipboardSnapshot.h"
#include "core/options/OutputFormat.h"

namespace dz {

// A target rendition: an output format, and whether PDF line breaks are
// repaired. Format `original` without reflow is "the original".
struct Written {
    OutputFormat format = OutputFormat::original;
    bool reflow = false;

    static Written original() { return Written{OutputFormat::original, false}; }
    bool isOriginal() const { return format == OutputFormat::original && !reflow; }
    // "Plain Text", "Markdown · PDF fixed", "Keep Original"…
    std::string title() const;
    bool operator==(const Written&) const = default;
};

}  // namespace dz

template <>
struct std::hash<dz::Written> {
    size_t operator()(const dz::Written& w) const noexcept {
        return size_t(w.format) * 2 + (w.reflow ? 1 : 0);
    }
};

namespace dz {

// Where a copy came from.
struct SourceInfo {
    std::optional<std::string> bundleID;
    std::optional<std::string> name;
    std::optional<int32_t> pid;
    std::optional<std::string> pageURL;

    // The name, else the identifier, else "Unknown app"; then " · " and the
    // page's host without one leading "www." when the page is known.
    std::string label() const;
    bool operator==(const SourceInfo&) const = default;
};

// What happened to the most recent copy, for display.
struct LastCopy {
    SourceInfo source;
    CleanOutcome outcome = CleanOutcome::cleaned();
    std::string detail;
    TimePoint date = 0;
    bool operator==(const LastCopy&) const = default;
};

// The controller's memory of the current clipboard content. While
// `changeCount` equals the clipboard's counter, the clipboard holds exactly
// `written` for `snapshot`.
struct ClipState {
    ClipboardSnapshot snapshot;  // as copied; never modified
    SourceInfo source;
    Written base;                                     // the rendition this copy normally has
    bool baseFromDefault = false;                     // follows changes of the default format
    bool pinned = false;                              // stays as it is until the next copy
    Written written;                                  // what is on the clipboard now
    int64_t changeCount = 0;                          // the counter right after the last write (or capture)
    std::unordered_map<Written, RenderedClip> cache;  // every rendition made for this snapshot

    // The state of a copy left as it was: base and written the original,
    // pinned, empty cache.
    static ClipState pinnedOriginal(ClipboardSnapshot snapshot, SourceInfo source, int64_t changeCount);
};

// How a copy's source decides its base rendition.
struct Resolution {
    Written written;
    bool pinned = false;
    bool baseFromDefault = false;
    std::string reason;  // in the words of the Try-it explanation
    bool operator==(const Resolution&) const = default;
};

}  // namespace dz
