#pragma once

#include <array>
#include <string>
#include <vector>

#include <QString>

#include "ui/SettingsPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace dz {

class ApplicationCatalog;
class DisplaySession;
class StateNotifier;

class RulesTab : public SettingsPage {
  public:
    RulesTab(AppSettings& settings, ApplicationCatalog& applications, DisplaySession& display,
             StateNotifier& notifier, QWidget* parent = nullptr);

    // The actions behind the buttons and dialogs.
    void addApplications(RuleDirection direction, const std::vector<std::string>& ids);
    void addRunningApplication(RuleDirection direction, const std::string& id, const std::string& name);
    // False when the text names no site.
    bool addWebsite(RuleDirection direction, const QString& typed);
    void addMarkdownApps();

    QLabel* emptyLabel(RuleDirection direction) const { return sections_[size_t(direction)].empty; }
    QWidget* rowsWidget(RuleDirection direction) const { return sections_[size_t(direction)].rowsWidget; }
    // Why "Pasting into" rules do not (all) work here; hidden when they do.
    QLabel* pastingNotice() const { return pastingNotice_; }

  private:
    // One rule's controls, kept while the rule keeps its place so that an
    // edit never takes the keyboard focus away.
    struct Row {
        UUID id;
        QWidget* widget = nullptr;
        QLabel* name = nullptr;
        QComboBox* format = nullptr;
        QCheckBox* fixPDF = nullptr;
        QCheckBox* enabled = nullptr;
        QToolButton* remove = nullptr;
    };
    struct Section {
        QWidget* rowsWidget = nullptr;
        QVBoxLayout* rows = nullptr;
        QLabel* empty = nullptr;
        QPushButton* addRunning = nullptr;
        std::vector<Row> shown;
    };

    void buildSection(QVBoxLayout* page, RuleDirection direction);
    void refreshSection(RuleDirection direction, const SettingsData& data);
    void refreshNotice();
    Row makeRow(const AppRule& rule);
    void updateRow(Row& row, const AppRule& rule);
    void editRule(const UUID& id, const std::function<void(AppRule&)>& edit);
    void chooseRunningApplication(RuleDirection direction, QWidget* anchor);
    void chooseInstalledApplications(RuleDirection direction);
    void askWebsite(RuleDirection direction);

    ApplicationCatalog& applications_;
    DisplaySession& display_;
    std::array<Section, 2> sections_;
    QLabel* pastingNotice_ = nullptr;
};

}  // namespace dz
