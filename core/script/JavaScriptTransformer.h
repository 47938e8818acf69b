#pragma once
// Runs a user-written `transform(text)` script under a hard time limit, on a
// worker thread of its own, so that a broken or endless script can never hang
// the clipboard handling. The engine is JavaScriptCore, loaded the first time
// a script runs; nothing of it shows here.

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

namespace dz {

namespace jsc {
struct API;
}

class JavaScriptTransformer {
  public:
    // An error value; its description is the message itself.
    struct Failure {
        std::string message;

        const std::string& description() const { return message; }
        bool operator==(const Failure&) const = default;
    };

    // The transformed text, or why there is none.
    using Result = std::variant<std::string, Failure>;

    struct Example {
        std::string title;
        std::string code;

        bool operator==(const Example&) const = default;
    };

    // The limit the controller passes, in seconds.
    static constexpr double defaultTimeout = 1.5;
    // A script whose process memory grows by more than this is stopped.
    static constexpr size_t memoryLimit = size_t{512} << 20;
    // A returned text larger than this (UTF-8 bytes) could never go to the clipboard.
    static constexpr size_t resultLimit = size_t{30} << 20;

    // The label of the worker (the thread's own name is cut to what the system allows).
    static constexpr const char* queueLabel = "Dozuzavuvu.JavaScript";

    JavaScriptTransformer();
    // Runs scripts on the engine in the shared library `engineLibrary` (a
    // name the dynamic loader looks up) instead of the one built against.
    explicit JavaScriptTransformer(std::string engineLibrary);
    ~JavaScriptTransformer();
    JavaScriptTransformer(const JavaScriptTransformer&) = delete;
    JavaScriptTransformer& operator=(const JavaScriptTransformer&) = delete;

    // Evaluates `script` in a fresh global context and calls its `transform`
    // with `input`. Blocks the calling thread for at most `timeout` seconds.
    // Never throws; every problem is a Failure, including an engine that
    // cannot be loaded.
    Result run(std::string_view script, std::string_view input, double timeout = defaultTimeout);

    // True from the start of a run until its script has finished evaluating,
    // which may be after the caller stopped waiting. Going away does not wait
    // for such a script; it is told to stop and ends on its own.
    bool isBusy() const;

    // The default script (`template` in the script editor).
    static const std::string& templateScript();
    // The example scripts offered in the script editor, in their order.
    static const std::vector<Example>& examples();

  private:
    // The engine, loaded on first use; empty when it cannot be (engineError_ says why).
    std::shared_ptr<const jsc::API> engine();
    void submit(std::function<void()> job);

    std::string engineLibrary_;  // empty: the one built against
    std::once_flag engineOnce_;
    std::shared_ptr<const jsc::API> engine_;
    std::string engineError_;

    // The serial queue and the busy flag, shared with the worker thread so
    // that a transformer going away never waits for a script it gave up on:
    // the worker finishes on its own and then ends.
    struct Queue;
    static void workerLoop(const std::shared_ptr<Queue>& queue);
    std::shared_ptr<Queue> queue_;
    std::thread worker_;
};

}  // namespace dz
