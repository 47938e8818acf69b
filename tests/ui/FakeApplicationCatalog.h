#pragma once

#include "app/platform/fakes/FakeWorkspace.h"
#include "ui/ApplicationCatalog.h"

namespace dz {

// Applications the test lists, over a fake workspace.
class FakeApplicationCatalog : public ApplicationCatalog {
  public:
    std::vector<DesktopApplication> installed;
    std::vector<DesktopApplication> running;
    fake::FakeWorkspace fakeWorkspace;

    std::vector<DesktopApplication> installedApplications() const override { return installed; }
    std::vector<DesktopApplication> runningApplications() const override { return running; }
    const Workspace* workspace() const override { return &fakeWorkspace; }
};

}  // namespace dz
