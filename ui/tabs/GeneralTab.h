#pragma once

#include <functional>

#include <QString>

#include "ui/SettingsPage.h"

class QLabel;

namespace dz {

class BrowserAccess;
class DefaultFormatControl;
class DisplaySession;
class KeystrokeSupport;
class LoginItem;
class MenuBarIconPicker;
class StateNotifier;

class GeneralTab : public SettingsPage {
  public:
    GeneralTab(AppSettings& settings, DefaultFormatControl& defaultFormat, LoginItem& loginItem,
               KeystrokeSupport& keystrokes, BrowserAccess& browser, DisplaySession& display,
               StateNotifier& notifier, QWidget* parent = nullptr);

    // The file actions behind the dialogs; each shows its outcome.
    void exportTo(const QString& path);
    void importFrom(const QString& path);
    // The file an export writes for the name chosen: ".json" is added when
    // the name has no extension.
    static QString exportPath(const QString& chosen);

    // Asks before turning on the accessibility bus; a dialog by default.
    std::function<bool()> confirmBrowserAccess;

    QLabel* fileMessage() const { return fileMessage_; }
    QLabel* loginMessage() const { return loginMessage_; }
    MenuBarIconPicker* iconPicker() const { return picker_; }

    QLabel* keepFormattingText() const { return keepHow_; }
    QComboBox* tapKeyPicker() const { return tapPicker_; }
    QLabel* tapKeyCaption() const { return tapCaption_; }

  private:
    void refreshServices();
    void showFileOutcome(const QString& text, bool failed);
    void refreshKeepFormatting(const SettingsData& d);

    DefaultFormatControl& defaultFormat_;
    LoginItem& loginItem_;
    KeystrokeSupport& keystrokeSupport_;
    BrowserAccess& browser_;
    DisplaySession& display_;
    QLabel* fileMessage_;
    QLabel* loginMessage_;
    MenuBarIconPicker* picker_;
    QCheckBox* launchAtLogin_;
    QCheckBox* browserAccess_;
    QLabel* keystrokes_;
    QLabel* trayNote_;
    QLabel* displayNotice_;
    QLabel* keepHow_;
    QComboBox* tapPicker_;
    QLabel* tapCaption_;
};

}  // namespace dz
