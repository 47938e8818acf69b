#pragma once
// Window changes sent by the test.

#include <utility>

#include "app/platform/WindowEvents.h"

namespace dz::fake {

class FakeWindowEvents final : public WindowEvents {
  public:
    void watch(Handler handler) override { handler_ = std::move(handler); }

    bool watching() const { return static_cast<bool>(handler_); }
    // Reports a change, when watched.
    void send(Change change, const Window& window) {
        if (handler_)
            handler_(change, window);
    }

  private:
    Handler handler_;
};

}  // namespace dz::fake
