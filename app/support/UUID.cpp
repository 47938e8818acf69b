#include "app/support/UUID.h"
#include "core/text/Unicode.h"

#include <mutex>
#include <random>

namespace dz {

namespace {

bool isDashPosition(size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

}  // namespace

UUID UUID::random() {
    // Seeded once from the system's entropy source; identifiers only need to
    // be unique, not secret.
    static std::mutex mutex;
    static std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    UUID id;
    {
        std::lock_guard lock(mutex);
        for (size_t i = 0; i < 16; i += 8) {
            uint64_t word = engine();
            for (size_t j = 0; j < 8; ++j) id.bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
        }
    }
    id.bytes[6] = static_cast<uint8_t>((id.bytes[6] & 0x0F) | 0x40);
    id.bytes[8] = static_cast<uint8_t>((id.bytes[8] & 0x3F) | 0x80);
    return id;
}

std::optional<UUID> UUID::parse(std::string_view text) {
    if (text.size() != 36)
        return std::nullopt;
    UUID id;
    size_t nibble = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isDashPosition(i)) {
            if (text[i] != '-')
                return std::nullopt;
            continue;
        }
        int v = unicode::hexDigitValue(text[i]);
        if (v < 0)
            return std::nullopt;
        uint8_t& byte = id.bytes[nibble / 2];
        byte = static_cast<uint8_t>(nibble % 2 == 0 ? v << 4 : byte | v);
        ++nibble;
    }
    return id;
}

std::string UUID::string() const {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
    return out;
}

}  // namespace dz
