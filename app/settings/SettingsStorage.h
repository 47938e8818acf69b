#pragma once

#include <string>
#include <string_view>

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
};

}  // namespace dz
