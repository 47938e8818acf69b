#pragma once
// Which process holds the other end of a pipe: data-control names no client,
// but each transfer hands one end of a pipe to us and the other to the
// application on the far side, and both ends show as the same
// `pipe:[inode]` under /proc/<pid>/fd.

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "linux/wayland/ProcessTable.h"

namespace dz::wayland {

class PipePeers {
  public:
    struct Scan {
        std::optional<pid_t> pid;
        size_t processesSeen = 0;
        bool timedOut = false;
    };

    // `procRoot` is for tests; `excluded` are never answers (this process,
    // the compositor); only processes of `uid` are looked at.
    explicit PipePeers(std::filesystem::path procRoot = "/proc", std::vector<pid_t> excluded = {},
                       uid_t uid = ::getuid());

    // The pipe's inode, or nothing when `fd` is not a pipe.
    static std::optional<ino_t> pipeInode(int fd);

    // The first other process found holding the pipe, `first` (the front
    // application's processes) looked at before the rest; gives up at `deadline`.
    Scan find(ino_t inode, const std::vector<pid_t>& first = {},
              std::chrono::steady_clock::duration deadline = std::chrono::milliseconds(100)) const;

    // The application behind a holder: tools hand their end to a helper
    // (wl-paste to `cat`) or to a forked worker of their own (wl-copy), so
    // such a holder stands for its parent. Nothing for Xwayland, which stands
    // for an X11 application we cannot tell apart here.
    std::optional<pid_t> application(pid_t holder) const;

  private:
    bool holds(pid_t pid, const std::string& link) const;
    std::string comm(pid_t pid) const;
    std::string executable(pid_t pid) const;

    ProcessTable table_;
    std::vector<pid_t> excluded_;
    uid_t uid_;
};

}  // namespace dz::wayland
