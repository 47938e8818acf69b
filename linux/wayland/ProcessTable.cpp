#include "linux/wayland/ProcessTable.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace dz::wayland {

ProcessTable::ProcessTable(std::filesystem::path root) : root_(std::move(root)) {}

std::filesystem::path ProcessTable::dir(pid_t pid) const {
    return root_ / std::to_string(pid);
}

std::optional<pid_t> ProcessTable::parsePID(const char* name) {
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

std::optional<std::vector<pid_t>> ProcessTable::pids() const {
    DIR* proc = opendir(root_.c_str());
    if (!proc)
        return std::nullopt;
    std::vector<pid_t> pids;
    while (dirent* entry = readdir(proc))
        if (auto pid = parsePID(entry->d_name))
            pids.push_back(*pid);
    closedir(proc);
    return pids;
}

bool ProcessTable::ownedBy(pid_t pid, uid_t uid) const {
    struct stat st {};
    return stat(dir(pid).c_str(), &st) == 0 && st.st_uid == uid;
}

std::optional<pid_t> ProcessTable::parent(pid_t pid) const {
    // "pid (comm) state ppid ...": the name may hold spaces and parentheses.
    std::ifstream in(dir(pid) / "stat");
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

}  // namespace dz::wayland
