#pragma once
// Installed and running applications on an X11 desktop: the active window
// (_NET_ACTIVE_WINDOW), the managed windows (_NET_CLIENT_LIST), each turned
// into an application through its process and window class.

#include <memory>
#include <string>

#include "app/platform/Workspace.h"
#include "linux/workspace/AppIdentity.h"
#include "linux/x11/XcbConnection.h"

namespace dz::x11 {

class X11Workspace final : public Workspace {
  public:
    static std::unique_ptr<X11Workspace> create(AppIdentity& identity, std::string* error = nullptr,
                                                const char* display = nullptr);

    std::optional<std::string> applicationLocation(std::string_view bundleID) const override;
    std::vector<RunningApplication> runningApplications() const override;
    std::optional<BundleInfo> bundleInfo(std::string_view location) const override;
    std::optional<RunningApplication> frontmostApplication() const override;

    // The application behind one window; nothing without a process.
    std::optional<RunningApplication> applicationOf(xcb_window_t window) const;

  private:
    X11Workspace(std::unique_ptr<XcbConnection> conn, AppIdentity& identity);

    std::unique_ptr<XcbConnection> conn_;
    AppIdentity& identity_;
    xcb_atom_t activeWindow_, clientList_, wmPID_;
};

}  // namespace dz::x11
