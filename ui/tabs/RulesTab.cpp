#include "ui/tabs/RulesTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/rules/KnownApps.h"
#include "ui/ApplicationCatalog.h"
#include "ui/ApplicationChooser.h"
#include "ui/QtText.h"

namespace dz {

RulesTab::RulesTab(AppSettings& settings, ApplicationCatalog& applications, QWidget* parent)
    : SettingsPage(settings, parent), applications_(applications) {
    QVBoxLayout* page = scrollingLayout(this);
    buildSection(page, RuleDirection::source);
    buildSection(page, RuleDirection::destination);

    auto* markdownRow = new QHBoxLayout;
    auto* markdownApps = new QPushButton(QStringLiteral("Add My Markdown Apps"));
    connect(markdownApps, &QPushButton::clicked, this, &RulesTab::addMarkdownApps);
    markdownRow->addWidget(markdownApps);
    markdownRow->addStretch();
    page->addLayout(markdownRow);
    page->addWidget(caption(QStringLiteral(
        "Adds Obsidian, Typora, Zettlr, Logseq, Joplin and other Markdown apps you have installed.")));
    page->addStretch();

    onSettings([this](const SettingsData& d) {
        refreshSection(RuleDirection::source, d);
        refreshSection(RuleDirection::destination, d);
    });
}

void RulesTab::buildSection(QVBoxLayout* page, RuleDirection direction) {
    const bool source = direction == RuleDirection::source;
    QVBoxLayout* box;
    section(page, source ? QStringLiteral("When copying from") : QStringLiteral("When pasting into"), &box);
    box->addWidget(caption(
        source
            ? QStringLiteral("\u201CKeep Original\u201D never touches the copy. Use it for spreadsheets so "
                             "formulas and cells survive.")
            : QStringLiteral(
                  "The clipboard switches to this format the moment you press Ctrl+V in the app or "
                  "website, and back afterwards. Destination rules win over copy rules, except "
                  "\u201CKeep Original\u201D.")));
    Section& s = sections_[size_t(direction)];
    s.empty = new QLabel(source ? QStringLiteral("No rules. Everything you copy uses the default format.")
                                : QStringLiteral("No rules. Pastes use the format from when you copied."));
    box->addWidget(s.empty);
    s.rowsWidget = new QWidget;
    s.rows = new QVBoxLayout(s.rowsWidget);
    s.rows->setContentsMargins(0, 0, 0, 0);
    box->addWidget(s.rowsWidget);

    auto* buttons = new QHBoxLayout;
    auto* running = new QPushButton(QStringLiteral("Add Running App"));
    connect(running, &QPushButton::clicked, this,
            [this, direction, running] { chooseRunningApplication(direction, running); });
    auto* installed = new QPushButton(QStringLiteral("Add App\u2026"));
    connect(installed, &QPushButton::clicked, this,
            [this, direction] { chooseInstalledApplications(direction); });
    auto* website = new QPushButton(source ? QStringLiteral("Add website you copy from")
                                           : QStringLiteral("Add website you paste into"));
    connect(website, &QPushButton::clicked, this, [this, direction] { askWebsite(direction); });
    buttons->addWidget(running);
    buttons->addWidget(installed);
    buttons->addWidget(website);
    buttons->addStretch();
    box->addLayout(buttons);
}

void RulesTab::refreshSection(RuleDirection direction, const SettingsData& data) {
    Section& s = sections_[size_t(direction)];
    std::vector<AppRule> rules = data.rulesFor(direction);
    s.empty->setVisible(rules.empty());
    if (rules == s.shown)
        return;
    // Rows are rebuilt rather than patched; a control that triggered the
    // change is deleted only once its signal has returned.
    while (QLayoutItem* item = s.rows->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    for (const AppRule& rule : rules) s.rows->addWidget(makeRow(rule));
    s.shown = std::move(rules);
}

QWidget* RulesTab::makeRow(const AppRule& rule) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 2, 0, 2);
    const bool website = rule.kind == RuleKind::website;
    auto* icon = new QLabel;
    QIcon image;
    if (website) {
        image = QIcon::fromTheme(QStringLiteral("applications-internet"));
    } else {
        for (const auto& app : applications_.installedApplications())
            if (app.id == rule.bundleID && !app.iconName.empty())
                image = QIcon::fromTheme(QString::fromStdString(app.iconName));
    }
    if (!image.isNull())
        icon->setPixmap(image.pixmap(20, 20));
    icon->setFixedWidth(22);
    layout->addWidget(icon);
    auto* names = new QVBoxLayout;
    auto* name = new QLabel(qstr(website ? rule.website : (rule.name.empty() ? rule.bundleID : rule.name)));
    name->setTextFormat(Qt::PlainText);
    name->setToolTip(qstr(website ? rule.website : rule.bundleID));
    names->addWidget(name);
    if (website)
        names->addWidget(caption(QStringLiteral("Website")));
    layout->addLayout(names, 1);

    const UUID id = rule.id;
    auto* format = new QComboBox;
    for (RuleFormat f : ruleformat::allCases) {
        format->addItem(qstr(ruleformat::title(f)), qstr(ruleformat::rawValue(f)));
        if (f == rule.format)
            format->setCurrentIndex(format->count() - 1);
    }
    connect(format, &QComboBox::activated, this, [this, id, format](int) {
        if (auto f = ruleformat::fromRaw(format->currentData().toString().toStdString()))
            editRule(id, [&](AppRule& r) { r.format = *f; });
    });
    layout->addWidget(format);
    auto* fixPDF = new QCheckBox(QStringLiteral("Fix PDF line breaks"));
    fixPDF->setChecked(rule.fixPDF);
    connect(fixPDF, &QCheckBox::toggled, this,
            [this, id](bool on) { editRule(id, [&](AppRule& r) { r.fixPDF = on; }); });
    layout->addWidget(fixPDF);
    auto* enabled = new QCheckBox(QStringLiteral("Enabled"));
    enabled->setChecked(rule.enabled);
    connect(enabled, &QCheckBox::toggled, this,
            [this, id](bool on) { editRule(id, [&](AppRule& r) { r.enabled = on; }); });
    layout->addWidget(enabled);
    auto* remove = new QToolButton;
    remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove")));
    remove->setText(QStringLiteral("\u2212"));
    remove->setToolTip(QStringLiteral("Remove rule"));
    remove->setAutoRaise(true);
    connect(remove, &QToolButton::clicked, this, [this, id] { settings_.removeRules({id}); });
    layout->addWidget(remove);
    return row;
}

void RulesTab::editRule(const UUID& id, const std::function<void(AppRule&)>& edit) {
    change([&](SettingsData& d) {
        for (AppRule& rule : d.rules)
            if (rule.id == id)
                edit(rule);
    });
}

void RulesTab::addApplications(RuleDirection direction, const std::vector<std::string>& ids) {
    for (const std::string& id : ids)
        settings_.addRule(AppRule::forApp(direction, id, KnownApps::appName(id, applications_.workspace())));
}

void RulesTab::addRunningApplication(RuleDirection direction, const std::string& id,
                                     const std::string& name) {
    settings_.addRule(AppRule::forApp(direction, id, name.empty() ? id : name));
}

bool RulesTab::addWebsite(RuleDirection direction, const QString& typed) {
    auto rule = AppRule::forWebsite(direction, typed.toStdString());
    if (!rule)
        return false;
    settings_.addRule(*rule);
    return true;
}

void RulesTab::addMarkdownApps() {
    for (const auto& app : KnownApps::installedMarkdownApps(applications_.workspace())) {
        AppRule rule =
            AppRule::forApp(RuleDirection::destination, std::string(app.bundleID), std::string(app.name));
        rule.format = RuleFormat::markdown;
        settings_.addRule(rule);
    }
}

void RulesTab::chooseRunningApplication(RuleDirection direction, QWidget* anchor) {
    QMenu menu(this);
    const auto ruled = settings_.data().rulesFor(direction);
    for (const auto& app : applications_.runningApplications()) {
        if (app.id.empty() || app.id == applications_.ownApplicationID())
            continue;
        const bool hasRule = std::any_of(ruled.begin(), ruled.end(), [&](const AppRule& r) {
            return r.kind == RuleKind::app && r.bundleID == app.id;
        });
        if (hasRule)
            continue;
        menu.addAction(QIcon::fromTheme(QString::fromStdString(app.iconName)),
                       QString::fromStdString(app.name.empty() ? app.id : app.name), this,
                       [this, direction, app] { addRunningApplication(direction, app.id, app.name); });
    }
    if (menu.isEmpty())
        menu.addAction(QStringLiteral("No other running apps"))->setEnabled(false);
    menu.exec(anchor->mapToGlobal(QPoint(0, anchor->height())));
}

void RulesTab::chooseInstalledApplications(RuleDirection direction) {
    ApplicationChooser chooser(applications_.installedApplications(), this);
    if (chooser.exec() == QDialog::Accepted)
        addApplications(direction, chooser.chosen());
}

void RulesTab::askWebsite(RuleDirection direction) {
    QDialog sheet(this);
    sheet.setWindowTitle(direction == RuleDirection::source ? QStringLiteral("Add website you copy from")
                                                            : QStringLiteral("Add website you paste into"));
    auto* layout = new QVBoxLayout(&sheet);
    auto* field = new QLineEdit;
    field->setPlaceholderText(QStringLiteral("example.com or example.com/docs"));
    field->setMinimumWidth(320);
    layout->addWidget(field);
    layout->addWidget(
        caption(QStringLiteral("Matches the site and its subdomains. Add a path to narrow it down.")));
    auto* buttons = new QDialogButtonBox;
    QPushButton* add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    add->setDefault(true);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &sheet, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &sheet, &QDialog::reject);
    if (sheet.exec() == QDialog::Accepted)
        addWebsite(direction, field->text());
}

}  // namespace dz
