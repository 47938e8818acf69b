#include <gtest/gtest.h>

#include <QActionGroup>
#include <QMenu>

#include "app/menu/StatusItemController.h"
#include "app/platform/fakes/VirtualScheduler.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "ui/TrayIcon.h"

namespace dz {
namespace {

// The menu as a reader sees it: one line per entry, submenus indented.
void describe(QMenu* menu, std::vector<std::string>& lines, const std::string& indent = "") {
    for (QAction* action : menu->actions()) {
        std::string line = indent;
        if (action->isSeparator()) {
            line += action->text().isEmpty() ? "---" : "[" + action->text().toStdString() + "]";
        } else {
            line += action->text().toStdString();
            if (!action->shortcut().isEmpty())
                line += " <" + action->shortcut().toString(QKeySequence::PortableText).toStdString() + ">";
            if (action->isCheckable())
                line += action->isChecked() ? " (checked)" : " (unchecked)";
            if (!action->isEnabled())
                line += " (disabled)";
        }
        lines.push_back(line);
        if (action->menu())
            describe(action->menu(), lines, indent + "  ");
    }
}

class TrayIconTest : public ::testing::Test {
  protected:
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    fake::VirtualScheduler scheduler;
    StatusItemState state;
    std::vector<std::string> performed;

    StatusItemController makeStatus() {
        StatusItemActions actions;
        actions.toggleAutoClean = [this] { performed.push_back("toggle"); };
        actions.pause = [this](double minutes) {
            performed.push_back("pause " + std::to_string(int(minutes)));
        };
        actions.openSettings = [this] { performed.push_back("settings"); };
        return StatusItemController(
            settings, scheduler, [this] { return state; }, actions);
    }

    std::vector<std::string> rendered(StatusItemController& status, QMenu& menu) {
        TrayIcon::render(&menu, status.buildMenu(), [&](const MenuItem& item) { status.perform(item); });
        std::vector<std::string> lines;
        describe(&menu, lines);
        return lines;
    }
};

TEST_F(TrayIconTest, MenuWithoutALastCopy) {
    auto status = makeStatus();
    QMenu menu;
    const auto lines = rendered(status, menu);
    // The shortcuts are the default ones; a switch is checkable also when off.
    const std::vector<std::string> expected{
        "Clean Automatically (checked)",
        "Pause",
        "  For 5 Minutes",
        "  For 15 Minutes",
        "  For 1 Hour",
        "---",
        "[Paste As]",
        "   Plain Text (checked)",
        "   Plain Text with Links (unchecked)",
        "   Markdown (unchecked)",
        "---",
        "Clean Clipboard Now",
        "Restore Original Formatting <Ctrl+Alt+V>",
        "Convert Clipboard to Markdown <Ctrl+Alt+M>",
        "Fix PDF Line Breaks",
        "---",
        "Settings\u2026",
        "Quit Dozuzavuvu",
    };
    EXPECT_EQ(lines, expected);
    for (QAction* action : menu.actions()) EXPECT_FALSE(action->text().contains('\t'));

    // Choosing items runs the status item's commands.
    menu.actions()[1]->menu()->actions()[1]->trigger();
    menu.actions()[0]->trigger();
    EXPECT_EQ(performed, (std::vector<std::string>{"pause 15", "toggle"}));

    // The formats are one exclusive group: choosing one unchecks the others.
    QAction* markdown = menu.actions()[6];
    ASSERT_EQ(markdown->text(), "   Markdown");
    ASSERT_TRUE(markdown->actionGroup());
    EXPECT_TRUE(markdown->actionGroup()->isExclusive());
    EXPECT_EQ(markdown->actionGroup()->actions().size(), 3);
    markdown->trigger();
    EXPECT_TRUE(markdown->isChecked());
    EXPECT_FALSE(menu.actions()[4]->isChecked());
}

TEST_F(TrayIconTest, AShortcutQtCannotSpellStaysInTheTitle) {
    SettingsData d = settings.data();
    d.shortcuts[std::string(shortcutaction::rawValue(ShortcutAction::pasteMarkdown))] =
        KeyCombo{46, KeyCombo::command | KeyCombo::shift, "\u21E7\u2318M"};
    settings.setData(d);
    auto status = makeStatus();
    QMenu menu;
    const auto lines = rendered(status, menu);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Convert Clipboard to Markdown    Shift+Super+M"),
              lines.end())
        << ::testing::PrintToString(lines);
}

TEST_F(TrayIconTest, AMenuForAStatusNotifierHostSpellsOutHeadersAndShortcuts) {
    SettingsData d = settings.data();
    d.autoClean = false;
    settings.setData(d);
    auto status = makeStatus();
    QMenu menu;
    TrayIcon::render(
        &menu, status.buildMenu(), [&](const MenuItem& item) { status.perform(item); }, true);
    std::vector<std::string> lines;
    describe(&menu, lines);
    const std::vector<std::string> expected{
        "Clean Automatically (unchecked)",
        "---",
        "Paste As (disabled)",
        "   Plain Text (checked)",
        "   Plain Text with Links (unchecked)",
        "   Markdown (unchecked)",
        "---",
        "Clean Clipboard Now",
        "Restore Original Formatting    Ctrl+Alt+V",
        "Convert Clipboard to Markdown    Ctrl+Alt+M",
        "Fix PDF Line Breaks",
        "---",
        "Settings\u2026",
        "Quit Dozuzavuvu",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(TrayIconTest, MenuWithALastCopyOffersItsRules) {
    state.lastCopy = StatusItemState::LastCopy{
        {"firefox", "Firefox", "https://example.org/a", "Firefox \u00B7 example.org"},
        "Cleaned as Plain Text"};
    state.frontmost = StatusItemState::App{"org.gnome.TextEditor", "Text Editor"};
    auto status = makeStatus();
    QMenu menu;
    const auto lines = rendered(status, menu);
    auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("Last copy: Firefox \u00B7 example.org \u2014 Cleaned as Plain Text (disabled)"))
        << ::testing::PrintToString(lines);
    EXPECT_TRUE(has("Add Rule: Copying from \u201CFirefox\u201D"));
    EXPECT_TRUE(has("Add Rule: Copying from \u201Cexample.org\u201D"));
    EXPECT_TRUE(has("Add Rule: Pasting into \u201CText Editor\u201D"));
    EXPECT_TRUE(has("  Keep Original (unchecked)")) << ::testing::PrintToString(lines);
    EXPECT_TRUE(has("  Fix PDF Line Breaks (unchecked)"));

    // A rule chosen from the menu lands in the settings.
    for (QAction* action : menu.actions())
        if (action->text() == QString::fromUtf8("Add Rule: Pasting into \u201CText Editor\u201D"))
            action->menu()->actions()[0]->trigger();
    const auto rule = settings.ruleForApp(RuleDirection::destination, "org.gnome.TextEditor");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->format, RuleFormat::markdown);

    // Rule formats are a group too; Fix PDF is a switch of its own.
    QMenu again;
    state.pastingRulesNotice = "On this desktop these rules apply to X11 applications only.";
    const auto withRule = rendered(status, again);
    auto at = std::find(withRule.begin(), withRule.end(), "Rule: Pasting into \u201CText Editor\u201D");
    ASSERT_NE(at, withRule.end()) << ::testing::PrintToString(withRule);
    const std::vector<std::string> submenu(at + 1, at + 11);
    EXPECT_EQ(submenu, (std::vector<std::string>{
                           "  On this desktop these rules apply to X11 applications only. (disabled)",
                           "  ---", "  Markdown (checked)", "  Plain Text with Links (unchecked)",
                           "  Plain Text (unchecked)", "  Keep Original (unchecked)", "  ---",
                           "  Fix PDF Line Breaks (unchecked)", "  ---", "  Remove Rule"}));
}

}  // namespace
}  // namespace dz
