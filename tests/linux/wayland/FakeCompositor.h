#pragma once
// A compositor reduced to one seat and ext-data-control-v1, on its own
// thread and socket, for driving the Wayland clipboard without a desktop.
// It keeps the selection as a real one does: a new selection cancels the
// old source first, then every device hears of the new offer.

#include <atomic>
#include <string>
#include <thread>

struct wl_display;

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

    struct State;

  private:
    wl_display* display_ = nullptr;
    State* state_ = nullptr;
    std::string socket_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace dz::wayland::test
