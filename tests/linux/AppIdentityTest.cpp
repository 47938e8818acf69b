#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "linux/workspace/AppIdentity.h"

namespace dz::x11 {
namespace {

const std::string fixtures = DZ_FIXTURES_DIR "/linux";

TEST(AppIdentity, ScopeAndFlatpakNames) {
    struct {
        const char* cgroup;
        std::optional<std::string> id;
    } cases[] = {
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
         "app-gnome-org.gnome.Terminal-4521.scope\n",
         "org.gnome.Terminal"},
        {"0::/user.slice/user@1000.service/app.slice/app-firefox\\x2desr-99.scope\n", "firefox-esr"},
        {"0::/user.slice/user@1000.service/app.slice/app-kde-org.kde.okular@a1b2c3.service\n",
         "org.kde.okular"},
        {"0::/user.slice/user@1000.service/app.slice/app-org.gnome.Evince.service\n", "org.gnome.Evince"},
        {"0::/user.slice/user@1000.service/app.slice/app-flatpak-com.example.App-7.scope/sub\n",
         "com.example.App"},
        {"0::/user.slice/user-1000.slice/session-2.scope\n", std::nullopt},
        {"12:pids:/\n0::/init.scope\n", std::nullopt},
        {"garbage", std::nullopt},
    };
    for (auto& c : cases) EXPECT_EQ(cgroupAppID(c.cgroup), c.id) << c.cgroup;
    EXPECT_EQ(flatpakAppID("[Application]\nname=org.gnome.Evince\n[Instance]\nname=other\n"),
              "org.gnome.Evince");
    EXPECT_FALSE(flatpakAppID("[Instance]\nname=x\n"));
}

TEST(AppIdentity, DesktopEntriesAndMatching) {
    auto e = parseDesktopEntry(
        "[Desktop Entry]\nType=Application\nName=Files\nName[de_DE]=Dateien\nName[de]=D\n"
        "Exec=\"/opt/my app/run\" --x\n",
        "de_DE.UTF-8");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "Dateien");
    EXPECT_EQ(e->genericName, "Files");
    EXPECT_EQ(execProgram(*e->exec), "run");
    EXPECT_EQ(parseDesktopEntry("[Desktop Entry]\nType=Application\nName=Files\nName[de]=D\n", "de_AT")->name,
              "D");
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Link\nName=x\n", ""));
    EXPECT_EQ(execProgram("env A=1 B=2 okular %U"), "okular");
    EXPECT_FALSE(execProgram(""));

    AppIdentity identity(
        fixtures + "/proc",
        std::vector<std::filesystem::path>{fixtures + "/apps/local", fixtures + "/apps/applications"},
        "de_DE.UTF-8");
    auto installed = identity.installed();
    // The earlier folder's firefox-esr wins; links are not applications; sub-folders give prefixed ids.
    EXPECT_EQ(identity.entry("firefox-esr")->name, "My Firefox");
    EXPECT_FALSE(identity.entry("a-link"));
    EXPECT_TRUE(identity.entry("kde-org.kde.okular"));
    // One process, two applications: the window class decides.
    EXPECT_EQ(matchDesktopEntry(installed, "libreoffice-calc", "soffice.bin")->id, "libreoffice-calc");
    EXPECT_EQ(matchDesktopEntry(installed, "LibreOffice-Writer", std::nullopt)->id, "libreoffice-writer");
    EXPECT_EQ(matchDesktopEntry(installed, std::nullopt, "helper")->id, "hidden-helper");
    EXPECT_EQ(matchDesktopEntry(installed, std::nullopt, "nothing"), nullptr);
}

TEST(AppIdentity, ProcessesInOrderOfEvidence) {
    AppIdentity identity(fixtures + "/proc",
                         std::vector<std::filesystem::path>{fixtures + "/apps/applications"}, "C");
    EXPECT_EQ(identity.application(100), (AppIdentity::App{"org.gnome.Evince", std::nullopt}));  // Flatpak
    EXPECT_EQ(identity.application(200), (AppIdentity::App{"firefox-esr", "Firefox ESR"}));      // scope
    EXPECT_EQ(identity.application(300), (AppIdentity::App{"kde-org.kde.okular", "Okular"}));    // Exec
    EXPECT_EQ(identity.application(400), (AppIdentity::App{"mystery", std::nullopt}));           // executable
    EXPECT_EQ(identity.application(400, "libreoffice-calc").id, "libreoffice-calc");  // window class
    EXPECT_EQ(identity.application(999).id, "pid-999");
}

// What a process runs, for telling terminals apart whatever their desktop id:
// a script by its own name, a long name in full.
TEST(AppIdentity, ExecutablesOfProgramsAndScripts) {
    AppIdentity identity(fixtures + "/proc", std::vector<std::filesystem::path>{}, "C");
    EXPECT_EQ(identity.executable(300), "okular");
    EXPECT_EQ(identity.executable(500), "terminator") << "a Python script: not its interpreter";
    EXPECT_EQ(identity.executable(600), "gnome-terminal-server") << "not the 15-byte comm";
    EXPECT_EQ(identity.executable(999), std::nullopt);
}

TEST(AppIdentity, ForgetsProcessesThatEnded) {
    // Short-lived processes, one after another, as command-line tools copy:
    // each has ended (no folder under proc) by the time the next one comes.
    auto proc = std::filesystem::temp_directory_path() / ("dz-proc-" + std::to_string(::getpid()));
    std::filesystem::create_directories(proc / "1");
    AppIdentity identity(proc, std::vector<std::filesystem::path>{}, "C");
    identity.application(1);  // one that keeps running
    for (int pid = 2; pid < 2 + 3 * int(AppIdentity::cacheLimit); ++pid) {
        EXPECT_EQ(identity.application(pid).id, "pid-" + std::to_string(pid));
        ASSERT_LE(identity.cachedProcesses(), AppIdentity::cacheLimit);
    }
    EXPECT_EQ(identity.application(1).id, "pid-1");
    std::filesystem::remove_all(proc);
}

}  // namespace
}  // namespace dz::x11
