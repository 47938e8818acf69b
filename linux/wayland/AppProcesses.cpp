#include "linux/wayland/AppProcesses.h"

#include <algorithm>

namespace dz::wayland {

// Ids differ in case between a window's app id and a program's name ("Foo", "foo").
bool AppProcesses::sameID(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto low = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return low(x) == low(y);
    });
}

AppProcesses::AppProcesses(x11::AppIdentity& identity, std::filesystem::path procRoot,
                           std::vector<pid_t> excluded, uid_t uid, Limits limits)
    : identity_(identity),
      table_(std::move(procRoot)),
      excluded_(std::move(excluded)),
      uid_(uid),
      limits_(limits) {}

bool AppProcesses::mine(pid_t pid) const {
    return table_.ownedBy(pid, uid_);
}

AppProcesses::Scan AppProcesses::find(std::string_view bundleID) const {
    const auto until = std::chrono::steady_clock::now() + limits_.deadline;
    Scan scan;
    if (bundleID.empty())
        return scan;
    auto listed = table_.pids();
    if (!listed) {
        scan.complete = false;
        return scan;
    }
    std::vector<pid_t> pids = std::move(*listed);
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
            auto up = table_.parent(*scan.pid);
            if (!up || !matches(*up))
                break;
            scan.pid = *up;
        }
        break;
    }
    return scan;
}

}  // namespace dz::wayland
