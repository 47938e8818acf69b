#include "linux/portal/PortalGlobalShortcuts.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

#include "app/input/KeyNames.h"

namespace dz::portal {

namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr uint64_t callTimeoutUsec = 2'000'000;

// Owns an sd-bus message and error for the length of one call.
struct Reply {
    sd_bus_message* m = nullptr;
    sd_bus_error e = SD_BUS_ERROR_NULL;
    ~Reply() {
        sd_bus_message_unref(m);
        sd_bus_error_free(&e);
    }
};

// Calls `each(key)` for every entry of an a{sv} the message is at; `each`
// reads the variant's contents and gives true, or gives false to skip them.
int readDictionary(sd_bus_message* m, const std::function<bool(const std::string&)>& each) {
    int r = sd_bus_message_enter_container(m, 'a', "{sv}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char* key = nullptr;
        if ((r = sd_bus_message_read(m, "s", &key)) < 0)
            return r;
        if (!each(key) && (r = sd_bus_message_skip(m, "v")) < 0)
            return r;
        if ((r = sd_bus_message_exit_container(m)) < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(m);
}

// A string held in a variant as "s" or "o".
std::optional<std::string> readStringVariant(sd_bus_message* m) {
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, nullptr, &contents) < 0 || !contents)
        return std::nullopt;
    const char type = contents[0];
    if ((type != 's' && type != 'o') || contents[1])
        return std::nullopt;
    const char* value = nullptr;
    const char signature[2] = {type, 0};
    if (sd_bus_message_enter_container(m, 'v', signature) < 0 ||
        sd_bus_message_read_basic(m, type, &value) < 0 || sd_bus_message_exit_container(m) < 0)
        return std::nullopt;
    return std::string(value ? value : "");
}

}  // namespace

std::optional<std::string> PortalGlobalShortcuts::triggerFor(const KeyCombo& combo) {
    auto name = keynames::name(combo.keyCode);
    if (!name)
        return std::nullopt;
    std::string trigger;
    if (combo.carbonModifiers & KeyCombo::control)
        trigger += "CTRL+";
    if (combo.carbonModifiers & KeyCombo::option)
        trigger += "ALT+";
    if (combo.carbonModifiers & KeyCombo::shift)
        trigger += "SHIFT+";
    if (combo.carbonModifiers & KeyCombo::command)
        trigger += "LOGO+";
    // Keys by their keysym names: letters lower-case, named keys as X names them.
    static const std::map<std::string_view, std::string_view> keysyms{
        {"Return", "Return"},
        {"Tab", "Tab"},
        {"Space", "space"},
        {"Backspace", "BackSpace"},
        {"Delete", "Delete"},
        {"Left", "Left"},
        {"Right", "Right"},
        {"Up", "Up"},
        {"Down", "Down"},
        {"Home", "Home"},
        {"End", "End"},
        {"Page Up", "Page_Up"},
        {"Page Down", "Page_Down"},
        {"Insert", "Insert"},
        {"=", "equal"},
        {"-", "minus"},
        {"[", "bracketleft"},
        {"]", "bracketright"},
        {"'", "apostrophe"},
        {";", "semicolon"},
        {"\\", "backslash"},
        {",", "comma"},
        {"/", "slash"},
        {".", "period"},
        {"`", "grave"},
    };
    if (auto it = keysyms.find(*name); it != keysyms.end())
        return trigger + std::string(it->second);
    if (name->size() == 1 && (*name)[0] >= 'A' && (*name)[0] <= 'Z')
        return trigger + char((*name)[0] - 'A' + 'a');
    return trigger + std::string(*name);  // digits and F1–F12
}

std::unique_ptr<PortalGlobalShortcuts> PortalGlobalShortcuts::open(Scheduler& scheduler,
                                                                   ActivatedHandler activated,
                                                                   TriggersHandler triggersChanged,
                                                                   std::string* error) {
    std::unique_ptr<PortalGlobalShortcuts> portal(
        new PortalGlobalShortcuts(scheduler, std::move(activated), std::move(triggersChanged)));
    if (!portal->setUp(error))
        return nullptr;
    return portal;
}

PortalGlobalShortcuts::PortalGlobalShortcuts(Scheduler& scheduler, ActivatedHandler activated,
                                             TriggersHandler triggersChanged)
    : scheduler_(scheduler), activated_(std::move(activated)), triggersChanged_(std::move(triggersChanged)) {}

PortalGlobalShortcuts::~PortalGlobalShortcuts() {
    alive_->alive = false;
    stopping_ = true;
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
        thread_.join();
    }
    if (slot_)
        sd_bus_slot_unref(slot_);
    if (bus_)
        sd_bus_flush_close_unref(bus_);
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool PortalGlobalShortcuts::setUp(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (sd_bus_open_user(&bus_) < 0)
        return fail("no session bus");
    sd_bus_set_method_call_timeout(bus_, callTimeoutUsec);
    Reply owner;
    const char* portalOwner = nullptr;
    // The portal may be started by the bus on this first call.
    Reply version;
    if (sd_bus_get_property_trivial(bus_, portalName, portalPath, shortcutsInterface, "version", &version.e,
                                    'u', &version_) < 0)
        return fail("the desktop portal offers no global shortcuts");
    if (sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "GetNameOwner", &owner.e, &owner.m, "s", portalName) < 0 ||
        sd_bus_message_read(owner.m, "s", &portalOwner) < 0 || !portalOwner)
        return fail("the desktop portal has no owner");
    const char* unique = nullptr;
    if (sd_bus_get_unique_name(bus_, &unique) < 0 || !unique)
        return fail("no name on the session bus");
    // ":1.42" appears in request paths as "1_42".
    sender_ = unique[0] == ':' ? unique + 1 : unique;
    for (char& c : sender_)
        if (c == '.')
            c = '_';
    // Only the portal's own signals count: any client may send one that looks alike.
    const std::string match =
        std::string("type='signal',sender='") + portalOwner + "',path_namespace='" + portalPath + "'";
    if (sd_bus_add_match(bus_, &slot_, match.c_str(), &PortalGlobalShortcuts::onSignal, this) < 0)
        return fail("cannot listen to the desktop portal");
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return fail("no event descriptor");
    thread_ = std::thread([this] { run(); });
    return true;
}

void PortalGlobalShortcuts::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void PortalGlobalShortcuts::run() {
    while (!stopping_) {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(mutex_);
            tasks.swap(tasks_);
        }
        for (auto& task : tasks) task();
        int r;
        while ((r = sd_bus_process(bus_, nullptr)) > 0) {
        }
        if (r < 0)
            return;  // the bus went away: no more shortcuts this run
        uint64_t timeout = 0;
        int ms = -1;
        if (sd_bus_get_timeout(bus_, &timeout) >= 0 && timeout != UINT64_MAX) {
            struct timespec now {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const uint64_t nowUsec = uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1000;
            ms = timeout > nowUsec ? int((timeout - nowUsec + 999) / 1000) : 0;
        }
        pollfd fds[2] = {{sd_bus_get_fd(bus_), short(sd_bus_get_events(bus_)), 0}, {wakeFd_, POLLIN, 0}};
        if (poll(fds, 2, ms) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = read(wakeFd_, &count, sizeof count);
        }
    }
}

std::string PortalGlobalShortcuts::nextToken() {
    return "dozuzavuvu" + std::to_string(++tokens_);
}

std::string PortalGlobalShortcuts::requestPath(const std::string& token) const {
    return std::string(portalPath) + "/request/" + sender_ + "/" + token;
}

bool PortalGlobalShortcuts::call(const char* method, const std::function<int(sd_bus_message*)>& append) {
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(bus_, &m, portalName, portalPath, shortcutsInterface, method) < 0)
        return false;
    Reply reply;
    const bool ok = append(m) >= 0 && sd_bus_call(bus_, m, callTimeoutUsec, &reply.e, &reply.m) >= 0;
    sd_bus_message_unref(m);
    return ok;
}

void PortalGlobalShortcuts::bind(std::vector<Shortcut> shortcuts) {
    post([this, shortcuts = std::move(shortcuts)]() mutable {
        if (bound_ && *bound_ == shortcuts)
            return;
        wanted_ = std::move(shortcuts);
        if (session_ == Session::none)
            createSession();
        else if (session_ == Session::open)
            sendBind();
    });
}

void PortalGlobalShortcuts::configure() {
    post([this] {
        if (session_ != Session::open || version_ < 2)
            return;
        call("ConfigureShortcuts", [&](sd_bus_message* m) {
            return sd_bus_message_append(m, "osa{sv}", sessionHandle_.c_str(), "", 0);
        });
    });
}

void PortalGlobalShortcuts::createSession() {
    session_ = Session::creating;
    const std::string token = nextToken();
    const std::string sessionToken = nextToken();
    requests_[requestPath(token)] = [this](uint32_t response, sd_bus_message* results) {
        std::optional<std::string> handle;
        if (response == 0)
            readDictionary(results, [&](const std::string& key) {
                if (key != "session_handle")
                    return false;
                handle = readStringVariant(results);
                return handle.has_value();
            });
        if (!handle) {
            session_ = Session::failed;
            return;
        }
        sessionHandle_ = *handle;
        session_ = Session::open;
        if (wanted_)
            sendBind();
    };
    const bool sent = call("CreateSession", [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "a{sv}", 2, "handle_token", "s", token.c_str(),
                                     "session_handle_token", "s", sessionToken.c_str());
    });
    if (!sent) {
        requests_.erase(requestPath(token));
        session_ = Session::failed;
    }
}

void PortalGlobalShortcuts::sendBind() {
    if (!wanted_)
        return;
    std::vector<Shortcut> shortcuts = std::move(*wanted_);
    wanted_.reset();
    const std::string token = nextToken();
    requests_[requestPath(token)] = [this](uint32_t response, sd_bus_message* results) {
        if (response != 0)
            return;  // the user declined, or the desktop refused: no shortcuts
        readDictionary(results, [&](const std::string& key) {
            if (key != "shortcuts")
                return false;
            if (sd_bus_message_enter_container(results, 'v', "a(sa{sv})") < 0)
                return false;
            reportTriggers(results);
            sd_bus_message_exit_container(results);
            return true;
        });
    };
    const bool sent = call("BindShortcuts", [&](sd_bus_message* m) {
        int r = sd_bus_message_append(m, "o", sessionHandle_.c_str());
        if (r >= 0)
            r = sd_bus_message_open_container(m, 'a', "(sa{sv})");
        for (const Shortcut& s : shortcuts) {
            if (r >= 0)
                r = sd_bus_message_open_container(m, 'r', "sa{sv}");
            if (r >= 0)
                r = s.preferredTrigger
                        ? sd_bus_message_append(m, "sa{sv}", s.id.c_str(), 2, "description", "s",
                                                s.description.c_str(), "preferred_trigger", "s",
                                                s.preferredTrigger->c_str())
                        : sd_bus_message_append(m, "sa{sv}", s.id.c_str(), 1, "description", "s",
                                                s.description.c_str());
            if (r >= 0)
                r = sd_bus_message_close_container(m);
        }
        if (r >= 0)
            r = sd_bus_message_close_container(m);
        if (r >= 0)
            r = sd_bus_message_append(m, "sa{sv}", "", 1, "handle_token", "s", token.c_str());
        return r;
    });
    if (sent)
        bound_ = std::move(shortcuts);
    else
        requests_.erase(requestPath(token));
}

void PortalGlobalShortcuts::reportTriggers(sd_bus_message* m) {
    Triggers triggers;
    if (sd_bus_message_enter_container(m, 'a', "(sa{sv})") < 0)
        return;
    while (sd_bus_message_enter_container(m, 'r', "sa{sv}") > 0) {
        const char* id = nullptr;
        if (sd_bus_message_read(m, "s", &id) < 0)
            return;
        std::optional<std::string> trigger;
        readDictionary(m, [&](const std::string& key) {
            if (key != "trigger_description")
                return false;
            trigger = readStringVariant(m);
            return trigger.has_value();
        });
        if (id && trigger && !trigger->empty())
            triggers[id] = *trigger;
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    scheduler_.post([this, alive = alive_, triggers = std::move(triggers)] {
        if (alive->alive && triggersChanged_)
            triggersChanged_(triggers);
    });
}

int PortalGlobalShortcuts::onSignal(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<PortalGlobalShortcuts*>(userdata);
    const char* member = sd_bus_message_get_member(m);
    const char* path = sd_bus_message_get_path(m);
    if (!member || !path)
        return 0;
    if (sd_bus_message_is_signal(m, "org.freedesktop.portal.Request", "Response")) {
        auto it = self->requests_.find(path);
        if (it == self->requests_.end())
            return 0;
        auto handler = std::move(it->second);
        self->requests_.erase(it);
        uint32_t response = 2;
        if (sd_bus_message_read(m, "u", &response) < 0)
            return 0;
        handler(response, m);
        return 0;
    }
    if (self->session_ != Session::open)
        return 0;
    if (sd_bus_message_is_signal(m, shortcutsInterface, "Activated")) {
        const char* session = nullptr;
        const char* id = nullptr;
        if (sd_bus_message_read(m, "os", &session, &id) < 0 || !session || !id ||
            self->sessionHandle_ != session)
            return 0;
        self->scheduler_.post([self, alive = self->alive_, id = std::string(id)] {
            if (alive->alive && self->activated_)
                self->activated_(id);
        });
        return 0;
    }
    if (sd_bus_message_is_signal(m, shortcutsInterface, "ShortcutsChanged")) {
        const char* session = nullptr;
        if (sd_bus_message_read(m, "o", &session) < 0 || !session || self->sessionHandle_ != session)
            return 0;
        self->reportTriggers(m);
    }
    return 0;
}

}  // namespace dz::portal
