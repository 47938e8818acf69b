// Arbitrary bytes as a scenario: the runner either runs it or refuses it with
// a step number and a reason; it never crashes or hangs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "tools/scenario/ScenarioRunner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::ostringstream out;
    std::string error;
    int status = dz::scenario::run(bytes, out, &error);
    if (status != 0 && (status != dz::scenario::malformed || !error.starts_with("step "))) {
        std::fprintf(stderr, "scenario refused without a step: %d %s\n", status, error.c_str());
        std::abort();
    }
    return 0;
}
