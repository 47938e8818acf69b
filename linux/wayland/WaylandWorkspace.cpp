#include "linux/wayland/WaylandWorkspace.h"

#include <algorithm>

namespace dz::wayland {

WaylandWorkspace::WaylandWorkspace(ForeignToplevels& toplevels, Workspace& fallback,
                                   x11::AppIdentity& identity, AppProcesses processes)
    : toplevels_(toplevels), fallback_(fallback), identity_(identity), processes_(std::move(processes)) {
    listening_ = toplevels_.listen([this](const ForeignToplevels::Change& change) { changed(change); });
}

WaylandWorkspace::~WaylandWorkspace() {
    toplevels_.stopListening(listening_);
}

std::optional<std::string> WaylandWorkspace::applicationLocation(std::string_view bundleID) const {
    return fallback_.applicationLocation(bundleID);
}

std::optional<Workspace::BundleInfo> WaylandWorkspace::bundleInfo(std::string_view location) const {
    return fallback_.bundleInfo(location);
}

void WaylandWorkspace::changed(const ForeignToplevels::Change& change) {
    if (change.closed) {
        known_.erase(change.toplevel.id);
        return;
    }
    if (!change.becameActive || !change.toplevel.activated || !frontProcess_)
        return;
    auto app = applicationOf(change.toplevel);
    frontProcess_(app && app->pid ? std::optional<pid_t>(*app->pid) : std::nullopt);
}

std::optional<Workspace::RunningApplication> WaylandWorkspace::applicationOf(
    const ForeignToplevels::Toplevel& toplevel) const {
    if (toplevel.appID.empty())
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    auto it = known_.find(toplevel.id);
    if (it != known_.end() && it->second.appID == toplevel.appID &&
        (it->second.complete || it->second.app.pid || now - it->second.scanned < rescanAfter))
        return it->second.app;

    Known known{toplevel.appID, {}, true, now};
    auto installed = identity_.applicationOfClass(toplevel.appID);
    known.app.bundleID = installed ? installed->id : toplevel.appID;
    if (installed)
        known.app.localizedName = installed->name;
    // An Xwayland window in front is X11's active window too, and X11 names
    // its process exactly.
    std::optional<RunningApplication> x11Front;
    if (toplevel.activated)
        x11Front = fallback_.frontmostApplication();
    // Its class is the app id, and often its program's name too (XTerm and xterm).
    if (x11Front && x11Front->pid &&
        (AppProcesses::sameID(x11Front->bundleID, known.app.bundleID) ||
         (x11Front->executable && AppProcesses::sameID(*x11Front->executable, toplevel.appID)))) {
        known.app = *x11Front;
    } else if (now - scanWindow_ >= std::chrono::seconds(1) || scanSpent_ < scanBudget) {
        if (now - scanWindow_ >= std::chrono::seconds(1)) {
            scanWindow_ = now;
            scanSpent_ = {};
        }
        auto scan = processes_.find(known.app.bundleID);
        scanSpent_ += std::chrono::steady_clock::now() - now;
        known.complete = scan.complete;
        if (scan.pid) {
            auto app = identity_.application(*scan.pid, toplevel.appID);
            known.app =
                RunningApplication{app.id, app.name, int32_t(*scan.pid), identity_.executable(*scan.pid)};
        }
    } else {
        known.complete = false;  // over the budget: tried again later
    }
    if (toplevels_.following() && known_.size() < maxKnown)
        known_[toplevel.id] = known;
    return known.app;
}

std::optional<Workspace::RunningApplication> WaylandWorkspace::frontmostApplication() const {
    if (!toplevels_.following())
        return fallback_.frontmostApplication();
    auto active = toplevels_.active();
    if (!active)
        return std::nullopt;
    return applicationOf(*active);
}

std::vector<Workspace::RunningApplication> WaylandWorkspace::runningApplications() const {
    std::vector<RunningApplication> out;
    // One entry per application, with a process where either source knows it.
    auto add = [&](RunningApplication app) {
        auto same =
            std::find_if(out.begin(), out.end(), [&](const auto& a) { return a.bundleID == app.bundleID; });
        if (same == out.end())
            out.push_back(std::move(app));
        else if (!same->pid && app.pid)
            *same = std::move(app);
    };
    // Without a process scan per window: the ones known already, else the
    // id alone.
    for (const auto& toplevel : toplevels_.toplevels()) {
        if (toplevel.appID.empty())
            continue;
        if (auto it = known_.find(toplevel.id); it != known_.end() && it->second.appID == toplevel.appID) {
            add(it->second.app);
        } else if (auto installed = identity_.applicationOfClass(toplevel.appID)) {
            add(RunningApplication{installed->id, installed->name, std::nullopt});
        } else {
            add(RunningApplication{toplevel.appID, std::nullopt, std::nullopt});
        }
    }
    for (auto& app : fallback_.runningApplications()) add(std::move(app));
    return out;
}

}  // namespace dz::wayland
