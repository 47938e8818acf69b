#pragma once
// The workspace of a Wayland session whose compositor lists its windows: the
// front application is the one behind the active window, native or Xwayland.
// Installed applications, and the front application once the compositor
// withdraws its list, come from the workspace it wraps (X11's, through
// Xwayland).

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/platform/Workspace.h"
#include "linux/wayland/AppProcesses.h"
#include "linux/wayland/ForeignToplevels.h"
#include "linux/workspace/AppIdentity.h"

namespace dz::wayland {

class WaylandWorkspace final : public Workspace {
  public:
    // Told, on the main thread, the process of the application in front each
    // time another window becomes active (nothing when it is not known).
    using FrontProcess = std::function<void(std::optional<pid_t>)>;

    // Every argument must outlive the workspace.
    WaylandWorkspace(ForeignToplevels& toplevels, Workspace& fallback, x11::AppIdentity& identity,
                     AppProcesses processes);
    ~WaylandWorkspace() override;

    std::optional<std::string> applicationLocation(std::string_view bundleID) const override;
    std::vector<RunningApplication> runningApplications() const override;
    std::optional<BundleInfo> bundleInfo(std::string_view location) const override;
    std::optional<RunningApplication> frontmostApplication() const override;

    // The application behind one window: its id from the window's app id
    // (through the installed desktop files where one matches), its process
    // when one is found. Kept per window. Nothing without an app id.
    std::optional<RunningApplication> applicationOf(const ForeignToplevels::Toplevel& toplevel) const;
    void setFrontProcessHandler(FrontProcess handler) { frontProcess_ = std::move(handler); }

    // An incomplete scan is tried again after this long at the soonest.
    static constexpr std::chrono::seconds rescanAfter{2};
    static constexpr size_t maxKnown = 1024;
    // Scanning time allowed per second on the main thread: windows that come
    // and go without end must not keep it scanning.
    static constexpr std::chrono::milliseconds scanBudget{100};

  private:
    struct Known {
        std::string appID;
        RunningApplication app;
        bool complete = false;
        std::chrono::steady_clock::time_point scanned;
    };
    void changed(const ForeignToplevels::Change& change);

    ForeignToplevels& toplevels_;
    Workspace& fallback_;
    x11::AppIdentity& identity_;
    AppProcesses processes_;
    uint64_t listening_ = 0;
    FrontProcess frontProcess_;
    mutable std::map<uint64_t, Known> known_;
    mutable std::chrono::steady_clock::time_point scanWindow_;
    mutable std::chrono::steady_clock::duration scanSpent_{};
};

}  // namespace dz::wayland
