#include "linux/workspace/AppIdentity.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace dz::x11 {

namespace fs = std::filesystem;

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

// Calls `f(key, value)` for each entry of one group of an ini-style file.
template <class F>
void forEachInGroup(std::string_view text, std::string_view group, F f) {
    bool inGroup = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string_view line = trim(text.substr(pos, nl == std::string_view::npos ? text.npos : nl - pos));
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line.size() == group.size() + 2 && line.back() == ']' &&
                      line.substr(1, group.size()) == group;
            continue;
        }
        if (!inGroup)
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        f(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
}

// The desktop-entry value escapes (\s \n \t \r \\).
std::string unescapeValue(std::string_view v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            char n = v[++i];
            out.push_back(n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n);
        } else {
            out.push_back(v[i]);
        }
    }
    return out;
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string_view locale) {
    // Locale keys from most to least specific: lang_COUNTRY@MODIFIER,
    // lang_COUNTRY, lang@MODIFIER, lang.
    std::string loc(locale.substr(0, locale.find('.')));
    std::string modifier;
    if (auto at = locale.find('@'); at != std::string_view::npos) {
        modifier = std::string(locale.substr(at));
        loc = std::string(locale.substr(0, std::min(locale.find('.'), at)));
    }
    std::string lang = loc.substr(0, loc.find('_'));
    std::vector<std::string> keys;
    if (!loc.empty() && loc != "C" && loc != "POSIX") {
        if (!modifier.empty())
            keys.push_back(loc + modifier);
        keys.push_back(loc);
        if (!modifier.empty())
            keys.push_back(lang + modifier);
        if (lang != loc)
            keys.push_back(lang);
    }

    DesktopEntry e;
    bool found = false, application = false;
    size_t bestRank = keys.size() + 1;
    forEachInGroup(text, "Desktop Entry", [&](std::string_view key, std::string_view value) {
        found = true;
        if (key == "Type")
            application = value == "Application";
        else if (key == "Name") {
            e.genericName = unescapeValue(value);
            if (bestRank > keys.size()) {
                e.name = e.genericName;
                bestRank = keys.size();
            }
        } else if (key.starts_with("Name[") && key.ends_with("]")) {
            std::string_view l = key.substr(5, key.size() - 6);
            for (size_t r = 0; r < keys.size(); ++r)
                if (keys[r] == l && r < bestRank) {
                    e.name = unescapeValue(value);
                    bestRank = r;
                }
        } else if (key == "Exec")
            e.exec = unescapeValue(value);
        else if (key == "StartupWMClass")
            e.startupWMClass = std::string(value);
        else if (key == "Icon")
            e.icon = std::string(value);
        else if ((key == "Hidden" || key == "NoDisplay") && value == "true")
            e.hidden = true;
    });
    if (!found || !application)
        return std::nullopt;
    return e;
}

std::optional<std::string> flatpakAppID(std::string_view info) {
    std::optional<std::string> id;
    forEachInGroup(info, "Application", [&](std::string_view key, std::string_view value) {
        if (key == "name" && !value.empty())
            id = std::string(value);
    });
    return id;
}

std::optional<std::string> cgroupAppID(std::string_view cgroup) {
    static const std::set<std::string, std::less<>> launchers{
        "gnome",  "kde",  "flatpak", "xfce", "xfce4", "mate", "cinnamon", "lxqt",
        "budgie", "dbus", "systemd", "snap", "sway",  "i3",   "openbox"};
    // The last line's last path component is the innermost unit.
    std::optional<std::string> out;
    size_t pos = 0;
    while (pos < cgroup.size()) {
        size_t nl = cgroup.find('\n', pos);
        std::string_view line = cgroup.substr(pos, nl == std::string_view::npos ? cgroup.npos : nl - pos);
        pos = nl == std::string_view::npos ? cgroup.size() : nl + 1;
        size_t slash = line.rfind('/');
        if (slash == std::string_view::npos)
            continue;
        // Walk the path from the leaf up: the app unit may sit above a sub-cgroup.
        std::string_view path = line.substr(line.find(':', line.find(':') + 1) + 1);
        while (!path.empty()) {
            size_t s = path.rfind('/');
            std::string_view unit = path.substr(s == std::string_view::npos ? 0 : s + 1);
            path = s == std::string_view::npos ? std::string_view() : path.substr(0, s);
            std::string_view name = unit;
            bool scope = name.ends_with(".scope"), service = name.ends_with(".service");
            if (!name.starts_with("app-") || !(scope || service))
                continue;
            name.remove_prefix(4);
            name.remove_suffix(scope ? 6 : 8);
            if (auto at = name.find('@'); at != std::string_view::npos)
                name = name.substr(0, at);
            else if (scope) {
                size_t dash = name.rfind('-');
                if (dash == std::string_view::npos)
                    continue;
                name = name.substr(0, dash);
            }
            if (auto dash = name.find('-');
                dash != std::string_view::npos && launchers.count(name.substr(0, dash)))
                name.remove_prefix(dash + 1);
            // Unit names escape '-' and other bytes as \xNN.
            std::string id;
            for (size_t i = 0; i < name.size(); ++i) {
                if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                    id.push_back(char(std::strtol(std::string(name.substr(i + 2, 2)).c_str(), nullptr, 16)));
                    i += 3;
                } else {
                    id.push_back(name[i]);
                }
            }
            if (!id.empty())
                out = id;
            break;
        }
    }
    return out;
}

std::optional<std::string> execProgram(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == '\\' && quoted && i + 1 < exec.size()) {
            word.push_back(exec[++i]);
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (any || !word.empty())
                words.push_back(std::move(word));
            word.clear();
            any = false;
        } else {
            word.push_back(c);
        }
    }
    if (any || !word.empty())
        words.push_back(word);
    size_t i = 0;
    if (i < words.size() && fs::path(words[i]).filename() == "env") {
        ++i;
        while (i < words.size() && (words[i].find('=') != std::string::npos || words[i].starts_with("-")))
            ++i;
    }
    if (i >= words.size() || words[i].empty())
        return std::nullopt;
    return fs::path(words[i]).filename().string();
}

const DesktopEntry* matchDesktopEntry(const std::vector<DesktopEntry>& entries,
                                      std::optional<std::string_view> windowClass,
                                      std::optional<std::string_view> executable) {
    if (windowClass && !windowClass->empty()) {
        std::string wc = lower(*windowClass);
        for (const auto& e : entries)
            if (e.startupWMClass && lower(*e.startupWMClass) == wc)
                return &e;
        for (const auto& e : entries)
            if (lower(e.id) == wc)
                return &e;
    }
    if (executable && !executable->empty()) {
        const DesktopEntry* hidden = nullptr;
        for (const auto& e : entries) {
            if (!e.exec)
                continue;
            if (auto program = execProgram(*e.exec); program && *program == *executable) {
                if (!e.hidden)
                    return &e;
                if (!hidden)
                    hidden = &e;
            }
        }
        return hidden;
    }
    return nullptr;
}

std::vector<fs::path> applicationFolders(const std::function<const char*(const char*)>& getenv) {
    std::vector<fs::path> out;
    const char* dataHome = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    if (dataHome && *dataHome)
        out.push_back(fs::path(dataHome) / "applications");
    else if (home && *home)
        out.push_back(fs::path(home) / ".local/share/applications");
    const char* dirs = getenv("XDG_DATA_DIRS");
    std::string_view list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t colon = list.find(':', pos);
        std::string_view dir = list.substr(pos, colon == std::string_view::npos ? list.npos : colon - pos);
        if (!dir.empty())
            out.push_back(fs::path(dir) / "applications");
        if (colon == std::string_view::npos)
            break;
        pos = colon + 1;
    }
    return out;
}

AppIdentity::AppIdentity(fs::path procRoot, std::optional<std::vector<fs::path>> folders, std::string locale)
    : proc_(std::move(procRoot)), folders_(std::move(folders)), locale_(std::move(locale)) {
    if (locale_.empty()) {
        for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"})
            if (const char* v = std::getenv(var); v && *v) {
                locale_ = v;
                break;
            }
    }
}

std::optional<std::string> AppIdentity::readFile(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data;
    char buf[8192];
    // Files here are small; refuse anything absurd rather than read it whole.
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        data.append(buf, size_t(in.gcount()));
        if (data.size() > (1 << 20))
            return std::nullopt;
    }
    return data;
}

void AppIdentity::loadLocked() {
    if (loaded_)
        return;
    loaded_ = true;
    entries_.clear();
    std::set<std::string> seen;
    auto folders = folders_ ? *folders_ : applicationFolders([](const char* n) { return std::getenv(n); });
    for (const auto& folder : folders) {
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const auto& p = it->path();
            if (p.extension() != ".desktop")
                continue;
            std::string rel = fs::relative(p, folder, ec).string();
            if (ec)
                continue;
            std::replace(rel.begin(), rel.end(), '/', '-');
            std::string id = rel.substr(0, rel.size() - 8);
            if (!seen.insert(id).second)
                continue;  // an earlier folder overrides this one
            auto text = readFile(p);
            if (!text)
                continue;
            if (auto entry = parseDesktopEntry(*text, locale_)) {
                entry->id = id;
                entry->path = p.string();
                entries_.push_back(std::move(*entry));
            }
        }
    }
}

std::vector<DesktopEntry> AppIdentity::installed() {
    std::lock_guard lock(mutex_);
    loadLocked();
    return entries_;
}

std::optional<DesktopEntry> AppIdentity::entry(std::string_view id) {
    std::lock_guard lock(mutex_);
    loadLocked();
    for (const auto& e : entries_)
        if (e.id == id)
            return e;
    return std::nullopt;
}

void AppIdentity::refresh() {
    std::lock_guard lock(mutex_);
    loaded_ = false;
    cache_.clear();
}

std::size_t AppIdentity::cachedProcesses() {
    std::lock_guard lock(mutex_);
    return cache_.size();
}

// Every process that ever copied leaves an answer behind; most are short-lived
// (command-line tools), so the cache would otherwise grow for as long as we run.
void AppIdentity::pruneLocked() {
    std::error_code ec;
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (fs::exists(proc_ / std::to_string(it->first.first), ec))
            ++it;
        else
            it = cache_.erase(it);
    }
    if (cache_.size() >= cacheLimit)
        cache_.clear();
}

AppIdentity::App AppIdentity::application(int32_t pid, std::optional<std::string> windowClass) {
    if (pid == int32_t(getpid()) && proc_ == "/proc")
        return {std::string(ownID), std::string("Dozuzavuvu")};
    std::lock_guard lock(mutex_);
    auto key = std::make_pair(pid, windowClass.value_or(""));
    std::error_code ec;
    std::string exe = fs::read_symlink(proc_ / std::to_string(pid) / "exe", ec).filename().string();
    // A process id can be reused: the cached answer holds for the same executable only.
    if (auto it = cache_.find(key); it != cache_.end() && it->second.exe == exe)
        return it->second.app;
    App app = resolveLocked(pid, windowClass, exe);
    if (cache_.size() >= cacheLimit)
        pruneLocked();
    cache_[key] = {app, exe};
    return app;
}

AppIdentity::App AppIdentity::identify(int32_t pid) {
    if (pid == int32_t(getpid()) && proc_ == "/proc")
        return {std::string(ownID), std::string("Dozuzavuvu")};
    std::lock_guard lock(mutex_);
    std::error_code ec;
    std::string exe = fs::read_symlink(proc_ / std::to_string(pid) / "exe", ec).filename().string();
    return resolveLocked(pid, std::nullopt, exe);
}

std::optional<AppIdentity::App> AppIdentity::applicationOfClass(std::string_view windowClass) {
    std::lock_guard lock(mutex_);
    loadLocked();
    if (auto* e = matchDesktopEntry(entries_, windowClass, std::nullopt))
        return App{e->id, e->name};
    return std::nullopt;
}

AppIdentity::App AppIdentity::resolveLocked(int32_t pid, const std::optional<std::string>& windowClass,
                                            std::string exe) {
    fs::path dir = proc_ / std::to_string(pid);
    loadLocked();
    auto named = [&](std::string id) {
        App app{std::move(id), std::nullopt};
        for (const auto& e : entries_)
            if (e.id == app.id)
                app.name = e.name;
        return app;
    };
    std::optional<App> app;
    if (windowClass)
        if (auto* e = matchDesktopEntry(entries_, *windowClass, std::nullopt))
            app = App{e->id, e->name};
    if (!app)
        if (auto info = readFile(dir / "root/.flatpak-info"))
            if (auto id = flatpakAppID(*info))
                app = named(*id);
    if (!app)
        if (auto cgroup = readFile(dir / "cgroup"))
            if (auto id = cgroupAppID(*cgroup))
                app = named(*id);
    if (!app && exe.empty()) {
        // A process of another user or a kernel thread: its name at least.
        if (auto comm = readFile(dir / "comm")) {
            std::string name(trim(*comm));
            if (!name.empty() && name.back() == '\n')
                name.pop_back();
            exe = std::string(trim(name));
        }
    }
    if (!app && !exe.empty()) {
        if (auto* e = matchDesktopEntry(entries_, std::nullopt, exe))
            app = App{e->id, e->name};
        else
            app = named(exe);
    }
    if (!app)
        app = App{"pid-" + std::to_string(pid), std::nullopt};
    return *app;
}

std::optional<std::string> AppIdentity::executable(int32_t pid) const {
    const fs::path dir = proc_ / std::to_string(pid);
    std::error_code ec;
    std::string exe = fs::read_symlink(dir / "exe", ec).filename().string();
    std::string comm;
    if (auto text = readFile(dir / "comm")) {
        comm = std::string(trim(*text));
        if (!comm.empty() && comm.back() == '\n')
            comm.pop_back();
    }
    // `comm` is the name cut to 15 bytes; a script's is its own name, not
    // its interpreter's.
    if (!comm.empty() && (exe.empty() || !exe.starts_with(comm)))
        return comm;
    if (exe.empty())
        return std::nullopt;
    return exe;
}

}  // namespace dz::x11
