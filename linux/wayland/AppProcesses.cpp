#include "linux/wayland/AppProcesses.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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

// Ids differ in case between a window's app id and a program's name ("Foo", "foo").
bool sameID(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto low = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return low(x) == low(y);
    });
}

}  // namespace

AppProcesses::AppProcesses(x11::AppIdentity& identity, std::filesystem::path procRoot,
                           std::vector<pid_t> excluded, uid_t uid, Limits limits)
    : identity_(identity),
      procRoot_(std::move(procRoot)),
      excluded_(std::move(excluded)),
      uid_(uid),
      limits_(limits) {}

bool AppProcesses::mine(pid_t pid) const {
    struct stat st {};
    return stat((procRoot_ / std::to_string(pid)).c_str(), &st) == 0 && st.st_uid == uid_;
}

std::optional<pid_t> AppProcesses::parent(pid_t pid) const {
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

AppProcesses::Scan AppProcesses::find(std::string_view bundleID) const {
    const auto until = std::chrono::steady_clock::now() + limits_.deadline;
    Scan scan;
    if (bundleID.empty())
        return scan;
    DIR* proc = opendir(procRoot_.c_str());
    if (!proc) {
        scan.complete = false;
        return scan;
    }
    std::vector<pid_t> pids;
    while (dirent* entry = readdir(proc))
        if (auto pid = parsePID(entry->d_name))
            pids.push_back(*pid);
    closedir(proc);
    // Oldest first, as far as numbers tell: an application started before
    // the helpers it runs.
    std::sort(pids.begin(), pids.end());
    auto excluded = [&](pid_t pid) {
        return std::find(excluded_.begin(), excluded_.end(), pid) != excluded_.end();
    };
    auto matches = [&](pid_t pid) {
        return !excluded(pid) && mine(pid) && sameID(identity_.identify(pid).id, bundleID);
    };
    for (pid_t pid : pids) {
        if (std::chrono::steady_clock::now() >= until || scan.processesSeen >= limits_.maxProcesses) {
            scan.complete = false;
            break;
        }
        if (excluded(pid) || !mine(pid))
            continue;
        ++scan.processesSeen;
        if (!sameID(identity_.identify(pid).id, bundleID))
            continue;
        scan.pid = pid;
        // Numbers wrap: a helper may carry a lower one than its application.
        for (int depth = 0; depth < 8; ++depth) {
            auto up = parent(*scan.pid);
            if (!up || !matches(*up))
                break;
            scan.pid = *up;
        }
        break;
    }
    return scan;
}

}  // namespace dz::wayland
