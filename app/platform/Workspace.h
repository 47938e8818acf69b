#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

// The desktop's view of installed and running applications, as far as rules
// need it. The desktop backend provides the real one; tests use a fake.
class Workspace {
  public:
    struct RunningApplication {
        std::string bundleID;
        std::optional<std::string> localizedName;
    };

    // What an application's own description says about its name.
    struct BundleInfo {
        std::optional<std::string> displayName;
        std::optional<std::string> name;
    };

    virtual ~Workspace() = default;

    // Where the application with this identifier is installed, if it is.
    virtual std::optional<std::string> applicationLocation(std::string_view bundleID) const = 0;
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // Nothing when the application at `location` cannot be read.
    virtual std::optional<BundleInfo> bundleInfo(std::string_view location) const = 0;
};

}  // namespace dz
