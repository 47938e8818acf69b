#pragma once

#include <QTimer>

#include "ui/SettingsPage.h"

class QLabel;
class QPlainTextEdit;

namespace dz {

class ScriptStatus;
class StateNotifier;

class ScriptTab : public SettingsPage {
  public:
    ScriptTab(AppSettings& settings, ScriptStatus& status, StateNotifier& notifier,
              QWidget* parent = nullptr);
    ~ScriptTab() override;

    // Typing is saved after a short pause, and at once when the editor
    // loses focus or the tab goes away.
    void saveScript();

    QPlainTextEdit* editor() const { return editor_; }
    QLabel* errorLabel() const { return error_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void setScript(const std::string& script);

    ScriptStatus& status_;
    QPlainTextEdit* editor_;
    QLabel* error_;
    QTimer saveTimer_;
};

}  // namespace dz
