#include "ui/SettingsWindow.h"

#include <QCoreApplication>
#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/MenuBarIconArt.h"
#include "ui/tabs/CleaningTab.h"
#include "ui/tabs/GeneralTab.h"
#include "ui/tabs/MarkdownPDFTab.h"
#include "ui/tabs/RulesTab.h"
#include "ui/tabs/ScriptTab.h"
#include "ui/tabs/ShortcutsTab.h"

namespace dz {

SettingsWindow::SettingsWindow(AppSettings& settings, const Services& services, QWidget* tryIt)
    : QWidget(nullptr, Qt::Window), tabs_(new QTabWidget) {
    setWindowIcon(MenuBarIconArt::applicationIcon());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);
    tabs_->setDocumentMode(true);
    for (SettingsTab tab : settingstab::allCases) {
        QWidget* page = nullptr;
        switch (tab) {
            case SettingsTab::general:
                page =
                    new GeneralTab(settings, services.defaultFormat, services.loginItem, services.keystrokes,
                                   services.browserAccess, services.display, services.notifier);
                break;
            case SettingsTab::rules:
                page = new RulesTab(settings, services.applications, services.display, services.notifier);
                break;
            case SettingsTab::cleaning:
                page = new CleaningTab(settings);
                break;
            case SettingsTab::markdown:
                page = new MarkdownPDFTab(settings, services.dictionary);
                break;
            case SettingsTab::shortcuts:
                page = new ShortcutsTab(settings, services.keystrokes, services.refusedShortcuts,
                                        services.hotKeys, services.bell, services.notifier);
                break;
            case SettingsTab::script:
                page = new ScriptTab(settings, services.script, services.notifier);
                break;
            case SettingsTab::tryIt:
                page = tryIt ? tryIt : new QWidget;
                break;
        }
        // A lone "&" in a tab's text marks a mnemonic ("Markdown & PDF" would
        // show an underlined space); "&&" shows one ampersand.
        tabs_->addTab(
            page, QIcon::fromTheme(QString::fromLatin1(settingstab::iconName(tab))),
            QString::fromUtf8(settingstab::title(tab)).replace(QLatin1Char('&'), QLatin1String("&&")));
    }
    // The window title names the program as well as the selected tab, for
    // window switchers.
    auto retitle = [this](int index) {
        if (index >= 0)
            setWindowTitle(QStringLiteral("Dozuzavuvu Settings \u2014 ") +
                           QString::fromUtf8(settingstab::title(settingstab::allCases[size_t(index)])));
    };
    connect(tabs_, &QTabWidget::currentChanged, this, retitle);
    retitle(tabs_->currentIndex());
    resize(width, height);

    // Escape and Ctrl+W close (hide) the window, Ctrl+Q quits the program;
    // a dialog or a shortcut recorder that has the keyboard gets them first.
    quit = [] { QCoreApplication::quit(); };
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    auto* quitShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quitShortcut, &QShortcut::activated, this, [this] {
        if (quit)
            quit();
    });
}

void SettingsWindow::show(std::optional<SettingsTab> tab) {
    if (tab)
        tabs_->setCurrentIndex(int(*tab));
    if (size() != QSize(width, height))
        resize(width, height);
    if (isMinimized())
        showNormal();
    else
        QWidget::show();
    raise();
    activateWindow();
}

SettingsTab SettingsWindow::currentTab() const {
    return settingstab::allCases[size_t(tabs_->currentIndex())];
}

QWidget* SettingsWindow::page(SettingsTab tab) const {
    return tabs_->widget(int(tab));
}

}  // namespace dz
