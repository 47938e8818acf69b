#pragma once
// Assembling an INCR transfer from its chunks: every chunk must carry the
// first one's type in 8-bit format, arrive whole, and keep the total within
// the limit; a zero-length chunk ends it. Pure, so any chunk sequence can be
// tried without a server.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dz::x11 {

class IncrementalTransfer {
  public:
    enum class Step { more, done, failed };

    explicit IncrementalTransfer(size_t maxBytes) : max_(maxBytes) {}

    // One chunk as read; `bytesAfter` is what the property held beyond it.
    Step add(uint32_t type, uint8_t format, std::string_view bytes, uint32_t bytesAfter);
    // How many 32-bit units to ask for next: enough to see one byte too many.
    uint32_t nextRequestUnits() const;

    uint32_t type() const { return type_; }
    std::string take() { return std::move(data_); }

  private:
    size_t max_;
    uint32_t type_ = 0;
    bool started_ = false;
    bool ended_ = false;
    std::string data_;
};

}  // namespace dz::x11
