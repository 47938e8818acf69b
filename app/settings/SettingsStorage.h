#pragma once

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

// Per-user key-value storage of data blobs; the settings keep one document
// under "settings.v1".
class SettingsStorage {
  public:
    struct Stored {
        enum class Status { absent, present, failed };
        Status status = Status::absent;
        std::string bytes;  // when present
        std::string error;  // when failed
    };

    virtual ~SettingsStorage() = default;

    virtual Stored read(std::string_view key) const = 0;
    // Replaces the blob as a whole: after a failure the previous blob is
    // still there, unchanged.
    virtual bool write(std::string_view key, std::string_view bytes, std::string* error = nullptr) = 0;

    // Stores `bytes` aside under a name of its own, never replacing a copy
    // kept earlier: the first takes `key`, later ones `key.2`, `key.3`, ...
    // Of those copies the oldest (the one that most likely held the user's
    // real data) and the newest `keptAsideLimit - 1` are kept.
    virtual bool keepAside(std::string_view key, std::string_view bytes, std::string* error = nullptr) = 0;

    static constexpr size_t keptAsideLimit = 10;

    // The name of kept-aside copy `number` (1 is the oldest) of `key`.
    static std::string keptAsideName(std::string_view key, unsigned number) {
        return number <= 1 ? std::string(key) : std::string(key) + "." + std::to_string(number);
    }
    // The copy number `name` has among the kept-aside copies of `key`; 0 when
    // it is not one of them.
    static unsigned keptAsideNumber(std::string_view key, std::string_view name) {
        if (name == key)
            return 1;
        if (name.size() <= key.size() + 1 || !name.starts_with(key) || name[key.size()] != '.')
            return 0;
        std::string_view digits = name.substr(key.size() + 1);
        unsigned number = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (ec != std::errc() || end != digits.data() + digits.size() || digits[0] == '0' || number < 2)
            return 0;
        return number;
    }
    // The copies to remove from `numbers` so that the oldest and the newest
    // `keptAsideLimit - 1` remain.
    static std::vector<unsigned> keptAsideSurplus(std::vector<unsigned> numbers) {
        std::sort(numbers.begin(), numbers.end());
        if (numbers.size() <= keptAsideLimit)
            return {};
        return std::vector<unsigned>(numbers.begin() + 1, numbers.end() - (keptAsideLimit - 1));
    }
};

}  // namespace dz
