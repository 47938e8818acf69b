#pragma once
// Which process runs an application, when the desktop names the application
// but not its process (the compositor's window list gives app ids only): one
// bounded scan over the user's own processes for one whose identity (Flatpak,
// systemd scope, desktop file, executable) is that application.

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "linux/wayland/ProcessTable.h"
#include "linux/workspace/AppIdentity.h"

namespace dz::wayland {

struct AppProcessLimits {
    std::chrono::steady_clock::duration deadline = std::chrono::milliseconds(20);
    size_t maxProcesses = 4096;  // looked at per scan
};

class AppProcesses {
  public:
    using Limits = AppProcessLimits;
    struct Scan {
        std::optional<pid_t> pid;
        size_t processesSeen = 0;
        bool complete = true;  // false: stopped at the deadline or the cap
    };

    // `procRoot` as `identity`'s; `excluded` are never answers (this process,
    // the compositor); only processes of `uid` are looked at. `identity` must
    // outlive this.
    explicit AppProcesses(x11::AppIdentity& identity, std::filesystem::path procRoot = "/proc",
                          std::vector<pid_t> excluded = {::getpid()}, uid_t uid = ::getuid(),
                          Limits limits = {});

    // The oldest process of `bundleID` found, and of its kind the topmost
    // (an application's helpers and workers share its identity; the window
    // and the accessibility tree belong to the one that started them).
    Scan find(std::string_view bundleID) const;

    // Whether two application ids name one application, whatever their case.
    static bool sameID(std::string_view a, std::string_view b);

  private:
    bool mine(pid_t pid) const;

    x11::AppIdentity& identity_;
    ProcessTable table_;
    std::vector<pid_t> excluded_;
    uid_t uid_;
    Limits limits_;
};

}  // namespace dz::wayland
