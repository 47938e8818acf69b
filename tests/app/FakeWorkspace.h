#pragma once
// A workspace whose applications the test declares.

#include <map>
#include <string>

#include "app/platform/Workspace.h"

namespace dz::test {

class FakeWorkspace : public Workspace {
  public:
    std::map<std::string, std::string, std::less<>> locations;  // bundle identifier -> location
    std::vector<RunningApplication> running;
    std::map<std::string, BundleInfo, std::less<>> infos;  // location -> what the bundle says

    std::optional<std::string> applicationLocation(std::string_view bundleID) const override {
        auto it = locations.find(bundleID);
        if (it == locations.end())
            return std::nullopt;
        return it->second;
    }
    std::vector<RunningApplication> runningApplications() const override { return running; }
    std::optional<BundleInfo> bundleInfo(std::string_view location) const override {
        auto it = infos.find(location);
        if (it == infos.end())
            return std::nullopt;
        return it->second;
    }
};

}  // namespace dz::test
