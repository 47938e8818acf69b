#pragma once
// Our strings are UTF-8; Qt's are UTF-16.

#include <string_view>

#include <QString>

namespace dz {

inline QString qstr(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace dz
