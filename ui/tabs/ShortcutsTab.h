#pragma once

#include <array>

#include "ui/SettingsPage.h"

class QLabel;
class QPushButton;

namespace dz {

class Bell;
class HotKeySuspension;
class KeystrokeSupport;
class RefusedShortcuts;
class ShortcutRecorder;
class StateNotifier;

class ShortcutsTab : public SettingsPage {
  public:
    ShortcutsTab(AppSettings& settings, KeystrokeSupport& keystrokes, RefusedShortcuts& refused,
                 HotKeySuspension& hotKeys, Bell& bell, StateNotifier& notifier, QWidget* parent = nullptr);

    ShortcutRecorder* recorder(ShortcutAction action) const { return rows_[size_t(action)].recorder; }
    QLabel* failure(ShortcutAction action) const { return rows_[size_t(action)].failure; }
    QLabel* keystrokeWarning() const { return keystrokes_; }
    // The keys the desktop chose for an action (through its shortcuts portal).
    QLabel* desktopTrigger(ShortcutAction action) const { return rows_[size_t(action)].trigger; }
    // How shortcuts reach the program in this session, when not by our own grabs.
    QLabel* routeNote() const { return route_; }
    QPushButton* desktopSettingsButton() const { return desktopSettings_; }

  private:
    struct Row {
        ShortcutRecorder* recorder = nullptr;
        QLabel* failure = nullptr;
        QLabel* trigger = nullptr;
    };
    void addRow(QVBoxLayout* layout, ShortcutAction action);
    void refreshState();

    KeystrokeSupport& keystrokeSupport_;
    RefusedShortcuts& refused_;
    HotKeySuspension& hotKeys_;
    Bell& bell_;
    std::array<Row, shortcutaction::allCases.size()> rows_;
    QLabel* keystrokes_;
    QLabel* route_;
    QPushButton* desktopSettings_;
};

}  // namespace dz
