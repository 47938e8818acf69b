// Arbitrary bytes as a settings document: decoding never crashes, and a
// decoded record survives both the stored and the exported form unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/settings/SettingsData.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings round trip failed: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dz;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<SettingsData> decoded = SettingsData::decode(bytes, &error);
    if (!decoded) {
        check(!error.empty(), "a failure without a reason");
        return 0;
    }
    check(decoded->defaultFormat != OutputFormat::original, "original as the default format");
    std::optional<std::string> stored = decoded->encode();
    check(stored.has_value(), "a decoded record that cannot be encoded");
    check(SettingsData::decode(*stored) == decoded, "stored form");
    std::optional<std::string> exported = decoded->exportJSON();
    check(exported.has_value(), "a decoded record that cannot be exported");
    check(SettingsData::decode(*exported) == decoded, "exported form");
    return 0;
}
