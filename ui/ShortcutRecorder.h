#pragma once
// Records one global shortcut. While recording, the hot keys are suspended
// and every key goes to the recorder: Escape cancels, a key without Ctrl, Alt
// or Super beeps and keeps listening, anything else is the new combination.

#include <functional>
#include <optional>

#include <QString>
#include <QWidget>

#include "app/input/KeyCombo.h"

class QPushButton;
class QToolButton;

namespace dz {

class Bell;
class HotKeySuspension;

class ShortcutRecorder : public QWidget {
  public:
    ShortcutRecorder(HotKeySuspension& hotKeys, Bell& bell, QWidget* parent = nullptr);
    ~ShortcutRecorder() override;

    void setCombo(const std::optional<KeyCombo>& combo);
    // The action the shortcut runs, for screen readers ("Paste as Markdown").
    void setActionName(const QString& name);
    const std::optional<KeyCombo>& combo() const { return combo_; }
    bool isRecording() const { return recording_; }
    void startRecording();
    // Ends recording without a change.
    void cancelRecording();

    // A combination was recorded (a value) or cleared (nothing).
    std::function<void(const std::optional<KeyCombo>&)> onChange;

    QPushButton* button() const { return button_; }
    QToolButton* clearButton() const { return clear_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void stopRecording();
    void refresh();

    HotKeySuspension& hotKeys_;
    Bell& bell_;
    std::optional<KeyCombo> combo_;
    QString actionName_;
    bool recording_ = false;
    QPushButton* button_;
    QToolButton* clear_;
};

}  // namespace dz
