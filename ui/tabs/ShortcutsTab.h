#pragma once

#include <array>

#include "ui/SettingsPage.h"

class QLabel;

namespace dz {

class ShortcutRecorder;

class ShortcutsTab : public SettingsPage {
  public:
    ShortcutsTab(AppSettings& settings, DesktopServices& services, QWidget* parent = nullptr);

    ShortcutRecorder* recorder(ShortcutAction action) const { return rows_[size_t(action)].recorder; }
    QLabel* failure(ShortcutAction action) const { return rows_[size_t(action)].failure; }
    QLabel* keystrokeWarning() const { return keystrokes_; }

  private:
    struct Row {
        ShortcutRecorder* recorder = nullptr;
        QLabel* failure = nullptr;
    };
    void addRow(QVBoxLayout* layout, ShortcutAction action);
    void refreshState();

    std::array<Row, shortcutaction::allCases.size()> rows_;
    QLabel* keystrokes_;
};

}  // namespace dz
