#pragma once
// A compositor reduced to one seat, ext-data-control-v1 and the wlr window
// list, on its own thread and socket, for driving the Wayland clipboard and
// the window changes without a desktop. It keeps the selection as a real one
// does: a new selection cancels the old source first, then every device hears
// of the new offer.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct wl_display;
struct wl_event_source;

namespace dz::wayland::test {

class FakeCompositor {
  public:
    // Listens in $XDG_RUNTIME_DIR, made in /tmp when missing.
    FakeCompositor();
    ~FakeCompositor();
    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;

    bool running() const { return !socket_.empty(); }
    const std::string& socket() const { return socket_; }

    // The window list: each call reaches every client following it as one
    // change (ended by `done`), in the order called. `key` is the test's own
    // name for a window.
    void openWindow(int key, const std::string& appID, const std::string& title);
    void setTitle(int key, const std::string& title);
    void setAppID(int key, const std::string& appID);
    void activate(int key);  // that window alone is active; 0: none is
    void closeWindow(int key);
    // The list ends for every client (`finished`), as when a compositor stops offering it.
    void withdrawWindowList();

    struct State;

  private:
    void onCompositorThread(std::function<void(State&)> task);

    wl_display* display_ = nullptr;
    State* state_ = nullptr;
    int wake_ = -1;
    wl_event_source* wakeSource_ = nullptr;
    std::mutex tasksMutex_;
    std::vector<std::function<void(State&)>> tasks_;
    std::string socket_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace dz::wayland::test
