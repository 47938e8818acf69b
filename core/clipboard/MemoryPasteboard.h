#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/clipboard/Pasteboard.h"

namespace dz {

// An in-memory clipboard for tests, the command line and simulations. Its
// counter moves on every clear or declare, as the desktop's does.
class MemoryPasteboard final : public Pasteboard {
  public:
    struct Item {
        std::string type;
        std::optional<std::string> data;  // declared types hold nothing until set
        bool operator==(const Item&) const = default;
    };

    MemoryPasteboard() = default;
    // Holds these items in this order (one declare).
    explicit MemoryPasteboard(std::vector<std::pair<std::string, std::string>> items);

    std::optional<std::vector<std::string>> types() const override;
    std::optional<std::string> data(const std::string& type) const override;
    std::optional<std::string> string(const std::string& type) const override;
    void clearContents() override;
    void declareTypes(const std::vector<std::string>& types) override;
    bool setData(const std::string& bytes, const std::string& type) override;
    bool setString(const std::string& text, const std::string& type) override;
    int64_t changeCount() const override { return changeCount_; }

    const std::vector<Item>& items() const { return items_; }
    // Makes the type list unreadable, as a clipboard owned by a vanished client is.
    void setUnavailable(bool unavailable) { unavailable_ = unavailable; }

  private:
    std::vector<Item> items_;
    int64_t changeCount_ = 0;
    bool unavailable_ = false;
};

}  // namespace dz
