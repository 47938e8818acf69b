#include "app/input/HotKeyCenter.h"

#include <gtest/gtest.h>

#include "app/platform/fakes/FakeInput.h"

namespace dz {
namespace {

TEST(HotKeyCenterTest, SuspensionAndFreshIdentifiers) {
    fake::FakeHotKeyService service;
    HotKeyCenter center(service);
    std::vector<std::string> ran;
    KeyCombo v{9, KeyCombo::control | KeyCombo::option, "\u2303\u2325V"};
    KeyCombo m{46, KeyCombo::control | KeyCombo::option, "\u2303\u2325M"};
    service.taken.insert({46, KeyCombo::control | KeyCombo::option});

    auto failed = center.setHotKeys({{v, [&] { ran.push_back("v"); }}, {m, [&] { ran.push_back("m"); }}});
    EXPECT_EQ(failed, std::vector<KeyCombo>{m});
    EXPECT_TRUE(center.isRegistered(1));
    EXPECT_FALSE(center.isRegistered(2));
    EXPECT_TRUE(service.press(9, v.carbonModifiers));
    EXPECT_FALSE(service.press(46, m.carbonModifiers));

    // Recording a shortcut: nothing live, and a press already on its way is ignored.
    center.isSuspended = true;
    center.unregisterAll();
    EXPECT_TRUE(service.registered.empty());
    center.pressed(1);
    EXPECT_TRUE(center.setHotKeys({{m, [&] { ran.push_back("m2"); }}}).empty())
        << "nothing registers while suspended";
    EXPECT_TRUE(service.registered.empty());
    center.isSuspended = false;
    service.taken.clear();
    EXPECT_TRUE(center.registerAll().empty());
    EXPECT_TRUE(service.press(46, m.carbonModifiers));
    EXPECT_EQ(ran, (std::vector<std::string>{"v", "m2"}));
    EXPECT_EQ(center.combos().begin()->first, 1u) << "identifiers restart at 1";
}

}  // namespace
}  // namespace dz
