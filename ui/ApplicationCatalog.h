#pragma once

#include <string>
#include <vector>

#include "ui/DesktopApplication.h"

namespace dz {

class Workspace;

// The applications rules can name: installed, running, and the workspace
// that knows their names and locations.
class ApplicationCatalog {
  public:
    virtual ~ApplicationCatalog() = default;

    // Applications with a desktop file, by name; running ones. Empty when
    // none can be listed.
    virtual std::vector<DesktopApplication> installedApplications() const = 0;
    virtual std::vector<DesktopApplication> runningApplications() const = 0;
    // Where names and locations are looked up; null without a desktop, and
    // then no application counts as installed.
    virtual const Workspace* workspace() const = 0;
    // The program's own application id.
    virtual std::string ownApplicationID() const { return "dev.dozuzavuvu"; }
};

}  // namespace dz
