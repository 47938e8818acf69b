#pragma once

#include <functional>

#include <QString>

#include "ui/SettingsPage.h"

class QLabel;

namespace dz {

class MenuBarIconPicker;

class GeneralTab : public SettingsPage {
  public:
    GeneralTab(AppSettings& settings, DesktopServices& services, QWidget* parent = nullptr);

    // The file actions behind the dialogs; each shows its outcome.
    void exportTo(const QString& path);
    void importFrom(const QString& path);

    // Asks before turning on the accessibility bus; a dialog by default.
    std::function<bool()> confirmBrowserAccess;

    QLabel* fileMessage() const { return fileMessage_; }
    QLabel* loginMessage() const { return loginMessage_; }
    MenuBarIconPicker* iconPicker() const { return picker_; }

  private:
    void refreshServices();

    QLabel* fileMessage_;
    QLabel* loginMessage_;
    MenuBarIconPicker* picker_;
    QCheckBox* launchAtLogin_;
    QCheckBox* browserAccess_;
    QLabel* keystrokes_;
    QLabel* trayNote_;
    QLabel* displayNotice_;
};

}  // namespace dz
