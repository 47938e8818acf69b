#pragma once
// The process table under /proc (or a stand-in directory for tests), read
// as untrusted text: entries that are not process numbers are passed over,
// and a missing or odd file reads as "not known".

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <vector>

namespace dz::wayland {

class ProcessTable {
  public:
    explicit ProcessTable(std::filesystem::path root = "/proc");

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path dir(pid_t pid) const;

    // The numbered entries, in directory order; nothing when the table
    // itself cannot be read.
    std::optional<std::vector<pid_t>> pids() const;

    bool ownedBy(pid_t pid, uid_t uid) const;

    // From `stat`; nothing for init, the kernel's threads, or a process gone.
    std::optional<pid_t> parent(pid_t pid) const;

    // A directory entry's name as a process number (decimal digits only).
    static std::optional<pid_t> parsePID(const char* name);

  private:
    std::filesystem::path root_;
};

}  // namespace dz::wayland
