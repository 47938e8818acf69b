#include "core/script/JavaScriptCoreAPI.h"

#include <dlfcn.h>

namespace dz::jsc {

namespace {

std::string loaderError(const std::string& fallback) {
    const char* text = ::dlerror();
    return text ? std::string(text) : fallback;
}

std::string cannotLoad(const std::string& reason) {
    return "Could not load the JavaScript engine: " + reason + ".";
}

}  // namespace

Loaded load(const std::string& library) {
    // Never closed: the engine keeps threads and caches that outlive any one run.
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return cannotLoad(loaderError(library + ": cannot be opened"));
    auto api = std::make_shared<API>();
#define DZ_JSC_RESOLVE(name)                                                 \
    ::dlerror();                                                             \
    api->name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name)); \
    if (!api->name)                                                          \
        return cannotLoad(loaderError(library + ": " #name " is missing"));
    DZ_JSC_FUNCTIONS(DZ_JSC_RESOLVE)
#undef DZ_JSC_RESOLVE
    return std::shared_ptr<const API>(std::move(api));
}

const char* defaultLibrary() {
    return DZ_JSC_LIBRARY;
}

const Loaded& defaultEngine() {
    static const Loaded engine = load(defaultLibrary());
    return engine;
}

}  // namespace dz::jsc
