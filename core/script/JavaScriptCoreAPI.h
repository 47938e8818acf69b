#pragma once
// The part of JavaScriptCore's C API the transformer uses, resolved from the
// engine's shared library at run time. Loading the engine costs more than a
// small conversion, so programs load it only when a script actually runs.
// Only the script sources include this header.

#include <JavaScriptCore/JavaScript.h>

#include <memory>
#include <string>
#include <variant>

// Exported by JavaScriptCore but declared only in a header the package does
// not install. When the script has used `limit` seconds of CPU time the
// callback is asked whether to terminate it; returning false without setting a
// new limit disarms the watch.
extern "C" {
typedef bool (*JSShouldTerminateCallback)(JSContextRef ctx, void* context);
JS_EXPORT void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit,
                                                   JSShouldTerminateCallback callback, void* context);
JS_EXPORT void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
}

namespace dz::jsc {

// X(name): every function resolved, by its exported name.
#define DZ_JSC_FUNCTIONS(X)                  \
    X(JSContextGetGroup)                     \
    X(JSContextGroupClearExecutionTimeLimit) \
    X(JSContextGroupSetExecutionTimeLimit)   \
    X(JSEvaluateScript)                      \
    X(JSGlobalContextCreate)                 \
    X(JSGlobalContextRelease)                \
    X(JSObjectCallAsFunction)                \
    X(JSObjectGetProperty)                   \
    X(JSObjectIsFunction)                    \
    X(JSStringCreateWithCharacters)          \
    X(JSStringCreateWithUTF8CString)         \
    X(JSStringGetCharactersPtr)              \
    X(JSStringGetLength)                     \
    X(JSStringRelease)                       \
    X(JSValueIsNumber)                       \
    X(JSValueIsObject)                       \
    X(JSValueIsString)                       \
    X(JSValueMakeString)                     \
    X(JSValueProtect)                        \
    X(JSValueToNumber)                       \
    X(JSValueToObject)                       \
    X(JSValueToStringCopy)                   \
    X(JSValueUnprotect)

// The functions under their own names, as pointers into the loaded library.
struct API {
#define DZ_JSC_MEMBER(name) decltype(&::name) name = nullptr;
    DZ_JSC_FUNCTIONS(DZ_JSC_MEMBER)
#undef DZ_JSC_MEMBER
};

// The engine, or the one-line reason it cannot be used.
using Loaded = std::variant<std::shared_ptr<const API>, std::string>;

// Opens `library` (a file name the dynamic loader searches for) and resolves
// every function. The library stays loaded for the life of the process.
Loaded load(const std::string& library);

// The library the build was configured with, loaded once per process.
const Loaded& defaultEngine();

// The file name of that library.
const char* defaultLibrary();

}  // namespace dz::jsc
