#include "ui/ShortcutRecorder.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

#include "app/input/KeyNames.h"
#include "ui/Bell.h"
#include "ui/HotKeySuspension.h"
#include "ui/QtKeys.h"

namespace dz {

ShortcutRecorder::ShortcutRecorder(HotKeySuspension& hotKeys, Bell& bell, QWidget* parent)
    : QWidget(parent), hotKeys_(hotKeys), bell_(bell), button_(new QPushButton), clear_(new QToolButton) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button_);
    layout->addWidget(clear_);
    button_->setMinimumWidth(150);
    button_->setToolTip(QStringLiteral("Record Shortcut"));
    button_->setAccessibleDescription(
        QStringLiteral("Press to record a new shortcut; Escape while recording keeps the old one."));
    clear_->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear")));
    clear_->setText(QStringLiteral("\u00D7"));
    clear_->setToolTip(QStringLiteral("Clear shortcut"));
    clear_->setAutoRaise(true);
    button_->installEventFilter(this);
    connect(button_, &QPushButton::clicked, this, [this] {
        if (!recording_)
            startRecording();
    });
    connect(clear_, &QToolButton::clicked, this, [this] {
        cancelRecording();
        combo_.reset();
        refresh();
        if (onChange)
            onChange(std::nullopt);
    });
    refresh();
}

ShortcutRecorder::~ShortcutRecorder() {
    if (recording_)
        hotKeys_.suspendHotKeys(false);
}

void ShortcutRecorder::setCombo(const std::optional<KeyCombo>& combo) {
    combo_ = combo;
    refresh();
}

void ShortcutRecorder::setActionName(const QString& name) {
    actionName_ = name;
    refresh();
}

void ShortcutRecorder::startRecording() {
    if (recording_)
        return;
    recording_ = true;
    hotKeys_.suspendHotKeys(true);
    button_->setFocus(Qt::OtherFocusReason);
    button_->grabKeyboard();
    refresh();
}

void ShortcutRecorder::cancelRecording() {
    stopRecording();
}

void ShortcutRecorder::stopRecording() {
    if (!recording_)
        return;
    recording_ = false;
    button_->releaseKeyboard();
    hotKeys_.suspendHotKeys(false);
    refresh();
}

void ShortcutRecorder::refresh() {
    if (recording_)
        button_->setText(QStringLiteral("Type shortcut\u2026"));
    else if (combo_)
        button_->setText(QString::fromStdString(keynames::displayText(*combo_)));
    else
        button_->setText(QStringLiteral("Record Shortcut"));
    clear_->setVisible(combo_.has_value() && !recording_);
    // Read out with the action it belongs to, not the bare keys.
    const QString prefix = actionName_.isEmpty() ? QString() : actionName_ + QStringLiteral(" shortcut: ");
    button_->setAccessibleName(prefix + button_->text());
    clear_->setAccessibleName(actionName_.isEmpty() ? QStringLiteral("Clear shortcut")
                                                    : QStringLiteral("Clear shortcut for ") + actionName_);
}

bool ShortcutRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched != button_ || !recording_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claim every key, so that no application shortcut fires.
            event->accept();
            return true;
        case QEvent::KeyRelease:
            return true;
        case QEvent::FocusOut:
            stopRecording();
            return false;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                stopRecording();
                return true;
            }
            if (QtKeys::isModifierKey(key->key()))
                return true;
            std::optional<KeyCombo> combo;
            if (auto keyEvent = QtKeys::keyEvent(*key))
                combo = KeyCombo::fromEvent(*keyEvent);
            if (!combo) {
                bell_.beep();
                return true;
            }
            combo_ = *combo;
            stopRecording();
            if (onChange)
                onChange(combo_);
            return true;
        }
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace dz
