#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "linux/system/X11SystemServices.h"

namespace dz::x11 {
namespace {

namespace fs = std::filesystem;

TEST(Autostart, WrittenReadBackAndRemoved) {
    fs::path dir = fs::temp_directory_path() / ("dz-autostart-" + std::to_string(getpid()));
    fs::remove_all(dir);
    Autostart autostart(dir, "/opt/my apps/dozuzavuvu");
    EXPECT_FALSE(autostart.enabled());
    std::string error;
    ASSERT_TRUE(autostart.setEnabled(true, &error)) << error;
    EXPECT_TRUE(autostart.enabled());
    std::ifstream in(dir / "autostart/dev.dozuzavuvu.desktop");
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("Exec=\"/opt/my apps/dozuzavuvu\"\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "autostart/dev.dozuzavuvu.desktop.new"));
    // The desktop's own switch (Hidden=true) counts as off.
    std::ofstream(dir / "autostart/dev.dozuzavuvu.desktop", std::ios::app) << "Hidden=true\n";
    EXPECT_FALSE(autostart.enabled());
    ASSERT_TRUE(autostart.setEnabled(false, &error));
    EXPECT_FALSE(fs::exists(autostart.path()));
    // A config folder that cannot be created is reported, not claimed as done.
    std::ofstream(dir / "file") << "x";
    Autostart blocked(dir / "file", "dozuzavuvu");
    EXPECT_FALSE(blocked.setEnabled(true, &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
    EXPECT_EQ(Autostart::defaultConfigHome([](const char* n) -> const char* {
                  return std::string(n) == "HOME" ? "/home/u" : nullptr;
              }),
              "/home/u/.config");
}

TEST(DisplayDetection, X11XwaylandOrNone) {
    auto env = [](std::map<std::string, std::string> vars) {
        return [vars](const char* name) -> const char* {
            auto it = vars.find(name);
            return it == vars.end() ? nullptr : it->second.c_str();
        };
    };
    auto yes = [] { return true; };
    auto no = [] { return false; };
    EXPECT_EQ(detectDisplay(env({{"DISPLAY", ":0"}}), yes).kind, DisplayKind::x11);
    EXPECT_EQ(detectDisplay(env({{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}), yes).kind,
              DisplayKind::xwayland);
    EXPECT_EQ(detectDisplay(env({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}), yes).kind,
              DisplayKind::xwayland);
    auto none = detectDisplay(env({{"WAYLAND_DISPLAY", "wayland-0"}}), yes);
    EXPECT_EQ(none.kind, DisplayKind::none);
    EXPECT_NE(none.message.find("Wayland"), std::string::npos);
    auto dead = detectDisplay(env({{"DISPLAY", ":7"}}), no);
    EXPECT_EQ(dead.kind, DisplayKind::none);
    EXPECT_EQ(dead.message, "Dozuzavuvu cannot open the X display :7.");
    EXPECT_EQ(detectDisplay(env({}), yes).message, "Dozuzavuvu needs an X display (DISPLAY is not set).");
}

}  // namespace
}  // namespace dz::x11
