#pragma once
// A coroutine returning a T, for recursive walks over untrusted trees.
//
// Code is written recursively (`auto blocks = co_await renderBlocks(child);`)
// but every call is a heap-allocated coroutine frame, and all frames are
// resumed from one loop in `run()`: an await pushes the callee onto that
// loop's list and suspends the caller, a finished callee is popped and its
// caller resumed. The C++ stack therefore stays flat however deeply the
// awaits nest; memory grows with depth on the heap instead.
//
//   StacklessTask<int> depth(Node n) {
//       int deepest = 0;
//       for (Node c : n.children()) deepest = std::max(deepest, co_await depth(c));
//       co_return deepest + 1;
//   }
//   int d = depth(root).run();
//
// Exceptions thrown inside a task propagate to the awaiting task and out of
// `run()`. A task is awaited at most once, and only from another
// StacklessTask.

#include <coroutine>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace dz {

template <class T>
class StacklessTask {
  public:
    struct promise_type {
        std::optional<T> value;
        std::exception_ptr error;
        // The resume list of the `run()` loop that drives this task.
        std::vector<std::coroutine_handle<>>* pending = nullptr;

        StacklessTask get_return_object() { return StacklessTask(Handle::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        void return_value(T result) { value.emplace(std::move(result)); }
        void unhandled_exception() { error = std::current_exception(); }
    };
    using Handle = std::coroutine_handle<promise_type>;

    StacklessTask(StacklessTask&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    StacklessTask(const StacklessTask&) = delete;
    StacklessTask& operator=(const StacklessTask&) = delete;
    StacklessTask& operator=(StacklessTask&&) = delete;
    ~StacklessTask() {
        if (handle_)
            handle_.destroy();
    }

    struct Awaiter {
        Handle child;
        bool await_ready() const noexcept { return false; }
        template <class Promise>
        void await_suspend(std::coroutine_handle<Promise> caller) {
            child.promise().pending = caller.promise().pending;
            child.promise().pending->push_back(child);
        }
        T await_resume() { return take(child); }
    };
    Awaiter operator co_await() && noexcept { return Awaiter{handle_}; }

    // Drives the task and everything it awaits to completion.
    T run() && {
        std::vector<std::coroutine_handle<>> pending{handle_};
        handle_.promise().pending = &pending;
        while (!pending.empty()) {
            std::coroutine_handle<> current = pending.back();
            current.resume();
            if (current.done())
                pending.pop_back();
        }
        return take(handle_);
    }

  private:
    explicit StacklessTask(Handle handle) : handle_(handle) {}

    static T take(Handle handle) {
        if (handle.promise().error)
            std::rethrow_exception(handle.promise().error);
        return std::move(*handle.promise().value);
    }

    Handle handle_;
};

}  // namespace dz
