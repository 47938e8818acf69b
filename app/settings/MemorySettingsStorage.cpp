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

bool MemorySettingsStorage::keepAside(std::string_view key, std::string_view bytes, std::string* error) {
    std::vector<unsigned> numbers;
    for (const auto& [name, blob] : blobs)
        if (unsigned number = keptAsideNumber(key, name))
            numbers.push_back(number);
    unsigned next = numbers.empty() ? 1 : *std::max_element(numbers.begin(), numbers.end()) + 1;
    if (!write(keptAsideName(key, next), bytes, error))
        return false;
    numbers.push_back(next);
    for (unsigned surplus : keptAsideSurplus(numbers)) blobs.erase(keptAsideName(key, surplus));
    return true;
}

}  // namespace dz
