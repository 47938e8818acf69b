#include "linux/wayland/PipePeers.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

namespace dz::wayland {

namespace {

std::optional<pid_t> parsePID(const char* name) {
    if (!*name)
        return std::nullopt;
    pid_t pid = 0;
    for (const char* p = name; *p; ++p) {
        if (*p < '0' || *p > '9' || pid > 100'000'000)
            return std::nullopt;
        pid = pid * 10 + (*p - '0');
    }
    return pid;
}

}  // namespace

PipePeers::PipePeers(std::filesystem::path procRoot, std::vector<pid_t> excluded, uid_t uid)
    : procRoot_(std::move(procRoot)), excluded_(std::move(excluded)), uid_(uid) {}

std::optional<ino_t> PipePeers::pipeInode(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))
        return std::nullopt;
    return st.st_ino;
}

bool PipePeers::holds(pid_t pid, const std::string& link) const {
    const std::string dir = (procRoot_ / std::to_string(pid) / "fd").string();
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
    std::ifstream in(procRoot_ / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::optional<pid_t> PipePeers::parent(pid_t pid) const {
    // "pid (comm) state ppid ...": the name may hold spaces and parentheses.
    std::ifstream in(procRoot_ / std::to_string(pid) / "stat");
    std::string stat;
    std::getline(in, stat);
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    char state = 0;
    long ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) != 2 || ppid <= 1)
        return std::nullopt;
    return pid_t(ppid);
}

std::string PipePeers::executable(pid_t pid) const {
    std::error_code ec;
    return std::filesystem::read_symlink(procRoot_ / std::to_string(pid) / "exe", ec).string();
}

std::optional<pid_t> PipePeers::application(pid_t holder) const {
    static constexpr std::array<std::string_view, 6> helpers{"cat", "sh", "bash", "dash", "tee", "dd"};
    pid_t pid = holder;
    for (int depth = 0; depth < 4; ++depth) {
        auto up = parent(pid);
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
    auto mine = [&](pid_t pid) {
        struct stat st {};
        return stat((procRoot_ / std::to_string(pid)).c_str(), &st) == 0 && st.st_uid == uid_;
    };
    for (pid_t pid : first) {
        if (excluded(pid) || !mine(pid))
            continue;
        ++scan.processesSeen;
        if (holds(pid, link)) {
            scan.pid = pid;
            return scan;
        }
    }
    DIR* proc = opendir(procRoot_.c_str());
    if (!proc)
        return scan;
    // Newest first: the tools that paste and copy from scripts are young, and
    // an application's helper is younger than the application.
    std::vector<pid_t> pids;
    while (dirent* entry = readdir(proc))
        if (auto pid = parsePID(entry->d_name))
            pids.push_back(*pid);
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
    closedir(proc);
    return scan;
}

}  // namespace dz::wayland
