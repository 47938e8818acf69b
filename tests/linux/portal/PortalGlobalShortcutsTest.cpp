// The portal client against the stand-in portal (fake-portal.py) on a
// private session bus.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <cstdlib>

#include "app/input/KeyNames.h"
#include "linux/portal/PortalGlobalShortcuts.h"
#include "tests/linux/x11/PumpScheduler.h"

namespace dz::portal {
namespace {

using namespace std::chrono_literals;
using Shortcut = PortalGlobalShortcuts::Shortcut;

TEST(PortalGlobalShortcutsTest, StoredCombosBecomeThePortalsTriggers) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ctrl+Alt+M", "CTRL+ALT+m"},
        {"Shift+Super+F5", "SHIFT+LOGO+F5"},
        {"Ctrl+Alt+Shift+V", "CTRL+ALT+SHIFT+v"},
        {"Ctrl+Page Up", "CTRL+Page_Up"},
        {"Alt+/", "ALT+slash"},
        {"Ctrl+1", "CTRL+1"},
    };
    for (auto [text, trigger] : cases)
        EXPECT_EQ(PortalGlobalShortcuts::triggerFor(*keynames::parse(text)), trigger) << text;
    EXPECT_EQ(PortalGlobalShortcuts::triggerFor(KeyCombo{999, KeyCombo::control, "?"}), std::nullopt);
}

// Another client on the session bus: the test's view of the stand-in portal.
class PortalControl {
  public:
    PortalControl() { sd_bus_open_user(&bus_); }
    ~PortalControl() { sd_bus_flush_close_unref(bus_); }
    std::vector<std::tuple<std::string, std::string, std::string>> bound() {
        std::vector<std::tuple<std::string, std::string, std::string>> out;
        sd_bus_message* reply = nullptr;
        if (callTest("Bound", &reply, "") >= 0 && sd_bus_message_enter_container(reply, 'a', "(sss)") > 0) {
            const char *id, *description, *trigger;
            while (sd_bus_message_read(reply, "(sss)", &id, &description, &trigger) > 0)
                out.emplace_back(id, description, trigger);
        }
        sd_bus_message_unref(reply);
        return out;
    }
    std::string session() {
        std::string out;
        sd_bus_message* reply = nullptr;
        const char* path = nullptr;
        if (callTest("Sessions", &reply, "") >= 0 && sd_bus_message_enter_container(reply, 'a', "o") > 0 &&
            sd_bus_message_read(reply, "o", &path) > 0)
            out = path;
        sd_bus_message_unref(reply);
        return out;
    }
    uint32_t configured() {
        uint32_t n = 0;
        sd_bus_message* reply = nullptr;
        if (callTest("Configured", &reply, "") >= 0)
            sd_bus_message_read(reply, "u", &n);
        sd_bus_message_unref(reply);
        return n;
    }
    void press(const char* id) { callTest("Press", nullptr, "so", id, "/"); }
    void rebind(const char* id, const char* trigger) { callTest("Rebind", nullptr, "ss", id, trigger); }
    // What any client may do: a signal that looks like the portal's own.
    void spoofActivated(const std::string& session, const char* id) {
        sd_bus_emit_signal(bus_, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.GlobalShortcuts",
                           "Activated", "osta{sv}", session.c_str(), id, uint64_t(0), 0);
        sd_bus_flush(bus_);
    }

  private:
    template <typename... Args>
    int callTest(const char* method, sd_bus_message** reply, const char* types, Args... args) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        int r = sd_bus_call_method(bus_, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                   "dev.dozuzavuvu.Test", method, &error, reply, types, args...);
        sd_bus_error_free(&error);
        return r;
    }
    sd_bus* bus_ = nullptr;
};

TEST(PortalGlobalShortcutsTest, BindsActsOnActivatedFollowsTheDesktopsTriggersAndIgnoresOthers) {
    x11::test::PumpScheduler scheduler;
    std::vector<std::string> activated;
    PortalGlobalShortcuts::Triggers triggers;
    std::string error;
    auto portal = PortalGlobalShortcuts::open(
        scheduler, [&](const std::string& id) { activated.push_back(id); },
        [&](const PortalGlobalShortcuts::Triggers& t) { triggers = t; }, &error);
    ASSERT_TRUE(portal) << error;
    EXPECT_TRUE(portal->canConfigure());

    portal->bind({Shortcut{"pasteMarkdown", "Paste as Markdown", "CTRL+ALT+m"},
                  Shortcut{"copyOriginal", "Copy Keeping Formatting", std::nullopt}});
    ASSERT_TRUE(scheduler.pumpUntil([&] { return !triggers.empty(); }));
    EXPECT_EQ(triggers, (PortalGlobalShortcuts::Triggers{{"pasteMarkdown", "Ctrl+Alt+M"}}));
    PortalControl control;
    using Bound = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(control.bound(), (std::vector<Bound>{{"pasteMarkdown", "Paste as Markdown", "CTRL+ALT+m"},
                                                   {"copyOriginal", "Copy Keeping Formatting", ""}}));

    control.press("copyOriginal");
    ASSERT_TRUE(scheduler.pumpUntil([&] { return !activated.empty(); }));
    EXPECT_EQ(activated, std::vector<std::string>{"copyOriginal"});

    // Another client's look-alike signal, even with our session, acts for nobody.
    control.spoofActivated(control.session(), "pasteMarkdown");
    scheduler.pump(300ms);
    EXPECT_EQ(activated.size(), 1u);

    control.rebind("copyOriginal", "CTRL+SHIFT+k");
    ASSERT_TRUE(scheduler.pumpUntil([&] { return triggers.size() == 2; }));
    EXPECT_EQ(triggers["copyOriginal"], "Ctrl+Shift+K");

    // The same list is not bound again; the desktop's settings open on request.
    portal->bind({Shortcut{"pasteMarkdown", "Paste as Markdown", "CTRL+ALT+m"},
                  Shortcut{"copyOriginal", "Copy Keeping Formatting", std::nullopt}});
    portal->configure();
    ASSERT_TRUE(scheduler.pumpUntil([&] { return control.configured() == 1; }));
    EXPECT_EQ(std::get<2>(control.bound()[1]), "CTRL+SHIFT+k") << "not overwritten by a second bind";
}

TEST(PortalGlobalShortcutsTest, NoPortalNoShortcuts) {
    x11::test::PumpScheduler scheduler;
    const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    std::string address = saved ? saved : "";
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    std::string error;
    auto portal = PortalGlobalShortcuts::open(scheduler, nullptr, nullptr, &error);
    if (saved)
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    EXPECT_FALSE(portal);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace dz::portal
