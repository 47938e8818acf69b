#include "linux/system/X11SystemServices.h"

#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace dz::x11 {

namespace fs = std::filesystem;

Autostart::Autostart(fs::path configHome, std::string exec)
    : configHome_(std::move(configHome)), exec_(std::move(exec)) {}

fs::path Autostart::defaultConfigHome(const std::function<const char*(const char*)>& getenv) {
    if (const char* v = getenv("XDG_CONFIG_HOME"); v && *v == '/')
        return v;
    const char* home = getenv("HOME");
    return fs::path(home && *home ? home : "/") / ".config";
}

std::string Autostart::programCommand() {
    std::error_code ec;
    const std::string exe = fs::read_symlink("/proc/self/exe", ec).string();
    if (ec || exe == "/usr/bin/dozuzavuvu" || exe == "/usr/local/bin/dozuzavuvu")
        return "dozuzavuvu";
    return exe;
}

std::string Autostart::entryText(const std::string& exec) {
    // Exec quoting: a path with spaces or specials goes in double quotes.
    std::string quoted = exec;
    if (exec.find_first_of(" \t\"'\\$`") != std::string::npos) {
        quoted = "\"";
        for (char c : exec) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    }
    return "[Desktop Entry]\nType=Application\nName=Dozuzavuvu\nComment=Cleans what you copy\nExec=" +
           quoted + "\nIcon=dev.dozuzavuvu\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

bool Autostart::enabled() const {
    std::ifstream in(path());
    if (!in)
        return false;
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == '[')
            inEntry = line == "[Desktop Entry]";
        else if (inEntry && (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

bool Autostart::setEnabled(bool on, std::string* error) {
    std::error_code ec;
    if (!on) {
        fs::remove(path(), ec);
        if (ec && error)
            *error = "could not remove " + path().string() + ": " + ec.message();
        return !ec;
    }
    fs::create_directories(path().parent_path(), ec);
    if (ec) {
        if (error)
            *error = "could not create " + path().parent_path().string() + ": " + ec.message();
        return false;
    }
    fs::path temp = path();
    temp += ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << entryText(exec_);
        out.flush();
        if (!out) {
            if (error)
                *error = "could not write " + temp.string();
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, path(), ec);
    if (ec) {
        if (error)
            *error = "could not write " + path().string() + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

DisplayStatus detectDisplay(const std::function<const char*(const char*)>& getenv,
                            const std::function<bool()>& canConnect) {
    auto set = [&](const char* name) {
        const char* v = getenv(name);
        return v && *v;
    };
    const char* sessionType = getenv("XDG_SESSION_TYPE");
    bool wayland = set("WAYLAND_DISPLAY") || (sessionType && std::strcmp(sessionType, "wayland") == 0);
    if (!set("DISPLAY") || !canConnect()) {
        if (wayland)
            return {DisplayKind::none,
                    "Dozuzavuvu needs an X display; this Wayland session offers none (start Xwayland or log "
                    "in to an X11 session)."};
        return {DisplayKind::none, set("DISPLAY") ? std::string("Dozuzavuvu cannot open the X display ") +
                                                        getenv("DISPLAY") + "."
                                                  : "Dozuzavuvu needs an X display (DISPLAY is not set)."};
    }
    // What Xwayland lets us see depends on the compositor: the backend choice says.
    if (wayland)
        return {DisplayKind::xwayland, {}};
    return {DisplayKind::x11, {}};
}

bool sendNotification(const std::string& summary, const std::string& body) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0)
        return false;
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error err = SD_BUS_ERROR_NULL;
    bool ok = false;
    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications",
                                       "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                       "Notify") >= 0 &&
        sd_bus_message_append(call, "susss", "Dozuzavuvu", 0u, "dev.dozuzavuvu", summary.c_str(),
                              body.c_str()) >= 0 &&
        sd_bus_message_append(call, "as", 0) >= 0 && sd_bus_message_append(call, "a{sv}", 0) >= 0 &&
        sd_bus_message_append(call, "i", int32_t(-1)) >= 0) {
        ok = sd_bus_call(bus, call, 500'000, &err, &reply) >= 0;
    }
    sd_bus_error_free(&err);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_flush_close_unref(bus);
    return ok;
}

X11SystemServices::X11SystemServices(std::unique_ptr<XcbConnection> connection, Autostart autostart)
    : conn_(std::move(connection)), autostart_(std::move(autostart)) {}

X11SystemServices::~X11SystemServices() = default;

void X11SystemServices::beep() {
    if (!conn_)
        return;
    xcb_bell(conn_->get(), 0);
    xcb_flush(conn_->get());
}

void X11SystemServices::notify(const std::string& text) {
    // Off the main thread: a missing notification service costs a time-out.
    std::thread([text] {
        if (!sendNotification("Dozuzavuvu", text))
            std::fprintf(stderr, "Dozuzavuvu: %s\n", text.c_str());
    }).detach();
}

bool X11SystemServices::openAddress(const std::string& address) {
    pid_t pid = 0;
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(address.c_str()), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0)
        return false;
    // Reap it without waiting here.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace dz::x11
