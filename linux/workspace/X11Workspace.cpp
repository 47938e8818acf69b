#include "linux/workspace/X11Workspace.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace dz::x11 {

std::unique_ptr<X11Workspace> X11Workspace::create(AppIdentity& identity, std::string* error,
                                                   const char* display) {
    auto conn = XcbConnection::open(display, error);
    if (!conn)
        return nullptr;
    return std::unique_ptr<X11Workspace>(new X11Workspace(std::move(conn), identity));
}

X11Workspace::X11Workspace(std::unique_ptr<XcbConnection> conn, AppIdentity& identity)
    : conn_(std::move(conn)), identity_(identity) {
    auto atoms = conn_->atoms({"_NET_ACTIVE_WINDOW", "_NET_CLIENT_LIST", "_NET_WM_PID"});
    activeWindow_ = atoms[0], clientList_ = atoms[1], wmPID_ = atoms[2];
}

std::optional<std::string> X11Workspace::applicationLocation(std::string_view bundleID) const {
    if (auto entry = identity_.entry(bundleID))
        return entry->path;
    return std::nullopt;
}

std::optional<Workspace::BundleInfo> X11Workspace::bundleInfo(std::string_view location) const {
    std::ifstream in{std::string(location)};
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    const char* locale = nullptr;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(var); v && *v && !locale)
            locale = v;
    auto entry = parseDesktopEntry(text.str(), locale ? locale : "");
    if (!entry)
        return std::nullopt;
    return BundleInfo{entry->name, entry->genericName};
}

std::optional<Workspace::RunningApplication> X11Workspace::applicationOf(xcb_window_t window) const {
    std::optional<int32_t> pid;
    if (auto p = conn_->cardinalProperty(window, wmPID_); p && *p > 0)
        pid = int32_t(*p);
    if (!pid)
        pid = conn_->clientPID(window);
    if (!pid)
        return std::nullopt;
    // WM_CLASS is "instance\0class\0"; the class names the application.
    std::optional<std::string> windowClass;
    if (auto wmClass = conn_->property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        std::string_view all(*wmClass);
        size_t nul = all.find('\0');
        if (nul != std::string_view::npos) {
            std::string_view cls = all.substr(nul + 1);
            cls = cls.substr(0, cls.find('\0'));
            if (!cls.empty())
                windowClass = std::string(cls);
        }
    }
    auto app = identity_.application(*pid, windowClass);
    return RunningApplication{app.id, app.name, pid, identity_.executable(*pid)};
}

std::vector<Workspace::RunningApplication> X11Workspace::runningApplications() const {
    std::vector<RunningApplication> out;
    for (auto window : conn_->windowListProperty(conn_->root(), clientList_)) {
        auto app = applicationOf(window);
        if (!app)
            continue;
        if (std::none_of(out.begin(), out.end(), [&](const auto& a) { return a.bundleID == app->bundleID; }))
            out.push_back(std::move(*app));
    }
    return out;
}

std::optional<Workspace::RunningApplication> X11Workspace::frontmostApplication() const {
    auto window = conn_->windowProperty(conn_->root(), activeWindow_);
    if (!window)
        return std::nullopt;
    return applicationOf(*window);
}

}  // namespace dz::x11
