#include "linux/clipboard/IncrementalTransfer.h"

#include <algorithm>

namespace dz::x11 {

IncrementalTransfer::Step IncrementalTransfer::add(uint32_t type, uint8_t format, std::string_view bytes,
                                                   uint32_t bytesAfter) {
    if (ended_)
        return Step::failed;
    if (bytes.empty() && bytesAfter == 0) {
        ended_ = true;
        return Step::done;
    }
    if (!started_) {
        type_ = type;
        started_ = true;
    } else if (type != type_) {
        return ended_ = true, Step::failed;
    }
    if (format != 8 || bytesAfter > 0 || bytes.size() > max_ - data_.size())
        return ended_ = true, Step::failed;
    data_.append(bytes);
    return Step::more;
}

uint32_t IncrementalTransfer::nextRequestUnits() const {
    size_t left = max_ - std::min(max_, data_.size());
    return uint32_t(std::min<size_t>(left / 4 + 1, UINT32_MAX / 4));
}

}  // namespace dz::x11
