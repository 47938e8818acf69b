#include "core/clipboard/MemoryPasteboard.h"

#include "core/text/Unicode.h"

namespace dz {

MemoryPasteboard::MemoryPasteboard(std::vector<std::pair<std::string, std::string>> items) {
    ++changeCount_;
    for (auto& [type, bytes] : items) items_.push_back({std::move(type), std::move(bytes)});
}

std::optional<std::vector<std::string>> MemoryPasteboard::types() const {
    if (unavailable_)
        return std::nullopt;
    std::vector<std::string> out;
    out.reserve(items_.size());
    for (const auto& item : items_) out.push_back(item.type);
    return out;
}

std::optional<std::string> MemoryPasteboard::data(const std::string& type) const {
    if (unavailable_)
        return std::nullopt;
    for (const auto& item : items_)
        if (item.type == type)
            return item.data;
    return std::nullopt;
}

std::optional<std::string> MemoryPasteboard::string(const std::string& type) const {
    auto bytes = data(type);
    if (!bytes)
        return std::nullopt;
    return unicode::decodeUTF8(*bytes);
}

void MemoryPasteboard::clearContents() {
    items_.clear();
    ++changeCount_;
}

void MemoryPasteboard::declareTypes(const std::vector<std::string>& types) {
    items_.clear();
    for (const auto& type : types) items_.push_back({type, std::nullopt});
    ++changeCount_;
}

bool MemoryPasteboard::setData(const std::string& bytes, const std::string& type) {
    for (auto& item : items_) {
        if (item.type == type) {
            item.data = bytes;
            return true;
        }
    }
    items_.push_back({type, bytes});
    return true;
}

bool MemoryPasteboard::setString(const std::string& text, const std::string& type) {
    return setData(text, type);
}

}  // namespace dz
