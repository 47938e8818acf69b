#pragma once

#include <map>
#include <string>

#include "app/settings/SettingsStorage.h"

namespace dz {

// Storage in memory, for tests and for a process without a home folder.
class MemorySettingsStorage : public SettingsStorage {
  public:
    std::map<std::string, std::string, std::less<>> blobs;
    int writeCount = 0;       // successful writes
    bool failWrites = false;  // make every write fail, as a full disk would
    bool failReads = false;   // make every read fail, as an unreadable file would

    Stored read(std::string_view key) const override;
    bool write(std::string_view key, std::string_view bytes, std::string* error = nullptr) override;
    bool keepAside(std::string_view key, std::string_view bytes, std::string* error = nullptr) override;
};

}  // namespace dz
