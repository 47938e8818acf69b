// INCR chunk sequences as arbitrary bytes: each chunk is a header (type,
// format, bytes-after, length) and its bytes, fed to the assembler with a
// small limit so the limit is crossed often.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "linux/clipboard/IncrementalTransfer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using dz::x11::IncrementalTransfer;
    IncrementalTransfer transfer(4096);
    size_t pos = 0;
    while (pos + 4 <= size) {
        uint32_t type = data[pos] % 4;
        uint8_t format = (data[pos + 1] % 3) * 8 + 8;
        uint32_t after = data[pos + 2] % 5 == 0 ? data[pos + 2] : 0;
        size_t length = std::min<size_t>(data[pos + 3] * 16u, size - pos - 4);
        std::string_view chunk(reinterpret_cast<const char*>(data) + pos + 4, length);
        pos += 4 + length;
        (void)transfer.nextRequestUnits();
        auto step = transfer.add(type, format, chunk, after);
        if (step != IncrementalTransfer::Step::more)
            break;
    }
    std::string out = transfer.take();
    if (out.size() > 4096)
        __builtin_trap();
    return 0;
}
