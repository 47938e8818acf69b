#include <gtest/gtest.h>

#include "app/input/KeyNames.h"
#include "linux/input/KeySyms.h"

namespace dz::x11 {
namespace {

TEST(KeySyms, EveryStoredKeyMapsToAKeysymAndBack) {
    int mapped = 0;
    for (uint32_t code = 0; code < 128; ++code) {
        if (!keynames::name(code))
            continue;
        auto sym = keysymForKeyCode(code);
        ASSERT_TRUE(sym) << *keynames::name(code);
        EXPECT_EQ(keyCodeForKeysym(*sym), code) << *keynames::name(code);
        ++mapped;
    }
    EXPECT_EQ(mapped, 73);                      // 47 characters and the 26 named keys
    EXPECT_EQ(keysymForKeyCode(9), 0x76u);      // V: the lower-case keysym
    EXPECT_EQ(keysymForKeyCode(116), 0xff55u);  // Page Up: Prior
    EXPECT_EQ(keysymForKeyCode(114), 0xff63u);  // Insert, the primary selection's paste key
    EXPECT_EQ(keyCodeForKeysym(0x56), 9u);      // upper-case V records as V
    EXPECT_EQ(keyCodeForKeysym(0xff8d), 36u);   // keypad Enter records as Return
    EXPECT_FALSE(keyCodeForKeysym(0xffe9));     // Alt alone is no key
    EXPECT_FALSE(keysymForKeyCode(10));         // a code outside the table
    EXPECT_EQ(modifierKind(0xffe9), ModifierKind::alt);
    EXPECT_EQ(modifierKind(0xfe03), ModifierKind::ignored);  // AltGr types characters
    EXPECT_EQ(modifierKind(0x61), ModifierKind::none);
}

}  // namespace
}  // namespace dz::x11
