#pragma once
// Runs each job at once on the caller's thread, so tests and simulations see
// a copy rendered as soon as it is handled, on the virtual clock. A test that
// needs a render still in progress holds the jobs and finishes them later.

#include <deque>
#include <utility>

#include "app/platform/Worker.h"

namespace dz::fake {

class InlineWorker final : public Worker {
  public:
    void run(std::function<void()> work, std::function<void()> done) override {
        ++jobs;
        if (holdJobs) {
            held_.emplace_back(std::move(work), std::move(done));
            return;
        }
        work();
        done();
    }
    void releaseMemory() override { ++releases; }

    // Runs the held jobs in order, each with its completion.
    void finishHeld() {
        while (!held_.empty()) {
            auto [work, done] = std::move(held_.front());
            held_.pop_front();
            work();
            done();
        }
    }
    size_t heldCount() const { return held_.size(); }

    bool holdJobs = false;
    int jobs = 0;
    int releases = 0;

  private:
    std::deque<std::pair<std::function<void()>, std::function<void()>>> held_;
};

}  // namespace dz::fake
