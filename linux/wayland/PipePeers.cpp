#include "linux/wayland/PipePeers.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <string>

namespace dz::wayland {

PipePeers::PipePeers(std::filesystem::path procRoot, std::vector<pid_t> excluded, uid_t uid)
    : table_(std::move(procRoot)), excluded_(std::move(excluded)), uid_(uid) {}

std::optional<ino_t> PipePeers::pipeInode(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))
        return std::nullopt;
    return st.st_ino;
}

bool PipePeers::holds(pid_t pid, const std::string& link) const {
    const std::string dir = (table_.dir(pid) / "fd").string();
    DIR* fds = opendir(dir.c_str());
    if (!fds)
        return false;  // another user's process, or gone
    bool found = false;
    char target[64];
    while (dirent* entry = readdir(fds)) {
        if (entry->d_name[0] == '.')
            continue;
        ssize_t n = readlinkat(dirfd(fds), entry->d_name, target, sizeof target);
        if (n > 0 && size_t(n) == link.size() && link.compare(0, link.size(), target, size_t(n)) == 0) {
            found = true;
            break;
        }
    }
    closedir(fds);
    return found;
}

std::string PipePeers::comm(pid_t pid) const {
    std::ifstream in(table_.dir(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::string PipePeers::executable(pid_t pid) const {
    std::error_code ec;
    return std::filesystem::read_symlink(table_.dir(pid) / "exe", ec).string();
}

std::optional<pid_t> PipePeers::application(pid_t holder) const {
    static constexpr std::array<std::string_view, 6> helpers{"cat", "sh", "bash", "dash", "tee", "dd"};
    pid_t pid = holder;
    for (int depth = 0; depth < 4; ++depth) {
        auto up = table_.parent(pid);
        if (!up || std::find(excluded_.begin(), excluded_.end(), *up) != excluded_.end())
            break;
        std::string name = comm(pid), exe = executable(pid);
        // A helper, or a worker forked by the same program (which may be gone
        // before anyone asks who it was), stands for the process above it.
        bool helper = std::find(helpers.begin(), helpers.end(), name) != helpers.end();
        if (!helper && (exe.empty() || exe != executable(*up)))
            break;
        pid = *up;
    }
    if (comm(pid) == "Xwayland")
        return std::nullopt;
    return pid;
}

PipePeers::Scan PipePeers::find(ino_t inode, const std::vector<pid_t>& first,
                                std::chrono::steady_clock::duration deadline) const {
    const auto until = std::chrono::steady_clock::now() + deadline;
    const std::string link = "pipe:[" + std::to_string(inode) + "]";
    Scan scan;
    auto excluded = [&](pid_t pid) {
        return std::find(excluded_.begin(), excluded_.end(), pid) != excluded_.end();
    };
    auto mine = [&](pid_t pid) { return table_.ownedBy(pid, uid_); };
    for (pid_t pid : first) {
        if (excluded(pid) || !mine(pid))
            continue;
        ++scan.processesSeen;
        if (holds(pid, link)) {
            scan.pid = pid;
            return scan;
        }
    }
    auto listed = table_.pids();
    if (!listed)
        return scan;
    // Newest first: the tools that paste and copy from scripts are young, and
    // an application's helper is younger than the application.
    std::vector<pid_t> pids = std::move(*listed);
    std::sort(pids.begin(), pids.end(), std::greater<>());
    for (pid_t pid : pids) {
        if (excluded(pid) || std::find(first.begin(), first.end(), pid) != first.end())
            continue;
        if (std::chrono::steady_clock::now() >= until) {
            scan.timedOut = true;
            break;
        }
        if (!mine(pid))
            continue;
        ++scan.processesSeen;
        if (holds(pid, link)) {
            scan.pid = pid;
            break;
        }
    }
    return scan;
}

}  // namespace dz::wayland
