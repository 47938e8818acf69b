#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dz {

// The desktop's windows as they change, so that the page address of the
// browser window in front can be kept current without asking the browser at
// paste time: a window became active, the title of a window changed (a
// browser's title follows its page), a window went away.
class WindowEvents {
  public:
    struct Window {
        uint64_t id = 0;                      // the desktop's identifier of the window
        std::optional<std::string> bundleID;  // its application's desktop-file id
        std::optional<int32_t> pid;
        bool operator==(const Window&) const = default;
    };
    enum class Change { activated, titleChanged, closed };
    using Handler = std::function<void(Change change, const Window& window)>;

    WindowEvents() = default;
    WindowEvents(const WindowEvents&) = delete;
    WindowEvents& operator=(const WindowEvents&) = delete;
    virtual ~WindowEvents() = default;

    // Starts reporting to `handler` on the main thread, the window active at
    // the start first; an empty handler stops, and the desktop is no longer
    // watched. Title changes and closing are reported for windows that were
    // reported active. Replaces the previous handler. Main thread.
    virtual void watch(Handler handler) = 0;
};

}  // namespace dz
