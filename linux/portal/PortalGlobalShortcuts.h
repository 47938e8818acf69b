#pragma once
// Global shortcuts through the desktop portal (org.freedesktop.portal.
// GlobalShortcuts), for Wayland sessions where no program may grab keys: one
// session, our actions bound with their descriptions, presses reported by
// the desktop. The desktop decides the actual keys; ours are only preferred.
// Its own bus connection and thread; nothing here blocks the caller.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <systemd/sd-bus.h>

#include "app/input/KeyCombo.h"
#include "app/platform/Scheduler.h"

namespace dz::portal {

class PortalGlobalShortcuts {
  public:
    struct Shortcut {
        std::string id;
        std::string description;
        std::optional<std::string> preferredTrigger;  // in the portal's form, "CTRL+ALT+m"
        bool operator==(const Shortcut&) const = default;
    };
    // The keys the desktop shows for each bound shortcut, by id.
    using Triggers = std::map<std::string, std::string>;
    using ActivatedHandler = std::function<void(const std::string& id)>;
    using TriggersHandler = std::function<void(const Triggers&)>;

    // Nothing (with the reason) when the session bus has no portal offering
    // global shortcuts. The handlers run on the scheduler's thread.
    static std::unique_ptr<PortalGlobalShortcuts> open(Scheduler& scheduler, ActivatedHandler activated,
                                                       TriggersHandler triggersChanged,
                                                       std::string* error = nullptr);
    ~PortalGlobalShortcuts();
    PortalGlobalShortcuts(const PortalGlobalShortcuts&) = delete;
    PortalGlobalShortcuts& operator=(const PortalGlobalShortcuts&) = delete;

    // Binds these shortcuts (the session is created on first use); a list
    // equal to the last one is not sent again.
    void bind(std::vector<Shortcut> shortcuts);
    // Whether the portal can open the desktop's own settings for our
    // shortcuts (interface version 2 and later), and asking it to.
    bool canConfigure() const { return version_ >= 2; }
    void configure();

    // A stored combination in the portal's trigger form: the modifiers
    // CTRL, ALT, SHIFT, LOGO, then the key's name ("CTRL+ALT+m", "SHIFT+F5").
    static std::optional<std::string> triggerFor(const KeyCombo& combo);

  private:
    struct Alive {
        std::atomic<bool> alive{true};
    };
    PortalGlobalShortcuts(Scheduler& scheduler, ActivatedHandler activated, TriggersHandler triggersChanged);
    bool setUp(std::string* error);
    void run();
    void post(std::function<void()> task);
    // On the bus thread.
    std::string nextToken();
    std::string requestPath(const std::string& token) const;
    bool call(const char* method, const std::function<int(sd_bus_message*)>& append);
    void createSession();
    void sendBind();
    void onResponse(const std::string& path, uint32_t response, sd_bus_message* results);
    void reportTriggers(sd_bus_message* shortcuts);
    static int onSignal(sd_bus_message* m, void* self, sd_bus_error* error);

    Scheduler& scheduler_;
    ActivatedHandler activated_;
    TriggersHandler triggersChanged_;
    std::shared_ptr<Alive> alive_ = std::make_shared<Alive>();
    sd_bus* bus_ = nullptr;
    sd_bus_slot* slot_ = nullptr;
    uint32_t version_ = 0;
    int wakeFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;

    // Bus thread.
    std::string sender_;  // our unique name as used in request paths
    uint64_t tokens_ = 0;
    enum class Session { none, creating, open, failed };
    Session session_ = Session::none;
    std::string sessionHandle_;
    std::map<std::string, std::function<void(uint32_t, sd_bus_message*)>> requests_;
    std::optional<std::vector<Shortcut>> wanted_;  // to bind once the session is open
    std::optional<std::vector<Shortcut>> bound_;
};

}  // namespace dz::portal
