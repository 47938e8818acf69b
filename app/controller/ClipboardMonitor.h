#pragma once
// Reports each clipboard change made by another application, with the copy,
// the application it came from and whether the user asked to keep its
// formatting. The backend announces changes; `checkPasteboard` also works on
// demand.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/input/OptionTapDetector.h"
#include "app/platform/Clipboard.h"

namespace dz {

class KeyEventSource;
class Scheduler;
class Workspace;

// One foreign change; its items come beside it, as the backend holds them.
struct ClipboardChange {
    int64_t changeCount = 0;  // the clipboard's counter with the change's items
    std::optional<std::string> sourceBundleID;
    std::optional<std::string> sourceName;
    std::optional<int32_t> sourcePID;
    bool bypassRequested = false;
    bool operator==(const ClipboardChange&) const = default;
};

class ClipboardMonitor {
  public:
    static constexpr double bypassWindow = 3;  // seconds an Alt tap stays armed
    // The change and the copy as the backend read it (valid during the call).
    using ChangeHandler = std::function<void(const ClipboardChange&, const Clipboard::Rendition& items)>;

    // Whatever is on the clipboard now is never reported.
    ClipboardMonitor(Clipboard& clipboard, Workspace& workspace, KeyEventSource& keys, Scheduler& scheduler);
    ~ClipboardMonitor();
    ClipboardMonitor(const ClipboardMonitor&) = delete;
    ClipboardMonitor& operator=(const ClipboardMonitor&) = delete;

    // Listens to the backend's change notices and key events, reporting each
    // foreign change to `onChange`; once.
    void start(ChangeHandler onChange);
    // Reports the clipboard's current contents if its counter moved since the
    // last report or the program's last write.
    void checkPasteboard();
    // The program has just written the clipboard: the counter it left there
    // is not a copy to report.
    void noteOwnWrite(int64_t changeCount) { lastChangeCount_ = changeCount; }
    // The key whose lone tap arms the bypass.
    void setTapKey(TapKey key) { optionTap_.setTapKey(key); }
    // The next change reported within `seconds` from now keeps its
    // formatting ("Copy Keeping Formatting"); a later one does not.
    void bypassNextCopy(double seconds);

  private:
    void check(const Clipboard::Contents& contents);
    // Who made the copy: the declared source, else the clipboard's owner when
    // the backend knows it, else the frontmost application.
    ClipboardChange source(const Clipboard::Contents& contents) const;

    Clipboard& clipboard_;
    Workspace& workspace_;
    KeyEventSource& keys_;
    Scheduler& scheduler_;
    int64_t lastChangeCount_ = 0;  // last seen or last written by the program
    ChangeHandler onChange_;
    OptionTapDetector optionTap_;
    std::optional<TimePoint> bypassUntil_;
    bool started_ = false;
};

}  // namespace dz
