#pragma once
// A notice without a value ("something changed, look again"). Subscribers are
// called synchronously, in subscription order, on every send, but not at
// subscription.

#include <cstdint>
#include <functional>
#include <memory>

#include "app/support/Observable.h"

namespace dz {

class Signal {
  public:
    using Subscription = Observable<uint64_t>::Subscription;

    void send() { sends_.publish(sends_.value() + 1); }
    [[nodiscard]] Subscription subscribe(std::function<void()> callback) {
        auto initial = std::make_shared<bool>(true);
        return sends_.subscribe([initial, callback = std::move(callback)](const uint64_t&) {
            if (*initial) {
                *initial = false;
                return;
            }
            callback();
        });
    }
    // How many times it was sent.
    uint64_t count() const { return sends_.value(); }

  private:
    Observable<uint64_t> sends_{0};
};

}  // namespace dz
