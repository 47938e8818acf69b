#include "ui/tabs/TryItTabView.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/SettingsPage.h"

namespace dz {
namespace {

void fill(QComboBox* combo, const std::vector<TryItTab::Place>& places, const TryItTab::Place& current) {
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (const auto& place : places) {
        combo->addItem(qstr(place.label));
        if (place == current)
            combo->setCurrentIndex(combo->count() - 1);
    }
}

}  // namespace

TryItTabView::TryItTabView(AppSettings& settings, TryItTab& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 12, 16, 12);

    auto* places = new QGridLayout;
    sources_ = new QComboBox;
    destinations_ = new QComboBox;
    format_ = new QComboBox;
    format_->addItem(QStringLiteral("As the rules say"));
    for (OutputFormat f : outputformat::allCases)
        format_->addItem(qstr(outputformat::title(f)), qstr(outputformat::rawValue(f)));
    // Each picker is the buddy of its label, and named after it.
    int line = 0;
    for (auto [title, combo] : {std::pair{QStringLiteral("&Copied from"), sources_},
                                std::pair{QStringLiteral("&Pasted into"), destinations_},
                                std::pair{QStringLiteral("&Format"), format_}}) {
        auto* label = new QLabel(title);
        label->setBuddy(combo);
        combo->setAccessibleName(SettingsPage::withoutMnemonic(title));
        places->addWidget(label, line, 0);
        places->addWidget(combo, line, 1);
        ++line;
    }
    places->setColumnStretch(1, 1);
    page->addLayout(places);

    auto* panes = new QGridLayout;
    auto* beforeTitle = new QLabel(QStringLiteral("&Before (as copied)"));
    auto* afterTitle = new QLabel(QStringLiteral("&After (what gets pasted)"));
    panes->addWidget(beforeTitle, 0, 0);
    panes->addWidget(afterTitle, 0, 1);
    before_ = new QPlainTextEdit;
    after_ = new QPlainTextEdit;
    after_->setReadOnly(true);
    after_->setTabChangesFocus(true);
    // Tab moves on rather than typing a tab into the sample.
    before_->setTabChangesFocus(true);
    before_->setAccessibleName(QStringLiteral("Before (as copied)"));
    before_->setAccessibleDescription(QStringLiteral("Edit the copied text to try your own."));
    after_->setAccessibleName(QStringLiteral("After (what gets pasted)"));
    beforeTitle->setBuddy(before_);
    afterTitle->setBuddy(after_);
    panes->addWidget(before_, 1, 0);
    panes->addWidget(after_, 1, 1);
    page->addLayout(panes, 1);

    explanation_ = new QLabel;
    explanation_->setWordWrap(true);
    explanation_->setTextFormat(Qt::PlainText);
    page->addWidget(explanation_);
    note_ = SettingsPage::caption({});
    page->addWidget(note_);
    auto* buttons = new QHBoxLayout;
    useClipboard_ = new QPushButton(QStringLiteral("&Use Current Clipboard"));
    buttons->addWidget(useClipboard_);
    buttons->addStretch();
    page->addLayout(buttons);

    connect(before_, &QPlainTextEdit::textChanged, this, [this] {
        if (refreshing_)
            return;
        model_.setText(before_->toPlainText().toStdString());
        refresh();
    });
    connect(sources_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && size_t(i) < sourcePlaces_.size())
            model_.setSource(sourcePlaces_[size_t(i)]);
        refresh();
    });
    connect(destinations_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && size_t(i) < destinationPlaces_.size())
            model_.setDestination(destinationPlaces_[size_t(i)]);
        refresh();
    });
    connect(format_, &QComboBox::activated, this, [this](int i) {
        const auto format = outputformat::fromRaw(format_->itemData(i).toString().toStdString());
        model_.setOverride(i == 0 ? std::nullopt : format);
        refresh();
    });
    connect(useClipboard_, &QPushButton::clicked, this, [this] {
        model_.useClipboard();
        refresh();
    });
    // Rules and options change what would be pasted.
    subscription_ = settings.subscribe([this](const SettingsData&) {
        if (isVisible()) {
            model_.update();
            refresh();
        }
    });
    refresh();
}

void TryItTabView::showEvent(QShowEvent* event) {
    model_.update();
    refresh();
    QWidget::showEvent(event);
}

void TryItTabView::refresh() {
    refreshing_ = true;
    const QString text = qstr(model_.text());
    if (before_->toPlainText() != text)
        before_->setPlainText(text);
    sourcePlaces_ = model_.sources();
    destinationPlaces_ = model_.destinations();
    fill(sources_, sourcePlaces_, model_.source());
    fill(destinations_, destinationPlaces_, model_.destination());
    {
        const QSignalBlocker blocker(format_);
        const auto& override = model_.override();
        format_->setCurrentIndex(override ? format_->findData(qstr(outputformat::rawValue(*override))) : 0);
    }
    after_->setPlainText(qstr(model_.outputText()));
    explanation_->setText(model_.simulation() ? qstr(model_.simulation()->explanation) : QString());
    after_->setAccessibleDescription(explanation_->text());
    note_->setText(qstr(model_.noteText()));
    refreshing_ = false;
}

}  // namespace dz
