#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dz {

// The desktop's view of installed and running applications. An application's
// identifier ("bundle identifier" in the names) is its desktop-file id, such
// as "org.gnome.Evince" or "firefox-esr". Main thread only.
class Workspace {
  public:
    // This program's own identifier; the backend maps the program's own
    // process to it however it was started.
    static constexpr std::string_view ownBundleID = "dev.dozuzavuvu";

    struct RunningApplication {
        std::string bundleID;
        std::optional<std::string> localizedName;
        std::optional<int32_t> pid;
        // The program the process runs ("xterm", "gnome-terminal-server"),
        // or the script's name for an interpreted one; for terminals whose
        // desktop ids differ between distributions.
        std::optional<std::string> executable = std::nullopt;
        bool operator==(const RunningApplication&) const = default;
    };

    // What an application's own description says about its name.
    struct BundleInfo {
        std::optional<std::string> displayName;
        std::optional<std::string> name;
    };

    virtual ~Workspace() = default;

    // Where the application with this identifier is installed, if it is.
    virtual std::optional<std::string> applicationLocation(std::string_view bundleID) const = 0;
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // Nothing when the application at `location` cannot be read.
    virtual std::optional<BundleInfo> bundleInfo(std::string_view location) const = 0;
    // The application owning the active window; nothing when there is none or
    // it cannot be told.
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
};

}  // namespace dz
