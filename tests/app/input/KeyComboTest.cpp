#include <unordered_set>

#include <gtest/gtest.h>

#include "app/input/KeyCombo.h"
#include "app/input/ShortcutAction.h"
#include "app/settings/MenuBarIcon.h"

using namespace dz;
using nlohmann::json;

namespace {

KeyEvent event(uint32_t keyCode, KeyEvent::Modifiers modifiers, std::optional<std::string> characters) {
    return KeyEvent{keyCode, modifiers, std::move(characters)};
}

}  // namespace

TEST(KeyComboTest, FromEvent) {
    auto controlOptionV = KeyCombo::fromEvent(event(9, {.control = true, .option = true}, "v"));
    ASSERT_TRUE(controlOptionV);
    EXPECT_EQ(*controlOptionV, (KeyCombo{9, 0x1800, "\u2303\u2325V"}));

    auto commandShiftF5 = KeyCombo::fromEvent(event(96, {.shift = true, .command = true}, "\uF708"));
    ASSERT_TRUE(commandShiftF5);
    EXPECT_EQ(*commandShiftF5, (KeyCombo{96, 0x300, "\u21E7\u2318F5"}));

    // Symbols always in the order control, option, shift, command.
    auto all = KeyCombo::fromEvent(event(40, {true, true, true, true}, "k"));
    EXPECT_EQ(all->display, "\u2303\u2325\u21E7\u2318K");
    EXPECT_EQ(all->carbonModifiers, 0x1B00u);

    EXPECT_FALSE(KeyCombo::fromEvent(event(49, {.shift = true}, " ")));
    EXPECT_FALSE(KeyCombo::fromEvent(event(0, {}, "a")));
    EXPECT_EQ(KeyCombo::fromEvent(event(49, {.control = true, .shift = true}, " "))->display,
              "\u2303\u21E7Space");
    EXPECT_EQ(KeyCombo::fromEvent(event(40, {.command = true}, "k"))->display, "\u2318K");
    EXPECT_EQ(KeyCombo::fromEvent(event(200, {.command = true}, std::nullopt))->display, "\u2318?");
    EXPECT_EQ(KeyCombo::fromEvent(event(200, {.command = true}, ""))->display, "\u2318?");
    EXPECT_EQ(KeyCombo::fromEvent(event(12, {.option = true}, "\u00DF"))->display, "\u2325SS");
}

TEST(KeyComboTest, KeyNameTable) {
    int named = 0;
    for (uint32_t code = 0; code < 256; ++code) named += KeyCombo::keyName(code).has_value();
    EXPECT_EQ(named, 25);
    EXPECT_EQ(KeyCombo::keyName(36), "\u21A9");
    EXPECT_EQ(KeyCombo::keyName(111), "F12");
    EXPECT_EQ(KeyCombo::keyName(121), "\u21DF");
}

TEST(KeyComboTest, JSONFormIsStrict) {
    KeyCombo combo{46, 0x1800, "\u2303\u2325M"};
    EXPECT_EQ(combo.toJSON().dump(), R"({"keyCode":46,"carbonModifiers":6144,"display":"⌃⌥M"})");
    EXPECT_EQ(KeyCombo::fromJSON(json::parse(combo.toJSON().dump())), combo);
    EXPECT_EQ(
        KeyCombo::fromJSON(json{{"keyCode", 46.0}, {"carbonModifiers", 6144}, {"display", "x"}})->keyCode,
        46u);

    std::string error;
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", 46}, {"carbonModifiers", 6144}}, &error));
    EXPECT_NE(error.find("display"), std::string::npos);
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", "46"}, {"carbonModifiers", 6144}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", -1}, {"carbonModifiers", 6144}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", 4294967296}, {"carbonModifiers", 0}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", 4.5}, {"carbonModifiers", 0}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", 1e300}, {"carbonModifiers", 0}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json{{"keyCode", 1}, {"carbonModifiers", nullptr}, {"display", "x"}}));
    EXPECT_FALSE(KeyCombo::fromJSON(json::array()));
}

TEST(KeyComboTest, HashingFollowsEquality) {
    std::unordered_set<KeyCombo> set{{9, 0x1800, "a"}, {9, 0x1800, "a"}, {9, 0x1800, "b"}, {9, 0x100, "a"}};
    EXPECT_EQ(set.size(), 3u);
}

TEST(ShortcutActionTest, RawValuesTitlesAndOrder) {
    using namespace shortcutaction;
    ASSERT_EQ(allCases.size(), 10u);
    for (ShortcutAction action : allCases) EXPECT_EQ(fromRaw(rawValue(action)), action);
    EXPECT_EQ(rawValue(allCases[7]), "pauseFiveMinutes");
    EXPECT_EQ(fromRaw("PasteOriginal"), std::nullopt);
    EXPECT_EQ(title(ShortcutAction::cycleFormat),
              "Cycle default format (Plain \u2192 Links \u2192 Markdown)");
    EXPECT_EQ(subtitle(ShortcutAction::pastePDFFixed), "For PDFs in apps Dozuzavuvu doesn\u2019t recognize.");
    EXPECT_EQ(subtitle(ShortcutAction::copyAndClean), std::nullopt);
    // Added last, so the identifiers of the older actions stay as they were.
    EXPECT_EQ(allCases.back(), ShortcutAction::copyOriginal);
    EXPECT_EQ(rawValue(ShortcutAction::copyOriginal), "copyOriginal");
    EXPECT_EQ(title(ShortcutAction::copyOriginal), "Copy Keeping Formatting");
}

TEST(MenuBarIconTest, RawValuesAndTitles) {
    using namespace menubaricon;
    ASSERT_EQ(allCases.size(), 6u);
    EXPECT_EQ(allCases.front(), MenuBarIcon::hammer);
    for (MenuBarIcon icon : allCases) EXPECT_EQ(fromRaw(rawValue(icon)), icon);
    EXPECT_EQ(fromRaw("Hammer"), std::nullopt);
    EXPECT_EQ(title(MenuBarIcon::wand), "Wand");
}
