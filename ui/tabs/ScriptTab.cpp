#include "ui/tabs/ScriptTab.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/script/JavaScriptTransformer.h"
#include "ui/ScriptStatus.h"
#include "ui/StateNotifier.h"

namespace dz {

ScriptTab::ScriptTab(AppSettings& settings, ScriptStatus& status, StateNotifier& notifier, QWidget* parent)
    : SettingsPage(settings, parent), status_(status) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 12, 16, 12);
    QCheckBox* enabled = toggle<&SettingsData::scriptEnabled>(
        page, QStringLiteral("&Run a custom JavaScript transform after cleaning"));
    // The function's shape in the editor's own font.
    const QString code = QStringLiteral("function transform(text) { \u2026 }");
    const QString after = QStringLiteral(
        " and return the new text. It runs for every cleaned copy (not with Plain Text with Links). Runaway "
        "scripts are stopped after 1.5 seconds.");
    QLabel* explanation = caption({});
    explanation->setTextFormat(Qt::RichText);
    explanation->setText(QStringLiteral("Define <code>") + code.toHtmlEscaped() + QStringLiteral("</code>") +
                         after.toHtmlEscaped());
    explanation->setContentsMargins(24, 0, 0, 4);
    page->addWidget(explanation);
    enabled->setAccessibleDescription(QStringLiteral("Define ") + code + after);

    auto* editorTitle = new QLabel(QStringLiteral("&Script"));
    page->addWidget(editorTitle);
    editor_ = new QPlainTextEdit;
    editorTitle->setBuddy(editor_);
    editor_->setAccessibleName(QStringLiteral("Script"));
    editor_->setAccessibleDescription(QStringLiteral("Saved as you type."));
    editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab moves on, so that the keyboard alone gets past the editor.
    editor_->setTabChangesFocus(true);
    page->addWidget(editor_, 1);

    auto* buttons = new QHBoxLayout;
    auto* examples = new QPushButton(QStringLiteral("Insert &Example"));
    auto* menu = new QMenu(examples);
    for (const auto& example : JavaScriptTransformer::examples()) {
        const std::string code = example.code;
        menu->addAction(QString::fromStdString(example.title), this, [this, code] { setScript(code); });
    }
    examples->setMenu(menu);
    auto* reset = new QPushButton(QStringLiteral("Rese&t"));
    connect(reset, &QPushButton::clicked, this,
            [this] { setScript(JavaScriptTransformer::templateScript()); });
    buttons->addWidget(examples);
    buttons->addWidget(reset);
    buttons->addStretch();
    page->addLayout(buttons);

    error_ = new QLabel;
    error_->setWordWrap(true);
    error_->setTextFormat(Qt::PlainText);
    page->addWidget(error_);
    page->addWidget(caption(QStringLiteral("Test your script in the Try It tab.")));

    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(400);
    connect(&saveTimer_, &QTimer::timeout, this, &ScriptTab::saveScript);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { saveTimer_.start(); });
    editor_->installEventFilter(this);

    onSettings([this](const SettingsData& d) {
        // Never overwrite what the user is typing with an older record.
        if (!saveTimer_.isActive() && editor_->toPlainText().toStdString() != d.script)
            editor_->setPlainText(QString::fromStdString(d.script));
    });
    auto showError = [this] {
        const auto message = status_.scriptError();
        error_->setText(message ? QStringLiteral("\u26D4 ") + QString::fromStdString(*message) : QString());
        error_->setAccessibleName(
            message ? QStringLiteral("Script error: ") + QString::fromStdString(*message) : QString());
        error_->setVisible(message.has_value());
    };
    connect(&notifier, &StateNotifier::stateChanged, this, showError);
    showError();
}

ScriptTab::~ScriptTab() {
    if (saveTimer_.isActive())
        saveScript();
}

bool ScriptTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_ && event->type() == QEvent::FocusOut && saveTimer_.isActive())
        saveScript();
    return SettingsPage::eventFilter(watched, event);
}

void ScriptTab::hideEvent(QHideEvent* event) {
    if (saveTimer_.isActive())
        saveScript();
    SettingsPage::hideEvent(event);
}

void ScriptTab::saveScript() {
    saveTimer_.stop();
    const std::string script = editor_->toPlainText().toStdString();
    if (script != settings_.data().script)
        change([&](SettingsData& d) { d.script = script; });
}

void ScriptTab::setScript(const std::string& script) {
    saveTimer_.stop();
    change([&](SettingsData& d) { d.script = script; });
}

}  // namespace dz
