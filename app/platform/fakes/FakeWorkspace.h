#pragma once
// A workspace whose applications the test declares.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/Workspace.h"

namespace dz::fake {

class FakeWorkspace final : public Workspace {
  public:
    std::map<std::string, std::string, std::less<>> locations;  // bundle identifier -> location
    std::vector<RunningApplication> running;
    std::map<std::string, BundleInfo, std::less<>> infos;  // location -> what the description says
    // The frontmost application's identifier; one not in `running` has no
    // name and no process id.
    std::optional<std::string> frontmost;

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
    std::optional<RunningApplication> frontmostApplication() const override {
        if (!frontmost)
            return std::nullopt;
        return application(*frontmost);
    }
    // The running application with this id, or a bare record for it.
    RunningApplication application(const std::string& bundleID) const {
        for (const auto& app : running)
            if (app.bundleID == bundleID)
                return app;
        return RunningApplication{bundleID, std::nullopt, std::nullopt};
    }
};

}  // namespace dz::fake
