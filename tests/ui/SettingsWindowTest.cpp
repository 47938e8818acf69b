#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/input/KeyNames.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "tests/ui/FakeApplicationCatalog.h"
#include "tests/ui/FakeBrowserAccess.h"
#include "tests/ui/FakeDefaultFormatControl.h"
#include "tests/ui/FakeDisplaySession.h"
#include "tests/ui/FakeKeystrokeSupport.h"
#include "tests/ui/FakeLoginItem.h"
#include "tests/ui/FakeScriptStatus.h"
#include "tests/ui/FakeShortcutServices.h"
#include "tests/ui/FakeWordDictionary.h"
#include "ui/MenuBarIconPicker.h"
#include "ui/SettingsWindow.h"
#include "ui/ShortcutRecorder.h"
#include "ui/StateNotifier.h"
#include "ui/tabs/CleaningTab.h"
#include "ui/tabs/GeneralTab.h"
#include "ui/tabs/MarkdownPDFTab.h"
#include "ui/tabs/RulesTab.h"
#include "ui/tabs/ScriptTab.h"
#include "ui/tabs/ShortcutsTab.h"

namespace dz {
namespace {

// By the text as shown, without mnemonic marks.
template <typename T>
T* withText(QWidget* root, const QString& text) {
    for (T* w : root->findChildren<T*>())
        if (SettingsPage::withoutMnemonic(w->text()) == text)
            return w;
    ADD_FAILURE() << "no control titled " << text.toStdString();
    return nullptr;
}

// Whether a label not hidden (by itself or a parent) carries `text`.
bool showsText(QWidget* root, const QString& text) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisibleTo(root) && label->text().contains(text))
            return true;
    return false;
}

// Every service the window shares out among its tabs.
struct FakeProgram {
    FakeDefaultFormatControl defaultFormat;
    FakeLoginItem loginItem;
    FakeKeystrokeSupport keystrokes;
    FakeBrowserAccess browserAccess;
    FakeDisplaySession display;
    FakeApplicationCatalog applications;
    FakeHotKeySuspension hotKeys;
    FakeRefusedShortcuts refused;
    FakeBell bell;
    FakeScriptStatus script;
    FakeWordDictionary dictionary;
    StateNotifier notifier;

    SettingsWindow::Services services() {
        return {defaultFormat, loginItem, keystrokes, browserAccess, display,    applications,
                hotKeys,       refused,   bell,       script,        dictionary, notifier};
    }
};

class SettingsWindowTest : public ::testing::Test {
  protected:
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    StateNotifier notifier;
};

TEST_F(SettingsWindowTest, CleaningTogglesWriteTheirOwnOptionAndFollowTheStore) {
    CleaningTab tab(settings);
    struct Case {
        const char* title;
        bool CleaningOptions::*field;
    };
    const Case cases[] = {
        {"Remove invisible characters", &CleaningOptions::removeInvisibleCharacters},
        {"Normalize spaces", &CleaningOptions::normalizeSpaces},
        {"Straighten quotes", &CleaningOptions::normalizeQuotes},
        {"Normalize line breaks", &CleaningOptions::normalizeNewlines},
        {"Trim surrounding whitespace", &CleaningOptions::trimWhitespace},
        {"Remove footnote markers", &CleaningOptions::removeFootnoteReferences},
        {"Remove \u201Cmailto:\u201D from email addresses", &CleaningOptions::removeMailtoPrefix},
        {"Normalize list markers", &CleaningOptions::normalizeLists},
        {"Remove tracking parameters", &CleaningOptions::removeTrackingParameters},
        {"Unwrap redirect links", &CleaningOptions::unwrapRedirectLinks},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        QCheckBox* box = withText<QCheckBox>(&tab, QString::fromUtf8(c.title));
        ASSERT_TRUE(box);
        const CleaningOptions before = settings.data().cleaning;
        box->click();
        CleaningOptions expected = before;
        expected.*c.field = !(before.*c.field);
        EXPECT_EQ(settings.data().cleaning, expected);  // that option and no other
        // A change from elsewhere (import, reset) shows at once.
        settings.resetToDefaults();
        EXPECT_EQ(box->isChecked(), CleaningOptions::defaultValue().*c.field);
    }
    EXPECT_TRUE(showsText(&tab, "Removes [1], [a], [citation needed], [edit] from rich text"));
    EXPECT_TRUE(showsText(&tab, "+ known trackers such as utm_*, fbclid, gclid"));
}

class GeneralTabTest : public SettingsWindowTest {
  protected:
    FakeDefaultFormatControl defaultFormat;
    FakeLoginItem loginItem;
    FakeKeystrokeSupport keystrokes;
    FakeBrowserAccess browserAccess;
    FakeDisplaySession display;
    GeneralTab tab{settings, defaultFormat, loginItem, keystrokes, browserAccess, display, notifier};
};

TEST_F(GeneralTabTest, ImportOfABadFileChangesNothingAndSaysWhy) {
    QTemporaryDir dir;
    SettingsData changed = settings.data();
    changed.autoClean = false;
    changed.script = "function transform(t) { return t + '!'; }";
    settings.setData(changed);

    const QString good = dir.filePath("Dozuzavuvu Settings.json");
    tab.exportTo(good);
    EXPECT_EQ(tab.fileMessage()->text(), "Exported to Dozuzavuvu Settings.json.");

    for (const char* bytes : {"{\"autoClean\": \"yes\"}", "not json at all", "[1,2]"}) {
        SCOPED_TRACE(bytes);
        const QString bad = dir.filePath("bad.json");
        QFile file(bad);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        tab.importFrom(bad);
        EXPECT_TRUE(tab.fileMessage()->text().startsWith("\u26A0 Import failed: "));
        EXPECT_GT(tab.fileMessage()->text().size(), QString("\u26A0 Import failed: ").size());
        EXPECT_EQ(settings.data(), changed);
    }
    tab.importFrom(dir.filePath("missing.json"));
    EXPECT_TRUE(tab.fileMessage()->text().startsWith("\u26A0 Import failed: "));
    // An error reads like one: the page's own size and colour, not a caption's.
    EXPECT_EQ(tab.fileMessage()->font().pointSizeF(), tab.font().pointSizeF());
    EXPECT_NE(tab.fileMessage()->foregroundRole(), QPalette::PlaceholderText);

    settings.resetToDefaults();
    tab.importFrom(good);
    EXPECT_EQ(tab.fileMessage()->text(), "Imported Dozuzavuvu Settings.json.");
    EXPECT_EQ(settings.data(), changed);

    tab.exportTo(dir.filePath("no/such/folder/x.json"));
    EXPECT_TRUE(tab.fileMessage()->text().startsWith("\u26A0 Export failed: "));

    // A name without an extension is given ".json"; one with any is kept.
    EXPECT_EQ(GeneralTab::exportPath("/home/u/Settings"), "/home/u/Settings.json");
    EXPECT_EQ(GeneralTab::exportPath("/home/u/my.settings/Backup"), "/home/u/my.settings/Backup.json");
    EXPECT_EQ(GeneralTab::exportPath("/home/u/Settings.json"), "/home/u/Settings.json");
    EXPECT_EQ(GeneralTab::exportPath("/home/u/Settings.txt"), "/home/u/Settings.txt");
    EXPECT_EQ(GeneralTab::exportPath(""), "");
}

TEST_F(GeneralTabTest, GoesThroughTheProgramForFormatAndLoginItem) {
    QComboBox* format = tab.findChild<QComboBox*>();
    ASSERT_TRUE(format);
    ASSERT_EQ(format->count(), 3);
    EXPECT_EQ(format->itemText(2), "Markdown");
    emit format->activated(2);
    EXPECT_EQ(defaultFormat.set, std::vector{OutputFormat::markdown});

    QCheckBox* login = withText<QCheckBox>(&tab, "Launch at login");
    loginItem.failure = "the autostart folder is read-only";
    login->click();
    EXPECT_EQ(tab.loginMessage()->text(),
              "\u26A0 Couldn't change login item: the autostart folder is read-only.");
    EXPECT_FALSE(tab.loginMessage()->isHidden());
    EXPECT_FALSE(login->isChecked());  // the real state, not the wish
    loginItem.failure.reset();
    login->click();
    EXPECT_TRUE(login->isChecked());
    EXPECT_TRUE(tab.loginMessage()->text().isEmpty());
    EXPECT_TRUE(tab.loginMessage()->isHidden());

    tab.iconPicker()->button(MenuBarIcon::sparkles)->click();
    EXPECT_EQ(settings.data().menuBarIcon, MenuBarIcon::sparkles);
    EXPECT_TRUE(tab.iconPicker()->button(MenuBarIcon::sparkles)->isChecked());
    EXPECT_FALSE(tab.iconPicker()->button(MenuBarIcon::hammer)->isChecked());
    EXPECT_TRUE(showsText(&tab, "(e.g. from your application launcher)"));
}

// The Permissions lines follow the program's state each time it changes.
TEST_F(GeneralTabTest, ShowsWhatThisDesktopAllows) {
    EXPECT_TRUE(showsText(&tab, "\u2713 Available"));
    keystrokes.how = "Typed through the compositor's virtual keyboard";
    emit notifier.stateChanged();
    EXPECT_TRUE(showsText(&tab, "\u2713 Typed through the compositor's virtual keyboard"));
    EXPECT_FALSE(showsText(&tab, "No tray is shown in this session"));
    EXPECT_FALSE(showsText(&tab, "Wayland (sway)"));

    keystrokes.reason = "Not available: the X server has no XTest extension";
    display.tray = false;
    display.notice =
        "Wayland (sway): this desktop lets other programs see copies only while an X11 window is active.";
    emit notifier.stateChanged();
    EXPECT_TRUE(showsText(&tab, "\u26A0 Not available: the X server has no XTest extension"));
    EXPECT_FALSE(showsText(&tab, "\u2713 Available"));
    EXPECT_FALSE(showsText(&tab, "virtual keyboard"));
    EXPECT_TRUE(showsText(&tab, "No tray is shown in this session"));
    EXPECT_TRUE(showsText(&tab, "Wayland (sway): this desktop lets"));

    // Turning browser access on asks first; a refusal leaves the bus alone.
    QCheckBox* browser = withText<QCheckBox>(&tab, "Browser access");
    tab.confirmBrowserAccess = [] { return false; };
    browser->click();
    EXPECT_FALSE(browserAccess.accessibilityBus);
    EXPECT_FALSE(browser->isChecked());
    tab.confirmBrowserAccess = [] { return true; };
    browser->click();
    EXPECT_TRUE(browserAccess.accessibilityBus);
    EXPECT_TRUE(browser->isChecked());
    EXPECT_FALSE(browser->isEnabled());  // others may rely on the bus; we never turn it off
}

// The tap key and the Copy Keeping Formatting shortcut, as the tab explains them.
TEST_F(GeneralTabTest, KeepFormattingFollowsTheTapKeyAndTheShortcut) {
    const QString withAlt =
        "Tap and release **Alt**, then press **Ctrl+C** within 3 seconds. Or set a Copy "
        "Keeping Formatting shortcut in the Shortcuts tab.";
    EXPECT_EQ(tab.keepFormattingText()->text(), withAlt);
    EXPECT_EQ(tab.tapKeyCaption()->text(),
              "Firefox and other applications with menu bars open their menu on a "
              "lone Alt; the copy after it may not happen.");

    emit tab.tapKeyPicker()->activated(2);
    EXPECT_EQ(settings.data().tapKey, TapKey::rightControl);
    EXPECT_EQ(tab.tapKeyCaption()->text(), "Some programs use Right Ctrl as their host key.");
    emit tab.tapKeyPicker()->activated(1);
    EXPECT_EQ(tab.tapKeyCaption()->text(), "Input methods (fcitx5, ibus) may switch mode on a lone Shift.");
    EXPECT_TRUE(tab.keepFormattingText()->text().startsWith("Tap and release **Shift**"));

    SettingsData d = settings.data();
    d.shortcuts["copyOriginal"] = *keynames::parse("Ctrl+Alt+K");
    d.tapKey = TapKey::off;
    settings.setData(d);
    EXPECT_EQ(tab.keepFormattingText()->text(), "Or press **Ctrl+Alt+K** to copy with formatting.");
    EXPECT_TRUE(tab.tapKeyCaption()->isHidden());

    // No key watching in this session (Wayland): the tap says so.
    keystrokes.tap = false;
    emit notifier.stateChanged();
    EXPECT_FALSE(tab.tapKeyPicker()->isEnabled());
    EXPECT_EQ(tab.tapKeyCaption()->text(), "Not available in this session");
    EXPECT_FALSE(tab.tapKeyCaption()->isHidden());
}

class RecorderTest : public SettingsWindowTest {
  protected:
    FakeKeystrokeSupport keystrokes;
    FakeRefusedShortcuts refused;
    FakeHotKeySuspension hotKeys;
    FakeBell bell;
    ShortcutsTab tab{settings, keystrokes, refused, hotKeys, bell, notifier};

    void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(target, &event);
    }
};

TEST_F(RecorderTest, EscapeKeepsTheOldShortcutAndPlainKeysBeep) {
    ShortcutRecorder* recorder = tab.recorder(ShortcutAction::pasteMarkdown);
    const auto before = settings.data().shortcut(ShortcutAction::pasteMarkdown);

    recorder->button()->click();
    ASSERT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->button()->text(), "Type shortcut\u2026");
    EXPECT_EQ(hotKeys.suspensions, std::vector{true});
    press(recorder->button(), Qt::Key_Control, Qt::ControlModifier);  // a modifier going down: keep waiting
    press(recorder->button(), Qt::Key_K);
    press(recorder->button(), Qt::Key_K, Qt::ShiftModifier);
    EXPECT_EQ(bell.beeps, 2);
    EXPECT_TRUE(recorder->isRecording());
    press(recorder->button(), Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(hotKeys.suspensions, (std::vector{true, false}));
    EXPECT_EQ(settings.data().shortcut(ShortcutAction::pasteMarkdown), before);
}

TEST_F(RecorderTest, RecordsAndClearsACombination) {
    ShortcutRecorder* recorder = tab.recorder(ShortcutAction::cycleFormat);
    recorder->button()->click();
    press(recorder->button(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(recorder->isRecording());
    const auto combo = settings.data().shortcut(ShortcutAction::cycleFormat);
    ASSERT_TRUE(combo);
    EXPECT_EQ(*combo, (KeyCombo{40, KeyCombo::control | KeyCombo::option, "\u2303\u2325K"}));
    EXPECT_EQ(recorder->button()->text(), "Ctrl+Alt+K");

    refused.failed = {*combo};
    emit notifier.stateChanged();
    EXPECT_EQ(tab.failure(ShortcutAction::cycleFormat)->text(),
              "\u26A0 Already used by another app: Ctrl+Alt+K");

    recorder->clearButton()->click();
    EXPECT_FALSE(settings.data().shortcut(ShortcutAction::cycleFormat));
    EXPECT_EQ(recorder->button()->text(), "Record Shortcut");
}

// Copy Keeping Formatting has its own recorder, stored with the other actions
// and without a default.
TEST_F(RecorderTest, CopyKeepingFormattingIsRecordedIntoTheShortcutMap) {
    EXPECT_FALSE(settings.data().shortcut(ShortcutAction::copyOriginal));
    ShortcutRecorder* recorder = tab.recorder(ShortcutAction::copyOriginal);
    recorder->button()->click();
    press(recorder->button(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(settings.data().shortcuts.at("copyOriginal"),
              (KeyCombo{40, KeyCombo::control | KeyCombo::option, "\u2303\u2325K"}));
    EXPECT_EQ(settings.data().shortcuts.count("pasteOriginal"), 1u) << "the defaults stay beside it";
    EXPECT_TRUE(showsText(&tab, "Copy Keeping Formatting"));
    EXPECT_TRUE(showsText(&tab, "copy-original"));
}

// Where the desktop holds the shortcuts (its portal) the tab shows the keys
// it chose; where nothing can hold them, how to bind our addresses instead.
TEST_F(RecorderTest, ShowsHowShortcutsReachTheProgramInThisSession) {
    EXPECT_TRUE(tab.routeNote()->isHidden());
    EXPECT_TRUE(tab.desktopSettingsButton()->isHidden());

    keystrokes.route = KeystrokeSupport::ShortcutRoute::portal;
    keystrokes.triggers[ShortcutAction::pasteMarkdown] = "Ctrl+Alt+M";
    keystrokes.configurable = true;
    emit notifier.stateChanged();
    EXPECT_EQ(tab.desktopTrigger(ShortcutAction::pasteMarkdown)->text(), "Desktop shortcut: Ctrl+Alt+M");
    EXPECT_FALSE(tab.desktopTrigger(ShortcutAction::pasteMarkdown)->isHidden());
    EXPECT_TRUE(tab.desktopTrigger(ShortcutAction::pasteOriginal)->isHidden());
    EXPECT_FALSE(tab.desktopSettingsButton()->isHidden());
    tab.desktopSettingsButton()->click();
    EXPECT_EQ(keystrokes.settingsOpened, 1);

    keystrokes.route = KeystrokeSupport::ShortcutRoute::none;
    emit notifier.stateChanged();
    EXPECT_TRUE(tab.routeNote()->text().contains("dozuzavuvu dozuzavuvu://paste-markdown"));
    EXPECT_FALSE(tab.routeNote()->isHidden());
    EXPECT_TRUE(tab.desktopSettingsButton()->isHidden());
    EXPECT_TRUE(tab.desktopTrigger(ShortcutAction::pasteMarkdown)->isHidden());
}

TEST_F(SettingsWindowTest, ShowSelectsTheTabKeepsItOtherwiseAndRestoresTheSize) {
    FakeProgram program;
    SettingsWindow window(settings, program.services());
    QTabWidget* tabs = window.tabs();
    ASSERT_EQ(tabs->count(), 7);
    const char* titles[] = {"General",   "Rules",  "Cleaning", "Markdown & PDF",
                            "Shortcuts", "Script", "Try It"};
    // The text as the tab bar draws it: "&&" is one ampersand, a lone "&"
    // only underlines the next character.
    auto shown = [](QString text) {
        text.replace(QLatin1String("&&"), QString(QChar(0xE000)));
        text.remove(QLatin1Char('&'));
        return text.replace(QChar(0xE000), QLatin1Char('&'));
    };
    for (int i = 0; i < 7; ++i) EXPECT_EQ(shown(tabs->tabText(i)), titles[i]);

    window.show(SettingsTab::rules);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.currentTab(), SettingsTab::rules);
    EXPECT_EQ(window.windowTitle(), "Dozuzavuvu Settings \u2014 Rules");
    window.resize(500, 420);
    window.show();
    EXPECT_EQ(window.currentTab(), SettingsTab::rules);
    EXPECT_EQ(window.size(), QSize(760, 600));
    window.show(SettingsTab::script);
    EXPECT_EQ(window.currentTab(), SettingsTab::script);

    window.close();  // hides; the window and its state stay
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_EQ(window.currentTab(), SettingsTab::script);
    window.show(SettingsTab::markdown);
    EXPECT_EQ(window.windowTitle(), "Dozuzavuvu Settings \u2014 Markdown & PDF");
}

// The window's tabs all hear the one notifier.
TEST_F(SettingsWindowTest, AChangeOfTheProgramsStateReachesEveryTabThatShowsIt) {
    const KeyCombo combo{40, KeyCombo::control | KeyCombo::option, "\u2303\u2325K"};
    SettingsData d = settings.data();
    d.shortcuts[std::string(shortcutaction::rawValue(ShortcutAction::cycleFormat))] = combo;
    settings.setData(d);
    FakeProgram program;
    SettingsWindow window(settings, program.services());
    auto* shortcuts = static_cast<ShortcutsTab*>(window.page(SettingsTab::shortcuts));
    auto* script = static_cast<ScriptTab*>(window.page(SettingsTab::script));
    EXPECT_TRUE(shortcuts->failure(ShortcutAction::cycleFormat)->isHidden());

    program.display.tray = false;
    program.keystrokes.reason = "Not available: the X server has no XTest extension";
    program.refused.failed = {combo};
    program.script.lastError = "SyntaxError: unexpected token";
    emit program.notifier.stateChanged();
    EXPECT_TRUE(showsText(window.page(SettingsTab::general), "No tray is shown in this session"));
    EXPECT_TRUE(showsText(window.page(SettingsTab::general), "\u26A0 Not available: the X server"));
    EXPECT_FALSE(shortcuts->keystrokeWarning()->isHidden());
    EXPECT_EQ(shortcuts->failure(ShortcutAction::cycleFormat)->text(),
              "\u26A0 Already used by another app: Ctrl+Alt+K");
    EXPECT_EQ(script->errorLabel()->text(), "\u26D4 SyntaxError: unexpected token");
}

TEST_F(SettingsWindowTest, MarkdownAndPDFExamplesFollowTheOptions) {
    FakeWordDictionary dictionary;
    MarkdownPDFTab tab(settings, dictionary);
    const QString markdown = tab.markdownExample()->toPlainText();
    EXPECT_TRUE(markdown.contains("## Field notes")) << markdown.toStdString();
    EXPECT_TRUE(markdown.contains("- Bring boots"));
    EXPECT_TRUE(markdown.contains("**busy**"));
    EXPECT_FALSE(markdown.contains("utm_source"));
    EXPECT_TRUE(markdown.contains("| Pool"));

    SettingsData d = settings.data();
    d.markdown.bullet = MarkdownBullet::plus;
    d.markdown.emphasis = MarkdownEmphasis::underscores;
    d.markdown.convertTables = false;
    settings.setData(d);
    const QString changed = tab.markdownExample()->toPlainText();
    EXPECT_TRUE(changed.contains("+ Bring boots"));
    EXPECT_TRUE(changed.contains("__busy__"));
    EXPECT_FALSE(changed.contains("| Pool"));

    const QString after = tab.pdfAfter()->toPlainText();
    EXPECT_TRUE(after.contains("first measurements")) << after.toStdString();
    EXPECT_TRUE(after.contains("flooded"));
    EXPECT_FALSE(after.contains("\n3\n"));
    d.pdf.fixLigatures = false;
    settings.setData(d);
    EXPECT_TRUE(tab.pdfAfter()->toPlainText().contains("\uFB01rst"));

    // Line-end hyphens are judged by the program's dictionary: it knows
    // "sea" but not "seasons", so that hyphen stays.
    EXPECT_TRUE(after.contains("seasons"));
    dictionary.words = {"region", "sea", "sons"};
    d.pdf.fixLigatures = true;
    settings.setData(d);
    EXPECT_TRUE(tab.pdfAfter()->toPlainText().contains("sea-sons"));
    EXPECT_TRUE(tab.pdfAfter()->toPlainText().contains("region"));
}

TEST_F(SettingsWindowTest, RulesAreAddedEditedAndRemovedInTheStore) {
    FakeApplicationCatalog applications;
    FakeDisplaySession display;
    RulesTab tab(settings, applications, display, notifier);
    EXPECT_FALSE(tab.emptyLabel(RuleDirection::destination)->isHidden());
    ASSERT_TRUE(tab.addWebsite(RuleDirection::destination, "https://www.Example.com/Docs/?q=1"));
    EXPECT_FALSE(tab.addWebsite(RuleDirection::destination, "   "));
    auto rules = settings.data().rulesFor(RuleDirection::destination);
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].website, "example.com/docs/");
    EXPECT_EQ(rules[0].format, RuleFormat::markdown);
    EXPECT_TRUE(tab.emptyLabel(RuleDirection::destination)->isHidden());

    QWidget* rows = tab.rowsWidget(RuleDirection::destination);
    withText<QCheckBox>(rows, "Fix PDF line breaks")->click();
    EXPECT_TRUE(settings.data().rulesFor(RuleDirection::destination)[0].fixPDF);
    QApplication::processEvents();  // rows rebuilt after the change
    QComboBox* format = tab.rowsWidget(RuleDirection::destination)->findChild<QComboBox*>();
    ASSERT_TRUE(format);
    format->setCurrentIndex(format->findText("Keep Original"));
    emit format->activated(format->currentIndex());
    EXPECT_EQ(settings.data().rulesFor(RuleDirection::destination)[0].format, RuleFormat::original);
    QApplication::processEvents();

    tab.addRunningApplication(RuleDirection::destination, "md.obsidian", "Obsidian");
    rules = settings.data().rulesFor(RuleDirection::destination);
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[1].format, RuleFormat::markdown);

    QToolButton* remove = nullptr;
    for (QToolButton* b : tab.rowsWidget(RuleDirection::destination)->findChildren<QToolButton*>())
        if (b->toolTip() == "Remove rule" && b->isVisibleTo(&tab)) {
            remove = b;
            break;
        }
    ASSERT_TRUE(remove);
    remove->click();
    QApplication::processEvents();
    EXPECT_EQ(settings.data().rulesFor(RuleDirection::destination).size(), 1u);
}

// Rules tab rows stay put while a rule is edited, so the keyboard focus and
// a screen reader's place stay with the control the user used.
class RuleRowsTest : public SettingsWindowTest {
  protected:
    FakeApplicationCatalog applications;
    FakeDisplaySession display;
    RulesTab tab{settings, applications, display, notifier};

    void SetUp() override {
        tab.addRunningApplication(RuleDirection::destination, "org.gnome.TextEditor", "Text Editor");
        tab.addRunningApplication(RuleDirection::destination, "md.obsidian", "Obsidian");
        tab.addRunningApplication(RuleDirection::destination, "xterm", "XTerm");
        tab.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    }

    // The named control of the row for `name`.
    template <typename T>
    T* control(const QString& accessibleName) {
        for (T* w : tab.rowsWidget(RuleDirection::destination)->findChildren<T*>())
            if (w->accessibleName() == accessibleName && !w->isHidden())
                return w;
        ADD_FAILURE() << "no control named " << accessibleName.toStdString();
        return nullptr;
    }
    void settle() { QApplication::processEvents(); }
};

TEST_F(RuleRowsTest, EditsKeepTheFocusAndTheRow) {
    QCheckBox* enabled = control<QCheckBox>("Rule for Obsidian enabled");
    ASSERT_TRUE(enabled);
    QWidget* row = enabled->parentWidget();
    enabled->setFocus();
    QTest::keyClick(enabled, Qt::Key_Space);
    settle();
    EXPECT_FALSE(settings.data().rulesFor(RuleDirection::destination)[1].enabled);
    EXPECT_EQ(QApplication::focusWidget(), enabled);
    EXPECT_FALSE(enabled->isChecked());

    QCheckBox* fixPDF = control<QCheckBox>("Fix PDF line breaks for Obsidian");
    fixPDF->setFocus();
    QTest::keyClick(fixPDF, Qt::Key_Space);
    settle();
    EXPECT_TRUE(settings.data().rulesFor(RuleDirection::destination)[1].fixPDF);
    EXPECT_EQ(QApplication::focusWidget(), fixPDF);

    QComboBox* format = control<QComboBox>("Format for Obsidian");
    format->setFocus();
    format->setCurrentIndex(format->findText("Plain Text"));
    emit format->activated(format->currentIndex());
    settle();
    EXPECT_EQ(settings.data().rulesFor(RuleDirection::destination)[1].format, RuleFormat::plain);
    EXPECT_EQ(QApplication::focusWidget(), format);

    // A change from elsewhere (the tray menu) updates the same row.
    SettingsData d = settings.data();
    for (AppRule& rule : d.rules)
        if (rule.bundleID == "md.obsidian") {
            rule.format = RuleFormat::links;
            rule.name = "Obsidian Notes";
        }
    settings.setData(d);
    settle();
    EXPECT_EQ(format->currentText(), "Plain Text with Links");
    EXPECT_EQ(format->accessibleName(), "Format for Obsidian Notes");
    EXPECT_EQ(QApplication::focusWidget(), format);

    // Adding a rule keeps every row there was.
    tab.addRunningApplication(RuleDirection::destination, "kate", "Kate");
    settle();
    EXPECT_EQ(enabled->parentWidget(), row);
    EXPECT_EQ(QApplication::focusWidget(), format);
    EXPECT_EQ(tab.rowsWidget(RuleDirection::destination)->findChildren<QComboBox*>().size(), 4);
}

TEST_F(RuleRowsTest, RemovingARowHandsTheFocusToTheNextOne) {
    QToolButton* remove = control<QToolButton>("Remove rule for Obsidian");
    ASSERT_TRUE(remove);
    EXPECT_EQ(remove->toolTip(), "Remove rule");
    remove->setFocus();
    QTest::keyClick(remove, Qt::Key_Space);
    settle();
    ASSERT_EQ(settings.data().rulesFor(RuleDirection::destination).size(), 2u);
    EXPECT_EQ(QApplication::focusWidget(), control<QToolButton>("Remove rule for XTerm"));

    // The last row's successor is the one before it; then the section's button.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    settle();
    EXPECT_EQ(QApplication::focusWidget(), control<QToolButton>("Remove rule for Text Editor"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    settle();
    EXPECT_TRUE(settings.data().rulesFor(RuleDirection::destination).empty());
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->accessibleName(), "Add Running App (pasting into)");
    EXPECT_FALSE(tab.emptyLabel(RuleDirection::destination)->isHidden());
}

TEST_F(SettingsWindowTest, PastingRulesThatCannotWorkSayWhy) {
    FakeApplicationCatalog applications;
    FakeDisplaySession display;
    display.intercepting = false;
    RulesTab tab(settings, applications, display, notifier);
    QLabel* notice = tab.pastingNotice();
    EXPECT_TRUE(notice->isHidden());  // no rules, nothing to warn about

    tab.addRunningApplication(RuleDirection::source, "org.gnome.TextEditor", "Text Editor");
    EXPECT_TRUE(notice->isHidden());
    tab.addRunningApplication(RuleDirection::destination, "org.gnome.TextEditor", "Text Editor");
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(
        notice->text(),
        "\u26A0 This session does not tell which application is pasting, so these rules are not applied.");

    struct Case {
        bool intercepting;
        PastingAppIdentification pasting;
        const char* shown;  // nothing: hidden
    };
    const Case cases[] = {
        {true, PastingAppIdentification::x11ApplicationsOnly,
         "\u26A0 On this desktop these rules apply to X11 applications only."},
        {true, PastingAppIdentification::none,
         "\u26A0 This session does not tell which application is pasting, so these rules are not applied."},
        {false, PastingAppIdentification::x11ApplicationsOnly,
         "\u26A0 This session does not tell which application is pasting, so these rules are not applied."},
        {true, PastingAppIdentification::everyApplication, nullptr},
    };
    for (const Case& c : cases) {
        display.intercepting = c.intercepting;
        display.pasting = c.pasting;
        emit notifier.stateChanged();
        EXPECT_EQ(notice->isHidden(), c.shown == nullptr);
        if (c.shown) {
            EXPECT_EQ(notice->text(), QString::fromUtf8(c.shown));
        }
    }

    // The warning goes with the last destination rule.
    display.pasting = PastingAppIdentification::none;
    emit notifier.stateChanged();
    EXPECT_FALSE(notice->isHidden());
    SettingsData d = settings.data();
    std::erase_if(d.rules, [](const AppRule& r) { return r.direction == RuleDirection::destination; });
    settings.setData(d);
    EXPECT_TRUE(notice->isHidden());
}

TEST_F(SettingsWindowTest, EscapeAndCtrlWCloseCtrlQQuits) {
    FakeProgram program;
    SettingsWindow window(settings, program.services());
    int quits = 0;
    window.quit = [&] { ++quits; };
    for (QKeyCombination keys : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL, Qt::Key_W)}) {
        window.show(SettingsTab::cleaning);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(window.isVisible()) << QKeySequence(keys).toString().toStdString();
    }
    EXPECT_EQ(quits, 0);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);

    // Escape while recording a shortcut only ends the recording.
    window.show(SettingsTab::shortcuts);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* shortcuts = static_cast<ShortcutsTab*>(window.page(SettingsTab::shortcuts));
    ShortcutRecorder* recorder = shortcuts->recorder(ShortcutAction::pasteMarkdown);
    recorder->button()->click();
    ASSERT_TRUE(recorder->isRecording());
    QTest::keyClick(recorder->button(), Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(SettingsWindowTest, ScriptTabSavesTypingAndShowsTheLastError) {
    FakeScriptStatus status;
    ScriptTab tab(settings, status, notifier);
    tab.editor()->setPlainText("function transform(t) { return t.toUpperCase(); }");
    tab.saveScript();
    EXPECT_EQ(settings.data().script, "function transform(t) { return t.toUpperCase(); }");
    withText<QPushButton>(&tab, "Reset")->click();
    EXPECT_EQ(settings.data().script, JavaScriptTransformer::templateScript());
    EXPECT_EQ(tab.editor()->toPlainText().toStdString(), JavaScriptTransformer::templateScript());

    // Typing is saved once it pauses, or at once when the editor loses focus.
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    tab.editor()->setFocus();
    tab.editor()->setPlainText("function transform(t) { return t.trim(); }");
    EXPECT_EQ(settings.data().script, JavaScriptTransformer::templateScript());
    withText<QPushButton>(&tab, "Reset")->setFocus();
    EXPECT_EQ(settings.data().script, "function transform(t) { return t.trim(); }");
    tab.editor()->setPlainText("function transform(t) { return t; }");
    EXPECT_EQ(settings.data().script, "function transform(t) { return t.trim(); }");  // not yet
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return settings.data().script == "function transform(t) { return t; }"; }, 2000));

    status.lastError = "ReferenceError: x is not defined";
    emit notifier.stateChanged();
    EXPECT_TRUE(tab.errorLabel()->text().contains("ReferenceError: x is not defined"));
    status.lastError.reset();
    emit notifier.stateChanged();
    EXPECT_TRUE(tab.errorLabel()->isHidden());
}

}  // namespace
}  // namespace dz
