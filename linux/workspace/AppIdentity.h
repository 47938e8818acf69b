#pragma once
// Which application a process is: its desktop-file id ("firefox-esr",
// "org.gnome.Evince") and display name, from what the process and the XDG
// application folders say. The parsers are pure; `AppIdentity` reads /proc
// and the folders and caches per process.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dz::x11 {

struct DesktopEntry {
    std::string id;  // file name relative to its applications folder, '/' as '-', without ".desktop"
    std::string path;
    std::optional<std::string> name;         // localised Name, else Name
    std::optional<std::string> genericName;  // unlocalised Name
    std::optional<std::string> exec;
    std::optional<std::string> startupWMClass;
    std::optional<std::string> icon;
    bool hidden = false;  // Hidden=true or NoDisplay=true
};

// The [Desktop Entry] group of a desktop file; nothing when it has none or is
// not an application. `locale` as in LC_MESSAGES ("de_DE.UTF-8@euro").
std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view locale);

// The application name in a Flatpak sandbox's .flatpak-info.
std::optional<std::string> flatpakAppID(std::string_view flatpakInfo);

// The application id in a systemd unit of /proc/PID/cgroup:
// app[-<launcher>]-<id>-<random>.scope or app[-<launcher>]-<id>[@<random>].service.
std::optional<std::string> cgroupAppID(std::string_view cgroup);

// The program an Exec line starts (its file name), skipping "env VAR=…".
std::optional<std::string> execProgram(std::string_view exec);

// The entry that stands for a window class or an executable: StartupWMClass
// equal to the class (ignoring case), else an id equal to the class, else an
// Exec program equal to the executable's name.
const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                      std::optional<std::string_view> windowClass,
                                      std::optional<std::string_view> executable);

// The XDG application folders in priority order ($XDG_DATA_HOME, then $XDG_DATA_DIRS).
std::vector<std::filesystem::path> applicationFolders(const std::function<const char*(const char*)>& getenv);

class AppIdentity {
  public:
    struct App {
        std::string id;
        std::optional<std::string> name;
        bool operator==(const App&) const = default;
    };

    static constexpr std::string_view ownID = "dev.dozuzavuvu";

    // `procRoot` and `folders` are for tests; by default /proc and the XDG folders.
    explicit AppIdentity(std::filesystem::path procRoot = "/proc",
                         std::optional<std::vector<std::filesystem::path>> folders = {},
                         std::string locale = {});

    // The application of a process; `windowClass` (WM_CLASS) decides first when
    // the process owns the window in question. Thread-safe; cached per process.
    App application(int32_t pid, std::optional<std::string> windowClass = std::nullopt);
    // The same answer as `application(pid)`, kept nowhere: for scans over
    // many processes, which would crowd out the answers worth keeping.
    App identify(int32_t pid);
    // The installed application a window class (or a Wayland app id) stands
    // for, when one matches.
    std::optional<App> applicationOfClass(std::string_view windowClass);
    // The program a process runs: the file name of its executable, or, for
    // a script run by an interpreter, the script's name (the process's
    // `comm`, when that is not a prefix of the executable's name).
    std::optional<std::string> executable(int32_t pid) const;
    // Every installed application, first folder winning for an id.
    std::vector<DesktopEntry> installed();
    std::optional<DesktopEntry> entry(std::string_view id);
    // Re-reads the folders on next use (after an installation).
    void refresh();

    // Answers kept at most: past this, those of ended processes are dropped.
    static constexpr std::size_t cacheLimit = 256;
    std::size_t cachedProcesses();

  private:
    void loadLocked();
    void pruneLocked();
    App resolveLocked(int32_t pid, const std::optional<std::string>& windowClass, std::string exe);
    std::optional<std::string> readFile(const std::filesystem::path& path) const;

    std::filesystem::path proc_;
    std::optional<std::vector<std::filesystem::path>> folders_;
    std::string locale_;
    std::mutex mutex_;
    bool loaded_ = false;
    std::vector<DesktopEntry> entries_;
    struct Cached {
        App app;
        std::string exe;
    };
    std::map<std::pair<int32_t, std::string>, Cached> cache_;
};

}  // namespace dz::x11
