#pragma once

#include <string>

namespace dz {

// An application as the desktop lists it, for rules and their pickers.
struct DesktopApplication {
    std::string id;        // desktop-file id
    std::string name;      // display name
    std::string iconName;  // theme icon name or icon path; may be empty
};

}  // namespace dz
