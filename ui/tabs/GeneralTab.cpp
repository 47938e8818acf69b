#include "ui/tabs/GeneralTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "app/input/KeyNames.h"
#include "ui/BrowserAccess.h"
#include "ui/DefaultFormatControl.h"
#include "ui/DisplaySession.h"
#include "ui/KeystrokeSupport.h"
#include "ui/LoginItem.h"
#include "ui/MenuBarIconArt.h"
#include "ui/MenuBarIconPicker.h"
#include "ui/QtText.h"
#include "ui/StateNotifier.h"

namespace dz {
namespace {

QLabel* richLabel(const QString& markdown) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::MarkdownText);
    label->setText(markdown);
    label->setWordWrap(true);
    return label;
}

}  // namespace

GeneralTab::GeneralTab(AppSettings& settings, DefaultFormatControl& defaultFormat, LoginItem& loginItem,
                       KeystrokeSupport& keystrokes, BrowserAccess& browser, DisplaySession& display,
                       StateNotifier& notifier, QWidget* parent)
    : SettingsPage(settings, parent),
      defaultFormat_(defaultFormat),
      loginItem_(loginItem),
      keystrokeSupport_(keystrokes),
      browser_(browser),
      display_(display) {
    QVBoxLayout* page = scrollingLayout(this);

    // Header
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(MenuBarIconArt::applicationIcon().pixmap(48, 48));
    header->addWidget(icon);
    auto* names = new QVBoxLayout;
    auto* name = new QLabel(QStringLiteral("Dozuzavuvu"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    name->setFont(big);
    names->addWidget(name);
    names->addWidget(new QLabel(QStringLiteral("Version " DZ_VERSION)));
    header->addLayout(names);
    header->addStretch();
    page->addLayout(header);

    QVBoxLayout* cleaning;
    section(page, QStringLiteral("Cleaning"), &cleaning);
    toggle<&SettingsData::autoClean>(cleaning, QStringLiteral("&Clean text automatically when copying"),
                                     QStringLiteral("Files, images and passwords are never touched."));
    std::vector<std::pair<QString, OutputFormat>> formats;
    for (OutputFormat f : outputformat::cyclable) formats.emplace_back(qstr(outputformat::title(f)), f);
    QComboBox* formatPicker = picker<OutputFormat>(
        cleaning, QStringLiteral("Default &format"), formats,
        [](const SettingsData& d) { return d.defaultFormat; },
        [this](OutputFormat f) { defaultFormat_.setDefaultFormat(f); });
    const QString formatCaption = QStringLiteral(
        "Used unless a rule says otherwise. Plain Text with Links keeps links clickable; Markdown "
        "keeps headings, lists and bold too.");
    cleaning->addWidget(caption(formatCaption));
    formatPicker->setAccessibleDescription(formatCaption);
    auto* keep = new QLabel(QStringLiteral("Keep formatting once"));
    cleaning->addWidget(keep);
    keepHow_ = richLabel({});
    cleaning->addWidget(keepHow_);
    std::vector<std::pair<QString, TapKey>> tapKeys;
    for (TapKey key : tapkey::allCases) tapKeys.emplace_back(qstr(tapkey::title(key)), key);
    tapPicker_ = picker<TapKey>(
        cleaning, QStringLiteral("Tap key"), tapKeys, [](const SettingsData& d) { return d.tapKey; },
        [this](TapKey key) { change([&](SettingsData& d) { d.tapKey = key; }); });
    tapCaption_ = caption({});
    cleaning->addWidget(tapCaption_);
    onSettings([this](const SettingsData& d) { refreshKeepFormatting(d); });

    QVBoxLayout* iconBox;
    section(page, QStringLiteral("Tray icon"), &iconBox);
    picker_ = new MenuBarIconPicker;
    iconBox->addWidget(picker_);
    picker_->onChoose = [this](MenuBarIcon icon) { change([&](SettingsData& d) { d.menuBarIcon = icon; }); };
    onSettings([this](const SettingsData& d) { picker_->setSelected(d.menuBarIcon); });
    const QString dimmedCaption = QStringLiteral("Dimmed while paused or when automatic cleaning is off.");
    iconBox->addWidget(caption(dimmedCaption));
    picker_->setAccessibleName(QStringLiteral("Tray icon"));
    picker_->setAccessibleDescription(dimmedCaption);
    toggle<&SettingsData::showMenuBarIcon>(
        iconBox, QStringLiteral("&Show tray icon"),
        QStringLiteral(
            "When hidden, open Dozuzavuvu again (e.g. from your application launcher) to reveal it for 5 "
            "seconds."));
    trayNote_ =
        caption(QStringLiteral("No tray is shown in this session (the desktop has no status notifier host). "
                               "Open Dozuzavuvu again to "
                               "show this window."));
    iconBox->addWidget(trayNote_);

    QVBoxLayout* startup;
    section(page, QStringLiteral("Startup"), &startup);
    launchAtLogin_ = new QCheckBox(QStringLiteral("&Launch at login"));
    startup->addWidget(launchAtLogin_);
    loginMessage_ = warning({});
    startup->addWidget(loginMessage_);
    connect(launchAtLogin_, &QCheckBox::toggled, this, [this](bool on) {
        const auto failure = loginItem_.setLaunchAtLogin(on);
        setWarning(loginMessage_, failure
                                      ? QStringLiteral("Couldn't change login item: ") + qstr(*failure) + "."
                                      : QString());
        const QSignalBlocker blocker(launchAtLogin_);
        launchAtLogin_->setChecked(loginItem_.launchAtLogin());
    });

    QVBoxLayout* permissions;
    section(page, QStringLiteral("Permissions"), &permissions);
    displayNotice_ = warning({});
    permissions->addWidget(displayNotice_);
    auto* keysRow = new QHBoxLayout;
    auto* keysTitle = new QLabel(QStringLiteral("Keystrokes"));
    keysRow->addWidget(keysTitle);
    keystrokes_ = new QLabel;
    keysTitle->setBuddy(keystrokes_);
    keystrokes_->setAccessibleDescription(
        QStringLiteral("Needed for the paste shortcuts and \u201CCopy and clean\u201D."));
    keysRow->addWidget(keystrokes_, 1);
    permissions->addLayout(keysRow);
    permissions->addWidget(
        caption(QStringLiteral("Needed for the paste shortcuts and \u201CCopy and clean\u201D.")));
    browserAccess_ = new QCheckBox(QStringLiteral("&Browser access"));
    browserAccess_->setIcon(QIcon::fromTheme(QStringLiteral("applications-internet")));
    permissions->addWidget(browserAccess_);
    const QString browserCaption = QStringLiteral(
        "Website rules read the address of the current tab through the desktop's "
        "accessibility bus. Firefox and "
        "Chromium usually include the page address with the copy, so copying rarely "
        "needs it. Chromium answers "
        "only when started with --force-renderer-accessibility.");
    permissions->addWidget(caption(browserCaption));
    browserAccess_->setAccessibleDescription(browserCaption);
    confirmBrowserAccess = [this] {
        return QMessageBox::question(
                   this, QStringLiteral("Browser access"),
                   QStringLiteral(
                       "Turn on the desktop's accessibility bus? It makes websites' addresses readable "
                       "to Dozuzavuvu, and costs other applications a little speed.")) == QMessageBox::Yes;
    };
    connect(browserAccess_, &QCheckBox::toggled, this, [this](bool on) {
        if (on && confirmBrowserAccess && confirmBrowserAccess())
            browser_.enableBrowserAccess();
        refreshServices();
    });

    QVBoxLayout* file;
    section(page, QStringLiteral("Settings file"), &file);
    auto* buttons = new QHBoxLayout;
    auto* exportButton = new QPushButton(QStringLiteral("&Export Settings\u2026"));
    auto* importButton = new QPushButton(QStringLiteral("&Import\u2026"));
    auto* resetButton = new QPushButton(QStringLiteral("&Reset to Defaults"));
    buttons->addWidget(exportButton);
    buttons->addWidget(importButton);
    buttons->addWidget(resetButton);
    buttons->addStretch();
    file->addLayout(buttons);
    fileMessage_ = new QLabel;
    fileMessage_->setWordWrap(true);
    fileMessage_->setTextFormat(Qt::PlainText);
    fileMessage_->hide();
    file->addWidget(fileMessage_);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Settings"),
                                                          QStringLiteral("Dozuzavuvu Settings.json"),
                                                          QStringLiteral("JSON (*.json)"));
        if (!path.isEmpty())
            exportTo(exportPath(path));
    });
    connect(importButton, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import Settings"), {},
                                                          QStringLiteral("JSON (*.json)"));
        if (!path.isEmpty())
            importFrom(path);
    });
    connect(resetButton, &QPushButton::clicked, this, [this] { settings_.resetToDefaults(); });

    page->addStretch();
    connect(&notifier, &StateNotifier::stateChanged, this, &GeneralTab::refreshServices);
    refreshServices();
}

void GeneralTab::refreshKeepFormatting(const SettingsData& d) {
    const bool tap = keystrokeSupport_.tapAvailable();
    QString how;
    if (tap && d.tapKey != TapKey::off)
        how = QStringLiteral("Tap and release **") + qstr(tapkey::title(d.tapKey)) +
              QStringLiteral("**, then press **Ctrl+C** within 3 seconds. ");
    if (auto combo = d.shortcut(ShortcutAction::copyOriginal))
        how += QStringLiteral("Or press **") + qstr(keynames::displayText(*combo)) +
               QStringLiteral("** to copy with formatting.");
    else
        how += QStringLiteral("Or set a Copy Keeping Formatting shortcut in the Shortcuts tab.");
    keepHow_->setText(how);
    tapPicker_->setEnabled(tap);
    const auto clash = tapkey::clash(d.tapKey);
    tapCaption_->setText(!tap    ? QStringLiteral("Not available in this session")
                         : clash ? qstr(*clash)
                                 : QString());
    tapCaption_->setVisible(!tap || clash.has_value());
}

void GeneralTab::refreshServices() {
    const QSignalBlocker login(launchAtLogin_);
    launchAtLogin_->setChecked(loginItem_.launchAtLogin());
    refreshKeepFormatting(settings_.data());
    const auto unavailable = keystrokeSupport_.keystrokesUnavailable();
    const std::string route = keystrokeSupport_.keystrokesRoute();
    keystrokes_->setText(unavailable     ? QStringLiteral("\u26A0 ") + qstr(*unavailable)
                         : route.empty() ? QStringLiteral("\u2713 Available")
                                         : QStringLiteral("\u2713 ") + qstr(route));
    const QSignalBlocker browser(browserAccess_);
    const bool on = browser_.browserAccess();
    browserAccess_->setChecked(on);
    // The bus is session-wide and other programs may rely on it: we only turn it on.
    browserAccess_->setEnabled(!on);
    trayNote_->setVisible(!display_.trayAvailable());
    const auto notice = display_.displayNotice();
    setWarning(displayNotice_, notice ? qstr(*notice) : QString());
}

void GeneralTab::showFileOutcome(const QString& text, bool failed) {
    if (failed) {
        setWarning(fileMessage_, text);
    } else {
        fileMessage_->setText(text);
        fileMessage_->setAccessibleName(text);
        fileMessage_->show();
    }
}

QString GeneralTab::exportPath(const QString& chosen) {
    // The file is JSON whatever the user typed; a name of their own kind stays.
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QStringLiteral(".json");
}

void GeneralTab::exportTo(const QString& path) {
    std::string error;
    const auto json = settings_.exportJSON(&error);
    QSaveFile file(path);
    if (json && file.open(QIODevice::WriteOnly)) {
        file.write(json->data(), qint64(json->size()));
        if (file.commit()) {
            showFileOutcome(QStringLiteral("Exported to ") + QFileInfo(path).fileName() + ".", false);
            return;
        }
    }
    showFileOutcome(QStringLiteral("Export failed: ") + (json ? file.errorString() : qstr(error)), true);
}

void GeneralTab::importFrom(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showFileOutcome(QStringLiteral("Import failed: ") + file.errorString(), true);
        return;
    }
    // One byte past the limit is enough for the decoder to refuse it.
    const QByteArray bytes = file.read(qint64(SettingsData::maxDocumentSize) + 1);
    if (file.error() != QFileDevice::NoError) {
        showFileOutcome(QStringLiteral("Import failed: ") + file.errorString(), true);
        return;
    }
    std::string error;
    if (settings_.importJSON(std::string_view(bytes.constData(), size_t(bytes.size())), &error))
        showFileOutcome(QStringLiteral("Imported ") + QFileInfo(path).fileName() + ".", false);
    else
        showFileOutcome(QStringLiteral("Import failed: ") + qstr(error), true);
}

}  // namespace dz
