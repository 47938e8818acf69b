#pragma once

#include <array>
#include <string>
#include <vector>

#include <QString>

#include "ui/SettingsPage.h"

class QLabel;
class QVBoxLayout;

namespace dz {

class ApplicationCatalog;

class RulesTab : public SettingsPage {
  public:
    RulesTab(AppSettings& settings, ApplicationCatalog& applications, QWidget* parent = nullptr);

    // The actions behind the buttons and dialogs.
    void addApplications(RuleDirection direction, const std::vector<std::string>& ids);
    void addRunningApplication(RuleDirection direction, const std::string& id, const std::string& name);
    // False when the text names no site.
    bool addWebsite(RuleDirection direction, const QString& typed);
    void addMarkdownApps();

    QLabel* emptyLabel(RuleDirection direction) const { return sections_[size_t(direction)].empty; }
    QWidget* rowsWidget(RuleDirection direction) const { return sections_[size_t(direction)].rowsWidget; }

  private:
    struct Section {
        QWidget* rowsWidget = nullptr;
        QVBoxLayout* rows = nullptr;
        QLabel* empty = nullptr;
        std::vector<AppRule> shown;
    };

    void buildSection(QVBoxLayout* page, RuleDirection direction);
    void refreshSection(RuleDirection direction, const SettingsData& data);
    QWidget* makeRow(const AppRule& rule);
    void editRule(const UUID& id, const std::function<void(AppRule&)>& edit);
    void chooseRunningApplication(RuleDirection direction, QWidget* anchor);
    void chooseInstalledApplications(RuleDirection direction);
    void askWebsite(RuleDirection direction);

    ApplicationCatalog& applications_;
    std::array<Section, 2> sections_;
};

}  // namespace dz
