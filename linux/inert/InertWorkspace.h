#pragma once
// The workspace where no window can be seen (a Wayland desktop without
// Xwayland): no running or front application, so rules by application and
// page fall back to the defaults.

#include "app/platform/Workspace.h"

namespace dz {

class InertWorkspace final : public Workspace {
  public:
    std::optional<std::string> applicationLocation(std::string_view) const override { return std::nullopt; }
    std::vector<RunningApplication> runningApplications() const override { return {}; }
    std::optional<BundleInfo> bundleInfo(std::string_view) const override { return std::nullopt; }
    std::optional<RunningApplication> frontmostApplication() const override { return std::nullopt; }
};

}  // namespace dz
