#include "app/settings/MemorySettingsStorage.h"

namespace dz {

SettingsStorage::Stored MemorySettingsStorage::read(std::string_view key) const {
    if (failReads)
        return {Stored::Status::failed, {}, "reading is switched off"};
    auto it = blobs.find(key);
    if (it == blobs.end())
        return {};
    return {Stored::Status::present, it->second, {}};
}

bool MemorySettingsStorage::write(std::string_view key, std::string_view bytes, std::string* error) {
    if (failWrites) {
        if (error)
            *error = "writing is switched off";
        return false;
    }
    blobs.insert_or_assign(std::string(key), std::string(bytes));
    ++writeCount;
    return true;
}

}  // namespace dz
