#pragma once
// A value that tells its subscribers about every new value. Deliberately
// simple: one thread, synchronous delivery, no operators.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace dz {

template <typename T>
class Observable {
    struct Entry {
        std::function<void(const T&)> callback;
        bool active = true;
    };
    struct State {
        T value;
        std::vector<std::shared_ptr<Entry>> entries;
        uint64_t generation = 0;
    };

  public:
    // Keeps a subscription alive; dropping it (or calling `cancel`) ends it.
    // Safe to drop after the observable is gone.
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept { *this = std::move(other); }
        Subscription& operator=(Subscription&& other) noexcept {
            if (this != &other) {
                cancel();
                state_ = std::move(other.state_);
                entry_ = std::move(other.entry_);
            }
            return *this;
        }
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription() { cancel(); }

        void cancel() {
            if (entry_)
                entry_->active = false;
            if (auto state = state_.lock()) {
                auto& entries = state->entries;
                std::erase(entries, entry_);
            }
            state_.reset();
            entry_.reset();
        }
        bool isActive() const { return entry_ && entry_->active; }

      private:
        friend class Observable;
        Subscription(std::weak_ptr<State> state, std::shared_ptr<Entry> entry)
            : state_(std::move(state)), entry_(std::move(entry)) {}
        std::weak_ptr<State> state_;
        std::shared_ptr<Entry> entry_;
    };

    // Built in place, so no temporary value is moved from (g++ took one for
    // possibly uninitialised).
    Observable() : state_(std::make_shared<State>()) {}
    explicit Observable(T initial) : state_(std::make_shared<State>(State{std::move(initial), {}})) {}
    Observable(const Observable&) = delete;
    Observable& operator=(const Observable&) = delete;

    const T& value() const { return state_->value; }

    // Stores the value and hands it to every subscriber, in subscription
    // order. Subscribers may subscribe, cancel or publish from the callback;
    // one cancelled during delivery is not called afterwards. A value
    // published from a callback supersedes the one being delivered, so that
    // nobody is left holding a stale value as the last one received.
    void publish(T value) {
        auto state = state_;
        state->value = std::move(value);
        const uint64_t generation = ++state->generation;
        const T delivered = state->value;
        auto entries = state->entries;
        for (const auto& entry : entries) {
            if (state->generation != generation)
                return;
            if (entry->active)
                entry->callback(delivered);
        }
    }

    // The callback receives the current value at once and every later one.
    [[nodiscard]] Subscription subscribe(std::function<void(const T&)> callback) {
        auto entry = std::make_shared<Entry>(Entry{std::move(callback), true});
        state_->entries.push_back(entry);
        Subscription subscription(state_, entry);
        const T current = state_->value;
        entry->callback(current);
        return subscription;
    }

    size_t subscriberCount() const { return state_->entries.size(); }

  private:
    std::shared_ptr<State> state_;
};

}  // namespace dz
