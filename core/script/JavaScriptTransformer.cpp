#include "core/script/JavaScriptTransformer.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <optional>

#include "core/script/JavaScriptCoreAPI.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

using Clock = std::chrono::steady_clock;
using Result = JavaScriptTransformer::Result;
using Failure = JavaScriptTransformer::Failure;

constexpr const char* busyMessage =
    "A previous script run never finished (infinite loop?). Fix the script and relaunch Dozuzavuvu.";
constexpr const char* noResultMessage = "Script produced no result.";
constexpr const char* noContextMessage = "Could not create a JavaScript context.";
constexpr const char* unknownErrorMessage = "Unknown error";
constexpr const char* noFunctionMessage = "The script must define a function named `transform(text)`.";
constexpr const char* notAStringMessage = "`transform` must return a string.";
constexpr const char* memoryMessage = "Script stopped: it used more than 512 MB of memory.";
constexpr const char* tooLargeMessage =
    "`transform` returned more than 30 MB of text, too much for the clipboard.";
constexpr const char* inputTooLargeMessage = "The text is too large to pass to the script.";
constexpr const char* shutDownMessage = "Script stopped because the transform was shut down.";

static_assert(JavaScriptTransformer::memoryLimit == size_t{512} << 20, "keep memoryMessage in step");
static_assert(JavaScriptTransformer::resultLimit == size_t{30} << 20, "keep tooLargeMessage in step");

// Seconds of script CPU time between two looks at the clock and the memory.
constexpr double watchInterval = 0.025;
// Longer waits are treated as endless; keeps the deadline arithmetic finite.
constexpr double longestWait = 1e9;

// Shortest decimal form that reads back as the same number, with at least one
// fractional digit: 1.5 gives "1.5", 2 gives "2.0".
std::string decimalSeconds(double seconds) {
    if (!std::isfinite(seconds))
        return std::isnan(seconds) ? "nan" : (seconds < 0 ? "-inf" : "inf");
    char buffer[400];  // the longest fixed form of a double has 309 integer digits
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed);
    if (error != std::errc())
        return std::to_string(seconds);
    std::string text(buffer, end);
    if (text.find('.') == std::string::npos)
        text += ".0";
    return text;
}

std::string timeoutMessage(double seconds) {
    return "Script timed out after " + decimalSeconds(seconds) + " seconds.";
}

// Resident memory of the whole process, 0 when it cannot be read. The engine
// allocates outside malloc, so this is the measure that sees all of it.
size_t residentBytes() {
    int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    char buffer[128];
    ssize_t count = ::read(file, buffer, sizeof buffer - 1);
    ::close(file);
    if (count <= 0)
        return 0;
    const char* end = buffer + count;
    const char* p = std::find(static_cast<const char*>(buffer), end, ' ');  // skip the total size
    if (p == end)
        return 0;
    size_t pages = 0;
    if (std::from_chars(p + 1, end, pages).ec != std::errc())
        return 0;
    return pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

// What the engine's watch needs for one evaluation; lives on the worker's stack.
struct Watch {
    const jsc::API* js = nullptr;
    Clock::time_point deadline;
    std::string timeoutMessage;
    const std::atomic<bool>* abandoned = nullptr;
    size_t baseline = 0;
    std::optional<std::string> stopReason;  // set when the watch terminated the script
};

// Runs on the worker thread while the script executes. Re-arms itself, so it
// is asked again after every interval of script CPU time.
bool shouldTerminate(JSContextRef context, void* data) {
    auto& watch = *static_cast<Watch*>(data);
    const jsc::API& js = *watch.js;
    if (watch.abandoned->load(std::memory_order_relaxed))
        watch.stopReason = shutDownMessage;
    else if (Clock::now() >= watch.deadline)
        watch.stopReason = watch.timeoutMessage;
    else if (size_t resident = residentBytes();
             watch.baseline != 0 && resident > watch.baseline + JavaScriptTransformer::memoryLimit)
        watch.stopReason = memoryMessage;
    if (watch.stopReason)
        return true;
    js.JSContextGroupSetExecutionTimeLimit(js.JSContextGetGroup(context), watchInterval, shouldTerminate,
                                           data);
    return false;
}

// A single native call (a huge repeat or join) can grow past the limit
// between two looks of the watch; look again whenever the engine returns.
void checkMemory(Watch& watch) {
    if (!watch.stopReason && watch.baseline != 0 &&
        residentBytes() > watch.baseline + JavaScriptTransformer::memoryLimit)
        watch.stopReason = memoryMessage;
}

struct StringRelease {
    const jsc::API* js;
    void operator()(JSStringRef string) const { js->JSStringRelease(string); }
};
using OwnedString = std::unique_ptr<OpaqueJSString, StringRelease>;

struct ContextRelease {
    const jsc::API* api;
    void operator()(JSGlobalContextRef context) const {
        const jsc::API& js = *api;
        // The watch points into the worker's stack; never let it outlive the run.
        js.JSContextGroupClearExecutionTimeLimit(js.JSContextGetGroup(context));
        js.JSGlobalContextRelease(context);
    }
};
using OwnedContext = std::unique_ptr<OpaqueJSContext, ContextRelease>;

// Goes through UTF-16 so that text with NUL characters survives.
OwnedString makeString(const jsc::API& js, std::string_view utf8) {
    icu::UnicodeString text = unicode::toICU(utf8);
    return OwnedString(
        js.JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.getBuffer()),
                                        static_cast<size_t>(std::max<int32_t>(text.length(), 0))),
        StringRelease{&js});
}

// Unpaired surrogates become U+FFFD.
std::string toUTF8(const jsc::API& js, JSStringRef string) {
    size_t length = js.JSStringGetLength(string);
    if (length == 0)
        return {};
    icu::UnicodeString text(false, reinterpret_cast<const char16_t*>(js.JSStringGetCharactersPtr(string)),
                            static_cast<int32_t>(std::min<size_t>(length, INT32_MAX)));
    return unicode::fromICU(text);
}

// The value's text as `String(value)` gives it; nothing when that throws.
std::optional<std::string> valueText(const jsc::API& js, JSContextRef context, JSValueRef value) {
    JSValueRef exception = nullptr;
    OwnedString string(js.JSValueToStringCopy(context, value, &exception), StringRelease{&js});
    if (!string || exception)
        return std::nullopt;
    return toUTF8(js, string.get());
}

JSValueRef evaluate(const jsc::API& js, JSContextRef context, std::string_view source,
                    JSValueRef* exception) {
    OwnedString script = makeString(js, source);
    *exception = nullptr;
    return js.JSEvaluateScript(context, script.get(), nullptr, nullptr, 1, exception);
}

// A length check that does not flatten the engine's rope strings.
std::optional<double> stringLength(const jsc::API& js, JSContextRef context, JSValueRef value) {
    JSValueRef exception = nullptr;
    JSObjectRef wrapper = js.JSValueToObject(context, value, &exception);
    if (!wrapper || exception)
        return std::nullopt;
    OwnedString name(js.JSStringCreateWithUTF8CString("length"), StringRelease{&js});
    JSValueRef length = js.JSObjectGetProperty(context, wrapper, name.get(), &exception);
    if (!length || exception || !js.JSValueIsNumber(context, length))
        return std::nullopt;
    return js.JSValueToNumber(context, length, nullptr);
}

// The steps in their order; the first failure wins. A stop by the watch
// overrides whatever the engine reported for the interrupted step.
Result evaluateIn(JSContextRef context, const std::string& source, const std::string& input, Watch& watch) {
    const jsc::API& js = *watch.js;
    auto failure = [&](std::string message) {
        return Failure{watch.stopReason.value_or(std::move(message))};
    };
    auto thrown = [&](JSValueRef exception) {
        js.JSValueProtect(context, exception);  // converting may run script code and collect garbage
        std::optional<std::string> text = valueText(js, context, exception);
        js.JSValueUnprotect(context, exception);
        return failure(text.value_or(unknownErrorMessage));
    };

    JSValueRef exception = nullptr;
    evaluate(js, context, source, &exception);
    checkMemory(watch);
    if (watch.stopReason)
        return failure("");
    if (exception)
        return thrown(exception);

    JSValueRef type = evaluate(js, context, "typeof transform", &exception);
    if (watch.stopReason)
        return failure("");
    std::optional<std::string> typeName = type ? valueText(js, context, type) : std::nullopt;
    if (typeName != "function")
        return failure(noFunctionMessage);
    // Read by name rather than as a property of the global object, so that
    // `const transform = ...` counts as a definition too.
    JSValueRef found = evaluate(js, context, "transform", &exception);
    if (watch.stopReason)
        return failure("");
    JSObjectRef function =
        found && js.JSValueIsObject(context, found) ? js.JSValueToObject(context, found, nullptr) : nullptr;
    if (!function || !js.JSObjectIsFunction(context, function))
        return failure(noFunctionMessage);

    OwnedString text = makeString(js, input);
    JSValueRef argument = js.JSValueMakeString(context, text.get());
    js.JSValueProtect(context, function);
    exception = nullptr;
    JSValueRef returned = js.JSObjectCallAsFunction(context, function, nullptr, 1, &argument, &exception);
    js.JSValueUnprotect(context, function);
    checkMemory(watch);
    if (watch.stopReason)
        return failure("");
    if (exception)
        return thrown(exception);
    if (!returned || !js.JSValueIsString(context, returned))
        return failure(notAStringMessage);

    // UTF-8 never takes fewer bytes than UTF-16 takes units, so an oversized
    // string is refused before it is copied.
    constexpr auto limit = static_cast<double>(JavaScriptTransformer::resultLimit);
    js.JSValueProtect(context, returned);
    std::optional<double> length = stringLength(js, context, returned);
    std::optional<std::string> result;
    if (length && *length <= limit)
        result = valueText(js, context, returned);
    js.JSValueUnprotect(context, returned);
    if (watch.stopReason)
        return failure("");
    if (length && *length > limit)
        return failure(tooLargeMessage);
    if (!result)
        return failure(unknownErrorMessage);
    if (result->size() > JavaScriptTransformer::resultLimit)
        return failure(tooLargeMessage);
    return std::move(*result);
}

Result evaluateScript(const std::string& source, const std::string& input, Watch& watch) {
    // A context in a group of its own: nothing survives from one run to the next.
    const jsc::API& js = *watch.js;
    OwnedContext context(js.JSGlobalContextCreate(nullptr), ContextRelease{&js});
    if (!context)
        return Failure{noContextMessage};
    watch.baseline = residentBytes();
    js.JSContextGroupSetExecutionTimeLimit(js.JSContextGetGroup(context.get()), watchInterval,
                                           shouldTerminate, &watch);
    return evaluateIn(context.get(), source, input, watch);
}

// Written by the worker, read by the caller after a successful wait. Its
// `signalled` flag with the condition variable is the run's semaphore.
struct ResultBox {
    std::mutex mutex;
    std::condition_variable condition;
    bool signalled = false;
    std::optional<Result> result;
};

}  // namespace

struct JavaScriptTransformer::Queue {
    mutable std::mutex lock;  // guards busy
    bool busy = false;

    std::mutex mutex;  // guards jobs and stopping
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool stopping = false;
    // Set when the transformer goes away, so a running script is stopped at once.
    std::atomic<bool> abandoned{false};

    void setBusy(bool value) {
        std::lock_guard guard(lock);
        busy = value;
    }
};

JavaScriptTransformer::JavaScriptTransformer() : JavaScriptTransformer(std::string()) {}

JavaScriptTransformer::JavaScriptTransformer(std::string engineLibrary)
    : engineLibrary_(std::move(engineLibrary)),
      queue_(std::make_shared<Queue>()),
      worker_([queue = queue_] { workerLoop(queue); }) {}

std::shared_ptr<const jsc::API> JavaScriptTransformer::engine() {
    std::call_once(engineOnce_, [this] {
        jsc::Loaded loaded = engineLibrary_.empty() ? jsc::defaultEngine() : jsc::load(engineLibrary_);
        if (auto* api = std::get_if<std::shared_ptr<const jsc::API>>(&loaded))
            engine_ = *api;
        else
            engineError_ = std::get<std::string>(loaded);
    });
    return engine_;
}

JavaScriptTransformer::~JavaScriptTransformer() {
    queue_->abandoned.store(true);
    {
        std::lock_guard guard(queue_->mutex);
        queue_->stopping = true;
    }
    queue_->changed.notify_all();
    // A script still running was given up on: it is stopped at its next
    // check, or when its native call returns, and the thread then ends.
    if (isBusy())
        worker_.detach();
    else
        worker_.join();
}

bool JavaScriptTransformer::isBusy() const {
    std::lock_guard guard(queue_->lock);
    return queue_->busy;
}

void JavaScriptTransformer::submit(std::function<void()> job) {
    {
        std::lock_guard guard(queue_->mutex);
        queue_->jobs.push_back(std::move(job));
    }
    queue_->changed.notify_one();
}

void JavaScriptTransformer::workerLoop(const std::shared_ptr<Queue>& queue) {
    // The system allows 15 characters for a thread name.
    pthread_setname_np(pthread_self(), std::string(JavaScriptTransformer::queueLabel).substr(0, 15).c_str());
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock guard(queue->mutex);
            queue->changed.wait(guard, [&] { return queue->stopping || !queue->jobs.empty(); });
            if (queue->jobs.empty())
                return;
            job = std::move(queue->jobs.front());
            queue->jobs.pop_front();
        }
        job();
    }
}

JavaScriptTransformer::Result JavaScriptTransformer::run(std::string_view script, std::string_view input,
                                                         double timeout) {
    std::shared_ptr<const jsc::API> api = engine();
    if (!api)
        return Failure{engineError_};
    {
        std::lock_guard guard(queue_->lock);
        if (queue_->busy)
            return Failure{busyMessage};
        queue_->busy = true;
    }

    double seconds = std::isnan(timeout) || timeout < 0 ? 0.0 : timeout;
    std::string timedOut = timeoutMessage(seconds);
    if (script.size() > INT32_MAX || input.size() > INT32_MAX) {
        queue_->setBusy(false);
        return Failure{inputTooLargeMessage};
    }
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(std::min(seconds, longestWait)));
    auto box = std::make_shared<ResultBox>();

    try {
        submit([queue = queue_, api, box, deadline, timedOut, script = std::string(script),
                input = std::string(input)] {
            std::optional<Result> result;
            try {
                Watch watch;
                watch.js = api.get();
                watch.deadline = deadline;
                watch.timeoutMessage = timedOut;
                watch.abandoned = &queue->abandoned;
                result = evaluateScript(script, input, watch);
            } catch (...) {
                // Out of memory on our side: the box stays empty.
            }
            {
                std::lock_guard guard(box->mutex);
                box->result = std::move(result);
            }
            queue->setBusy(false);
            {
                std::lock_guard guard(box->mutex);
                box->signalled = true;
            }
            box->condition.notify_one();
        });
    } catch (...) {
        queue_->setBusy(false);
        return Failure{noResultMessage};
    }

    std::unique_lock guard(box->mutex);
    if (!box->condition.wait_until(guard, deadline, [&] { return box->signalled; }))
        return Failure{timedOut};
    if (!box->result)
        return Failure{noResultMessage};
    return std::move(*box->result);
}

const std::string& JavaScriptTransformer::templateScript() {
    static const std::string text =
        "// Define a function named `transform` that receives the cleaned text and returns new text.\n"
        "// It runs after all built-in cleaning steps.\n"
        "function transform(text) {\n"
        "  return text;\n"
        "}";
    return text;
}

const std::vector<JavaScriptTransformer::Example>& JavaScriptTransformer::examples() {
    static const std::vector<Example> list = {
        {"Remove all line breaks",
         "function transform(text) {\n"
         "  return text.replace(/\\s*\\n\\s*/g, \" \");\n"
         "}"},
        {"Join wrapped lines, keep paragraphs (good for PDFs)",
         "function transform(text) {\n"
         "  return text\n"
         "    .replace(/(\\w)-\\n(\\w)/g, \"$1$2\")      // re-join hyphenated words\n"
         "    .replace(/([^\\n])\\n(?!\\n)/g, \"$1 \")    // single newline -> space\n"
         "    .replace(/ {2,}/g, \" \");\n"
         "}"},
        {"Lowercase everything",
         "function transform(text) {\n"
         "  return text.toLowerCase();\n"
         "}"},
    };
    return list;
}

}  // namespace dz
