#include <gtest/gtest.h>

#include "app/input/KeyCombo.h"
#include "app/input/KeyboardSimulator.h"
#include "app/platform/fakes/FakeInput.h"

namespace dz {
namespace {

using Style = KeyboardSimulator::KeyStyle;

struct Case {
    const char* id;
    const char* executable;  // nullptr: not known
    Style style;
};

// Desktop ids differ between distributions; the executable decides then.
TEST(KeyboardSimulatorTest, TerminalsAreKnownByIdOrExecutable) {
    const Case cases[] = {
        {"debian-xterm", "xterm", Style::selectionTerminal},
        {"debian-uxterm", nullptr, Style::selectionTerminal},
        {"pid-4242", "xterm", Style::selectionTerminal},
        {"rxvt-unicode", "urxvt", Style::selectionTerminal},
        {"org.gnome.Terminal", "gnome-terminal-server", Style::terminal},
        {"some-vendor-terminal", "gnome-terminal-server", Style::terminal},
        {"com.example.Kitty", "kitty", Style::terminal},
        {"terminator", "terminator", Style::terminal},
        {"org.kde.konsole", nullptr, Style::terminal},
        {"st", nullptr, Style::terminal},
        {"firefox-esr", "firefox-esr", Style::ordinary},
        {"org.gnome.TextEditor", "gnome-text-editor", Style::ordinary},
        {"xterm-lookalike", "xterminal", Style::ordinary},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> executable =
            c.executable ? std::optional<std::string>(c.executable) : std::nullopt;
        EXPECT_EQ(
            KeyboardSimulator::keyStyle(Workspace::RunningApplication{c.id, std::nullopt, 1, executable}),
            c.style)
            << c.id;
    }
    EXPECT_EQ(KeyboardSimulator::keyStyle(std::nullopt), Style::ordinary);
}

TEST(KeyboardSimulatorTest, EachStyleGetsItsOwnKeysAndXtermNoCopyKey) {
    fake::FakeKeystrokeSender sender;
    KeyboardSimulator keyboard(sender);
    keyboard.pressPaste(Style::ordinary);
    keyboard.pressPaste(Style::terminal);
    keyboard.pressPaste(Style::selectionTerminal);
    EXPECT_TRUE(keyboard.pressCopy(Style::ordinary));
    EXPECT_TRUE(keyboard.pressCopy(Style::terminal));
    EXPECT_FALSE(keyboard.pressCopy(Style::selectionTerminal)) << "Ctrl+Shift+C would send ^C there";
    using Press = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(sender.pressed,
              (std::vector<Press>{{KeyboardSimulator::keyV, KeyCombo::control},
                                  {KeyboardSimulator::keyV, KeyCombo::control | KeyCombo::shift},
                                  {KeyboardSimulator::keyInsert, KeyCombo::shift},
                                  {KeyboardSimulator::keyC, KeyCombo::control},
                                  {KeyboardSimulator::keyC, KeyCombo::control | KeyCombo::shift}}));
}

}  // namespace
}  // namespace dz
