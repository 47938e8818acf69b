// Stored key codes to virtual-keyboard strokes across keyboard layouts, from
// tests/fixtures/linux/keymap-strokes.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "app/input/KeyCombo.h"
#include "app/input/KeyNames.h"
#include "linux/wayland/KeymapKeys.h"

namespace dz::wayland {
namespace {

// XKB numbers the eight real modifiers first, in this order, in every keymap.
const std::map<std::string, uint32_t> realModifiers{
    {"Shift", 1u << 0}, {"Control", 1u << 2}, {"Mod1", 1u << 3}, {"Mod4", 1u << 6}, {"Mod5", 1u << 7}};

KeymapKeys::Names layout(const std::string& name) {
    KeymapKeys::Names names;
    names.layout = name;
    return names;
}

uint32_t parseMask(const std::string& text, const std::map<std::string, uint32_t>& names) {
    uint32_t mask = 0;
    if (text == "-")
        return mask;
    std::stringstream parts(text);
    std::string part;
    while (std::getline(parts, part, '+')) {
        auto it = names.find(part);
        EXPECT_NE(it, names.end()) << "unknown modifier " << part;
        if (it != names.end())
            mask |= it->second;
    }
    return mask;
}

TEST(KeymapKeys, TypesEachStoredKeyAsTheLayoutHasIt) {
    std::ifstream file(DZ_FIXTURES_DIR "/linux/keymap-strokes.txt");
    ASSERT_TRUE(file) << "fixture missing";
    const std::map<std::string, uint32_t> comboModifiers{{"control", KeyCombo::control},
                                                         {"shift", KeyCombo::shift},
                                                         {"option", KeyCombo::option},
                                                         {"command", KeyCombo::command}};
    std::map<std::string, std::unique_ptr<KeymapKeys>> keymaps;
    int cases = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        std::string name, key, modifiers, evdev, held;
        in >> name >> key >> modifiers >> evdev >> held;
        SCOPED_TRACE(line);
        auto& keys = keymaps[name];
        if (!keys) {
            std::string error;
            keys = KeymapKeys::forTyping(layout(name), &error);
            ASSERT_TRUE(keys) << error;
        }
        std::optional<uint32_t> code = key.rfind("code:", 0) == 0
                                           ? std::optional<uint32_t>(std::stoul(key.substr(5)))
                                           : keynames::keyCode(key);
        ASSERT_TRUE(code) << "no stored key named " << key;
        const auto stroke = keys->stroke(*code, parseMask(modifiers, comboModifiers));
        if (evdev == "none") {
            EXPECT_FALSE(stroke) << "typed as " << stroke->key;
        } else {
            ASSERT_TRUE(stroke);
            EXPECT_EQ(stroke->key, std::stoul(evdev));
            EXPECT_EQ(stroke->depressed, parseMask(held, realModifiers));
        }
        ++cases;
    }
    EXPECT_GE(cases, 15);
}

TEST(KeymapKeys, ALayoutWithoutLatinLettersFallsBackToUSAndTheKeymapTextIsWhatWasCompiled) {
    auto russian = KeymapKeys::forTyping(layout("ru"));
    ASSERT_TRUE(russian);
    EXPECT_EQ(russian->layoutName(), "English (US)");
    auto german = KeymapKeys::forTyping(layout("de"));
    ASSERT_TRUE(german);
    EXPECT_EQ(german->layoutName(), "German");
    // The compositor compiles this text again: it must hold the layout's keys.
    EXPECT_NE(german->text().find("xkb_keymap"), std::string::npos);
    EXPECT_NE(german->text().find("xkb_symbols"), std::string::npos);
}

TEST(KeymapKeys, AnUnknownLayoutFallsBackToUS) {
    std::string error;
    auto keys = KeymapKeys::forTyping(layout("no-such-layout"), &error);
    ASSERT_TRUE(keys) << error;
    EXPECT_EQ(keys->layoutName(), "English (US)");
}

}  // namespace
}  // namespace dz::wayland
