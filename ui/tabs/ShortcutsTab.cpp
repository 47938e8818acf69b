#include "ui/tabs/ShortcutsTab.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/input/KeyNames.h"
#include "ui/KeystrokeSupport.h"
#include "ui/QtKeys.h"
#include "ui/QtText.h"
#include "ui/RefusedShortcuts.h"
#include "ui/ShortcutRecorder.h"
#include "ui/StateNotifier.h"

namespace dz {

ShortcutsTab::ShortcutsTab(AppSettings& settings, KeystrokeSupport& keystrokes, RefusedShortcuts& refused,
                           HotKeySuspension& hotKeys, Bell& bell, StateNotifier& notifier, QWidget* parent)
    : SettingsPage(settings, parent),
      keystrokeSupport_(keystrokes),
      refused_(refused),
      hotKeys_(hotKeys),
      bell_(bell) {
    QVBoxLayout* page = scrollingLayout(this);
    keystrokes_ =
        new QLabel(QStringLiteral("\u26A0 The paste shortcuts and \u201CCopy and clean\u201D need to press "
                                  "Ctrl+C / Ctrl+V for you, which this session does not always allow. Where "
                                  "it does not, a paste shortcut waits for your own Ctrl+V."));
    keystrokes_->setWordWrap(true);
    page->addWidget(keystrokes_);
    // Where the program cannot hold shortcuts itself, the desktop does.
    route_ = new QLabel;
    route_->setWordWrap(true);
    route_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    page->addWidget(route_);
    desktopSettings_ = new QPushButton(QStringLiteral("Open Desktop Shortcut Settings\u2026"));
    connect(desktopSettings_, &QPushButton::clicked, this,
            [this] { keystrokeSupport_.openDesktopShortcutSettings(); });
    auto* desktopRow = new QHBoxLayout;
    desktopRow->addWidget(desktopSettings_);
    desktopRow->addStretch();
    page->addLayout(desktopRow);

    QVBoxLayout* paste;
    section(page, QStringLiteral("Paste once in a specific format"), &paste);
    for (ShortcutAction a : {ShortcutAction::pasteOriginal, ShortcutAction::pasteMarkdown,
                             ShortcutAction::pastePDFFixed, ShortcutAction::cleanAndPaste})
        addRow(paste, a);
    QVBoxLayout* modes;
    section(page, QStringLiteral("Clipboard and modes"), &modes);
    for (ShortcutAction a :
         {ShortcutAction::cleanClipboard, ShortcutAction::copyAndClean, ShortcutAction::copyOriginal,
          ShortcutAction::toggleAutoClean, ShortcutAction::pauseFiveMinutes, ShortcutAction::cycleFormat})
        addRow(modes, a);

    QVBoxLayout* automation;
    section(page, QStringLiteral("Automation (scripts, launchers, keyboard tools)"), &automation);
    for (const char* line :
         {"dozuzavuvu://toggle \u00B7 enable \u00B7 disable \u00B7 clean \u00B7 paste \u00B7 "
          "paste-original \u00B7 paste-markdown \u00B7 copy-original",
          "dozuzavuvu://format?set=plain|links|markdown",
          "dozuzavuvu://pause?minutes=5 \u00B7 resume \u00B7 settings"}) {
        auto* label = new QLabel(QString::fromUtf8(line));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        automation->addWidget(label);
    }
    automation->addWidget(
        caption(QStringLiteral("Open them with xdg-open, for example: xdg-open dozuzavuvu://toggle")));
    page->addStretch();

    onSettings([this](const SettingsData& d) {
        for (ShortcutAction a : shortcutaction::allCases)
            if (!rows_[size_t(a)].recorder->isRecording())
                rows_[size_t(a)].recorder->setCombo(d.shortcut(a));
        refreshState();
    });
    connect(&notifier, &StateNotifier::stateChanged, this, &ShortcutsTab::refreshState);
}

void ShortcutsTab::addRow(QVBoxLayout* layout, ShortcutAction action) {
    auto* row = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    auto* title = new QLabel(qstr(shortcutaction::title(action)));
    texts->addWidget(title);
    if (auto subtitle = shortcutaction::subtitle(action))
        texts->addWidget(caption(qstr(*subtitle)));
    QLabel* failure = warning({});
    texts->addWidget(failure);
    auto* trigger = caption({});
    trigger->hide();
    texts->addWidget(trigger);
    row->addLayout(texts, 1);
    auto* recorder = new ShortcutRecorder(hotKeys_, bell_);
    recorder->setActionName(qstr(shortcutaction::title(action)));
    title->setBuddy(recorder->button());
    row->addWidget(recorder);
    layout->addLayout(row);
    recorder->onChange = [this, action](const std::optional<KeyCombo>& combo) {
        change([&](SettingsData& d) {
            const std::string key(shortcutaction::rawValue(action));
            if (combo)
                d.shortcuts[key] = *combo;
            else
                d.shortcuts.erase(key);
        });
    };
    rows_[size_t(action)] = Row{recorder, failure, trigger};
}

void ShortcutsTab::refreshState() {
    keystrokes_->setVisible(keystrokeSupport_.keystrokesUnavailable().has_value());
    const auto route = keystrokeSupport_.shortcutRoute();
    switch (route) {
        case KeystrokeSupport::ShortcutRoute::keyGrabs:
            route_->clear();
            break;
        case KeystrokeSupport::ShortcutRoute::portal:
            route_->setText(QStringLiteral(
                "The desktop decides which keys run each action: the shortcuts below are a suggestion, "
                "and the keys it chose show under each action."));
            break;
        case KeystrokeSupport::ShortcutRoute::none:
            route_->setText(QStringLiteral(
                "This desktop does not let applications set global shortcuts. In your desktop's keyboard "
                "settings, bind a shortcut to a command such as \u201Cdozuzavuvu "
                "dozuzavuvu://paste-markdown\u201D (or paste-original, paste, copy-original and the other "
                "addresses below); the running program obeys it."));
            break;
    }
    route_->setVisible(route != KeystrokeSupport::ShortcutRoute::keyGrabs);
    desktopSettings_->setVisible(route == KeystrokeSupport::ShortcutRoute::portal &&
                                 keystrokeSupport_.canOpenDesktopShortcutSettings());
    const auto failed = refused_.failedShortcuts();
    const SettingsData& d = settings_.data();
    for (ShortcutAction a : shortcutaction::allCases) {
        const auto combo = d.shortcut(a);
        const bool refused = combo && std::find(failed.begin(), failed.end(), *combo) != failed.end();
        QLabel* label = rows_[size_t(a)].failure;
        setWarning(label, refused ? QStringLiteral("Already used by another app: ") +
                                        QString::fromStdString(keynames::displayText(*combo))
                                  : QString());
        const auto trigger = route == KeystrokeSupport::ShortcutRoute::portal
                                 ? keystrokeSupport_.desktopTrigger(a)
                                 : std::nullopt;
        QLabel* desktop = rows_[size_t(a)].trigger;
        desktop->setText(trigger ? QStringLiteral("Desktop shortcut: ") + qstr(*trigger) : QString());
        desktop->setVisible(trigger.has_value());
    }
}

}  // namespace dz
