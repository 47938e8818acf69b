#include <gtest/gtest.h>

#include "app/platform/fakes/FakeWorkspace.h"
#include "app/rules/KnownApps.h"

using namespace dz;

TEST(KnownAppsTest, IdentifiersMatchExactly) {
    EXPECT_TRUE(KnownApps::pdfViewers().contains("org.gnome.Evince"));
    EXPECT_FALSE(KnownApps::pdfViewers().contains("org.gnome.evince"));
    EXPECT_TRUE(KnownApps::isMarkdownApp("abnerworks.Typora"));
    EXPECT_FALSE(KnownApps::isMarkdownApp("abnerworks.typora"));
    EXPECT_FALSE(KnownApps::isMarkdownApp("abnerworks"));
}

TEST(KnownAppsTest, WithoutWorkspace) {
    EXPECT_TRUE(KnownApps::installedMarkdownApps(nullptr).empty());
    EXPECT_EQ(KnownApps::appName("com.example.App", nullptr), "com.example.App");
}

TEST(KnownAppsTest, InstalledMarkdownAppsKeepTableOrder) {
    fake::FakeWorkspace workspace;
    workspace.locations["net.cozic.joplin-desktop"] = "/opt/joplin";
    workspace.locations["md.obsidian"] = "/opt/obsidian";
    workspace.locations["org.other"] = "/opt/other";
    auto apps = KnownApps::installedMarkdownApps(&workspace);
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].name, "Obsidian");
    EXPECT_EQ(apps[1].name, "Joplin");
}

TEST(KnownAppsTest, AppNameFallbacks) {
    fake::FakeWorkspace workspace;
    workspace.running.push_back({"com.running", "Running App", std::nullopt});
    workspace.running.push_back({"com.nameless", std::nullopt, std::nullopt});
    workspace.locations["com.running"] = "/apps/Running.app";
    workspace.locations["com.nameless"] = "/apps/Nameless.app";
    workspace.locations["com.display"] = "/apps/Display.app";
    workspace.locations["com.bundle"] = "/apps/Bundle.app";
    workspace.locations["com.file"] = "/apps/File Name.app";
    workspace.locations["com.unreadable"] = "/apps/Unreadable.app";
    workspace.infos["/apps/Nameless.app"] = {std::nullopt, "Nameless Bundle"};
    workspace.infos["/apps/Display.app"] = {"Display Name", "Bundle Name"};
    workspace.infos["/apps/Bundle.app"] = {std::nullopt, "Bundle Name"};
    workspace.infos["/apps/File Name.app"] = {};

    EXPECT_EQ(KnownApps::appName("com.running", &workspace), "Running App");
    EXPECT_EQ(KnownApps::appName("com.nameless", &workspace), "Nameless Bundle");
    EXPECT_EQ(KnownApps::appName("com.display", &workspace), "Display Name");
    EXPECT_EQ(KnownApps::appName("com.bundle", &workspace), "Bundle Name");
    EXPECT_EQ(KnownApps::appName("com.file", &workspace), "File Name");
    EXPECT_EQ(KnownApps::appName("com.unreadable", &workspace), "com.unreadable");
    EXPECT_EQ(KnownApps::appName("com.unknown", &workspace), "com.unknown");
}
