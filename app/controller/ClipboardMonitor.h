#pragma once
// Reports each clipboard change made by another application, with the
// application it came from and whether the user asked to keep its formatting.
// The backend announces changes; `checkPasteboard` also works on demand.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/input/OptionTapDetector.h"

namespace dz {

class Clipboard;
class KeyEventSource;
class Scheduler;
class Workspace;

struct ClipboardChange {
    std::optional<std::string> sourceBundleID;
    std::optional<std::string> sourceName;
    std::optional<int32_t> sourcePID;
    bool bypassRequested = false;
    bool operator==(const ClipboardChange&) const = default;
};

class ClipboardMonitor {
  public:
    static constexpr double bypassWindow = 3;  // seconds an Alt tap stays armed

    // Whatever is on the clipboard now is never reported.
    ClipboardMonitor(Clipboard& clipboard, Workspace& workspace, KeyEventSource& keys, Scheduler& scheduler);
    ~ClipboardMonitor();
    ClipboardMonitor(const ClipboardMonitor&) = delete;
    ClipboardMonitor& operator=(const ClipboardMonitor&) = delete;

    // Listens to the backend's change notices and key events; once.
    void start();
    // Reports the clipboard's current content if its counter moved since the
    // last report or the controller's last write.
    void checkPasteboard();

    // The counter last seen or last written by the program.
    int64_t lastChangeCount = 0;
    std::function<void(const ClipboardChange&)> onChange;
    OptionTapDetector optionTap;

  private:
    // Who made the copy: the declared source, else the clipboard's owner when
    // the backend knows it, else the frontmost application.
    ClipboardChange source() const;

    Clipboard& clipboard_;
    Workspace& workspace_;
    KeyEventSource& keys_;
    Scheduler& scheduler_;
    bool started_ = false;
};

}  // namespace dz
