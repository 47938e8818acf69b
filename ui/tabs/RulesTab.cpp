#include "ui/tabs/RulesTab.h"

#include <algorithm>

#include <QApplication>
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
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/rules/KnownApps.h"
#include "ui/ApplicationCatalog.h"
#include "ui/ApplicationChooser.h"
#include "ui/DisplaySession.h"
#include "ui/QtText.h"
#include "ui/StateNotifier.h"

namespace dz {

namespace {

QString ruleLabel(const AppRule& rule) {
    if (rule.kind == RuleKind::website)
        return qstr(rule.website);
    return qstr(rule.name.empty() ? rule.bundleID : rule.name);
}

}  // namespace

RulesTab::RulesTab(AppSettings& settings, ApplicationCatalog& applications, DisplaySession& display,
                   StateNotifier& notifier, QWidget* parent)
    : SettingsPage(settings, parent), applications_(applications), display_(display) {
    QVBoxLayout* page = scrollingLayout(this);
    buildSection(page, RuleDirection::source);
    buildSection(page, RuleDirection::destination);

    auto* markdownRow = new QHBoxLayout;
    auto* markdownApps = new QPushButton(QStringLiteral("Add My &Markdown Apps"));
    connect(markdownApps, &QPushButton::clicked, this, &RulesTab::addMarkdownApps);
    markdownRow->addWidget(markdownApps);
    markdownRow->addStretch();
    page->addLayout(markdownRow);
    const QString markdownCaption = QStringLiteral(
        "Adds Obsidian, Typora, Zettlr, Logseq, Joplin and other Markdown apps you have installed.");
    page->addWidget(caption(markdownCaption));
    markdownApps->setAccessibleDescription(markdownCaption);
    page->addStretch();

    onSettings([this](const SettingsData& d) {
        refreshSection(RuleDirection::source, d);
        refreshSection(RuleDirection::destination, d);
        refreshNotice();
    });
    connect(&notifier, &StateNotifier::stateChanged, this, &RulesTab::refreshNotice);
}

void RulesTab::buildSection(QVBoxLayout* page, RuleDirection direction) {
    const bool source = direction == RuleDirection::source;
    QVBoxLayout* box;
    QGroupBox* group = section(
        page, source ? QStringLiteral("When copying from") : QStringLiteral("When pasting into"), &box);
    const QString explanation =
        source ? QStringLiteral(
                     "\u201CKeep Original\u201D never touches the copy. Use it for spreadsheets so "
                     "formulas and cells survive.")
               : QStringLiteral(
                     "The clipboard switches to this format the moment you press Ctrl+V in the app or "
                     "website, and back afterwards. Destination rules win over copy rules, except "
                     "\u201CKeep Original\u201D.");
    box->addWidget(caption(explanation));
    group->setAccessibleDescription(explanation);
    if (!source) {
        pastingNotice_ = warning({});
        box->addWidget(pastingNotice_);
    }
    Section& s = sections_[size_t(direction)];
    s.empty = new QLabel(source ? QStringLiteral("No rules. Everything you copy uses the default format.")
                                : QStringLiteral("No rules. Pastes use the format from when you copied."));
    box->addWidget(s.empty);
    s.rowsWidget = new QWidget;
    s.rows = new QVBoxLayout(s.rowsWidget);
    s.rows->setContentsMargins(0, 0, 0, 0);
    box->addWidget(s.rowsWidget);

    auto* buttons = new QHBoxLayout;
    auto* running =
        new QPushButton(source ? QStringLiteral("Add &Running App") : QStringLiteral("Add R&unning App"));
    connect(running, &QPushButton::clicked, this,
            [this, direction, running] { chooseRunningApplication(direction, running); });
    auto* installed =
        new QPushButton(source ? QStringLiteral("Add &App\u2026") : QStringLiteral("Add A&pp\u2026"));
    connect(installed, &QPushButton::clicked, this,
            [this, direction] { chooseInstalledApplications(direction); });
    auto* website = new QPushButton(source ? QStringLiteral("Add &website you copy from")
                                           : QStringLiteral("Add websi&te you paste into"));
    connect(website, &QPushButton::clicked, this, [this, direction] { askWebsite(direction); });
    // The same three buttons are in both sections; a screen reader says which.
    const QString where = source ? QStringLiteral(" (copying from)") : QStringLiteral(" (pasting into)");
    running->setAccessibleName(QStringLiteral("Add Running App") + where);
    installed->setAccessibleName(QStringLiteral("Add App") + where);
    buttons->addWidget(running);
    buttons->addWidget(installed);
    buttons->addWidget(website);
    buttons->addStretch();
    box->addLayout(buttons);
    s.addRunning = running;
}

void RulesTab::refreshNotice() {
    if (!pastingNotice_)
        return;
    const auto notice = pastingRulesNotice(settings_.data().hasDestinationRules(),
                                           display_.interceptorActive(), display_.pastingApps());
    setWarning(pastingNotice_, notice ? qstr(*notice) : QString());
}

void RulesTab::refreshSection(RuleDirection direction, const SettingsData& data) {
    Section& s = sections_[size_t(direction)];
    const std::vector<AppRule> rules = data.rulesFor(direction);
    s.empty->setVisible(rules.empty());

    // Rows stay with their rules: an edit updates its row in place, and only
    // added, removed or moved rules change the list.
    const bool sameRules = rules.size() == s.shown.size() &&
                           std::equal(rules.begin(), rules.end(), s.shown.begin(),
                                      [](const AppRule& r, const Row& row) { return r.id == row.id; });
    if (sameRules) {
        for (size_t i = 0; i < rules.size(); ++i) updateRow(s.shown[i], rules[i]);
        return;
    }

    // Where the focus is, in case its row goes away.
    QWidget* focused = QApplication::focusWidget();
    std::optional<size_t> lostRow;
    int lostControl = 0;
    for (size_t i = 0; i < s.shown.size(); ++i) {
        const Row& row = s.shown[i];
        if (!focused || !row.widget->isAncestorOf(focused))
            continue;
        const bool kept =
            std::any_of(rules.begin(), rules.end(), [&](const AppRule& r) { return r.id == row.id; });
        if (!kept) {
            lostRow = i;
            const QWidget* controls[] = {row.format, row.fixPDF, row.enabled, row.remove};
            for (int c = 0; c < 4; ++c)
                if (controls[c] == focused)
                    lostControl = c;
        }
    }

    std::vector<Row> old = std::move(s.shown);
    std::vector<Row> rows;
    for (const AppRule& rule : rules) {
        auto it = std::find_if(old.begin(), old.end(), [&](const Row& row) { return row.id == rule.id; });
        if (it != old.end()) {
            updateRow(*it, rule);
            rows.push_back(*it);
            old.erase(it);
        } else {
            rows.push_back(makeRow(rule));
        }
    }
    // Laid out again in the new order; the kept widgets keep their parent,
    // and so the focus.
    while (QLayoutItem* item = s.rows->takeAt(0)) delete item;
    for (const Row& row : rows) s.rows->addWidget(row.widget);
    // A control that triggered the change is deleted only once its signal
    // has returned.
    for (const Row& row : old) {
        row.widget->hide();
        row.widget->deleteLater();
    }
    s.shown = std::move(rows);

    if (lostRow) {
        // The same control of the row that took its place, else the section's
        // first button.
        QWidget* next = s.addRunning;
        if (!s.shown.empty()) {
            const Row& row = s.shown[std::min(*lostRow, s.shown.size() - 1)];
            QWidget* controls[] = {row.format, row.fixPDF, row.enabled, row.remove};
            next = controls[lostControl];
        }
        next->setFocus(Qt::OtherFocusReason);
    }
}

RulesTab::Row RulesTab::makeRow(const AppRule& rule) {
    Row r;
    r.id = rule.id;
    r.widget = new QWidget;
    auto* layout = new QHBoxLayout(r.widget);
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
    r.name = new QLabel;
    r.name->setTextFormat(Qt::PlainText);
    names->addWidget(r.name);
    if (website)
        names->addWidget(caption(QStringLiteral("Website")));
    layout->addLayout(names, 1);

    const UUID id = rule.id;
    auto* format = new QComboBox;
    for (RuleFormat f : ruleformat::allCases)
        format->addItem(qstr(ruleformat::title(f)), qstr(ruleformat::rawValue(f)));
    connect(format, &QComboBox::activated, this, [this, id, format](int) {
        if (auto f = ruleformat::fromRaw(format->currentData().toString().toStdString()))
            editRule(id, [&](AppRule& rule) { rule.format = *f; });
    });
    layout->addWidget(format);
    r.format = format;
    r.fixPDF = new QCheckBox(QStringLiteral("Fix PDF line breaks"));
    connect(r.fixPDF, &QCheckBox::toggled, this,
            [this, id](bool on) { editRule(id, [&](AppRule& rule) { rule.fixPDF = on; }); });
    layout->addWidget(r.fixPDF);
    r.enabled = new QCheckBox(QStringLiteral("Enabled"));
    connect(r.enabled, &QCheckBox::toggled, this,
            [this, id](bool on) { editRule(id, [&](AppRule& rule) { rule.enabled = on; }); });
    layout->addWidget(r.enabled);
    r.remove = new QToolButton;
    r.remove->setIcon(QIcon::fromTheme(QStringLiteral("list-remove")));
    r.remove->setText(QStringLiteral("\u2212"));
    r.remove->setToolTip(QStringLiteral("Remove rule"));
    r.remove->setAutoRaise(true);
    r.remove->setFocusPolicy(Qt::StrongFocus);
    connect(r.remove, &QToolButton::clicked, this, [this, id] { settings_.removeRules({id}); });
    layout->addWidget(r.remove);
    // Signals are blocked while the page refreshes, and so here too.
    const QSignalBlocker blockFormat(r.format), blockFix(r.fixPDF), blockEnabled(r.enabled);
    updateRow(r, rule);
    return r;
}

void RulesTab::updateRow(Row& row, const AppRule& rule) {
    const QString name = ruleLabel(rule);
    if (row.name->text() != name)
        row.name->setText(name);
    row.name->setToolTip(qstr(rule.kind == RuleKind::website ? rule.website : rule.bundleID));
    const int index = row.format->findData(qstr(ruleformat::rawValue(rule.format)));
    if (row.format->currentIndex() != index)
        row.format->setCurrentIndex(index);
    if (row.fixPDF->isChecked() != rule.fixPDF)
        row.fixPDF->setChecked(rule.fixPDF);
    if (row.enabled->isChecked() != rule.enabled)
        row.enabled->setChecked(rule.enabled);
    // Every row has the same controls; their names say whose they are.
    row.format->setAccessibleName(QStringLiteral("Format for ") + name);
    row.fixPDF->setAccessibleName(QStringLiteral("Fix PDF line breaks for ") + name);
    row.enabled->setAccessibleName(QStringLiteral("Rule for ") + name + QStringLiteral(" enabled"));
    row.remove->setAccessibleName(QStringLiteral("Remove rule for ") + name);
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
    field->setAccessibleName(QStringLiteral("Website"));
    field->setAccessibleDescription(
        QStringLiteral("Matches the site and its subdomains. Add a path to narrow it down."));
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
