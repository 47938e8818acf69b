#include <set>

#include <gtest/gtest.h>

#include "app/input/KeyNames.h"
#include "app/settings/SettingsData.h"

using namespace dz;

namespace {

// Every key code the table knows, for the round-trip checks.
std::vector<uint32_t> tableCodes() {
    std::vector<uint32_t> codes;
    for (uint32_t code = 0; code < 256; ++code)
        if (keynames::name(code))
            codes.push_back(code);
    return codes;
}

}  // namespace

TEST(KeyNamesTest, TableMapsBothWays) {
    auto codes = tableCodes();
    EXPECT_EQ(codes.size(), 73u);
    std::set<std::string_view> names;
    for (uint32_t code : codes) {
        auto name = keynames::name(code);
        EXPECT_TRUE(names.insert(*name).second) << *name;
        EXPECT_EQ(keynames::keyCode(*name), code) << *name;
    }
    EXPECT_EQ(keynames::name(10), std::nullopt);  // no key of a US layout
    EXPECT_EQ(keynames::name(22), "6");
    EXPECT_EQ(keynames::name(23), "5");
    EXPECT_EQ(keynames::name(50), "`");
    EXPECT_EQ(keynames::name(42), "\\");
    EXPECT_EQ(keynames::name(116), "Page Up");
    EXPECT_EQ(keynames::name(114), "Insert");  // the primary selection's paste key
    EXPECT_EQ(keynames::keyCode("v"), 9u);
    EXPECT_EQ(keynames::keyCode("PAGE DOWN"), 121u);
    EXPECT_EQ(keynames::keyCode("PageDown"), 121u);
    EXPECT_EQ(keynames::keyCode("Enter"), 36u);
    EXPECT_EQ(keynames::keyCode(""), std::nullopt);
    EXPECT_EQ(keynames::keyCode("F13"), std::nullopt);
    EXPECT_EQ(keynames::keyCode("\u21A9"), std::nullopt);  // stored symbols are not names
}

TEST(KeyNamesTest, DisplayTextFromCodeAndMask) {
    EXPECT_EQ(keynames::displayText({9, 0x1800, "\u2303\u2325V"}), "Ctrl+Alt+V");
    EXPECT_EQ(keynames::displayText({96, 0x300, "\u21E7\u2318F5"}), "Shift+Super+F5");
    EXPECT_EQ(keynames::displayText({40, 0x1B00, "whatever"}), "Ctrl+Alt+Shift+Super+K");
    EXPECT_EQ(keynames::displayText({36, 0x1000, "\u2303\u21A9"}), "Ctrl+Return");
    EXPECT_EQ(keynames::displayText({116, 0x800, "\u2325\u21DE"}), "Alt+Page Up");
    // The display text is not trusted for known codes: code and mask decide.
    EXPECT_EQ(keynames::displayText({46, 0x1800, "\u2303\u2325V"}), "Ctrl+Alt+M");
    // Codes outside the table keep the recorded key text.
    EXPECT_EQ(keynames::displayText({10, 0x1000, "\u2303\u00A7"}), "Ctrl+\u00A7");
    EXPECT_EQ(keynames::displayText({200, 0x100, "\u2318?"}), "Super+?");
    EXPECT_EQ(keynames::displayText({200, 0x100, "\u2318"}), "Super+?");
    EXPECT_EQ(keynames::displayText({200, 0x4000, ""}), "?");

    const auto& defaults = SettingsData::defaultShortcuts();
    EXPECT_EQ(keynames::displayText(defaults.at("pasteOriginal")), "Ctrl+Alt+V");
    EXPECT_EQ(keynames::displayText(defaults.at("pasteMarkdown")), "Ctrl+Alt+M");
}

TEST(KeyNamesTest, ParseGivesTheStoredForm) {
    EXPECT_EQ(keynames::parse("Ctrl+Alt+V"), (KeyCombo{9, 0x1800, "\u2303\u2325V"}));
    EXPECT_EQ(keynames::parse("alt + ctrl + page up"), (KeyCombo{116, 0x1800, "\u2303\u2325\u21DE"}));
    EXPECT_EQ(keynames::parse("Ctrl+Shift+Space"), (KeyCombo{49, 0x1200, "\u2303\u21E7Space"}));
    EXPECT_EQ(keynames::parse("Super+Shift+F5"), (KeyCombo{96, 0x300, "\u21E7\u2318F5"}));
    EXPECT_EQ(keynames::parse("Control+Option+Command+;"), (KeyCombo{41, 0x1900, "\u2303\u2325\u2318;"}));
    EXPECT_EQ(keynames::parse("Ctrl+-"), (KeyCombo{27, 0x1000, "\u2303-"}));
    EXPECT_EQ(keynames::parse("Tab"), (KeyCombo{48, 0, "\u21E5"}));

    for (const char* bad : {"", "+", "Ctrl+", "Ctrl+Ctrl+V", "Hyper+V", "Ctrl+Alt+VV", "Ctrl+F13", "V+Ctrl",
                            "Ctrl++", "Ctrl+\u21A9"})
        EXPECT_EQ(keynames::parse(bad), std::nullopt) << bad;

    // What the user reads parses back to the same stored combo.
    for (uint32_t code : tableCodes())
        for (uint32_t mask : {0x1800u, 0x0300u, 0x1B00u, 0x0800u}) {
            auto stored = keynames::combo(code, mask);
            ASSERT_TRUE(stored);
            EXPECT_EQ(keynames::parse(keynames::displayText(*stored)), stored) << code << " " << mask;
        }
}

TEST(KeyNamesTest, StoredFormMatchesARecordedKey) {
    // A recording and a parsed name of the same key store the same combo.
    auto recorded = KeyCombo::fromEvent(KeyEvent{124, {.control = true, .shift = true}, std::nullopt});
    EXPECT_EQ(keynames::combo(124, 0x1200), recorded);
    auto letter = KeyCombo::fromEvent(KeyEvent{40, {.command = true}, "k"});
    EXPECT_EQ(keynames::combo(40, 0x100), letter);
    // Bits outside the four modifiers are dropped.
    EXPECT_EQ(keynames::combo(9, 0x1800 | 0x4000 | 0x1), (KeyCombo{9, 0x1800, "\u2303\u2325V"}));
    EXPECT_EQ(keynames::combo(10, 0x1800), std::nullopt);
}
