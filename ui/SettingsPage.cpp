#include "ui/SettingsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace dz {

SettingsPage::SettingsPage(AppSettings& settings, QWidget* parent) : QWidget(parent), settings_(settings) {
    subscription_ = settings_.subscribe([this](const SettingsData& data) {
        // Refreshing sets controls; none of that may write back.
        const QSignalBlocker blocker(this);
        const auto children = findChildren<QWidget*>();
        std::vector<std::unique_ptr<QSignalBlocker>> blockers;
        for (QWidget* child : children) blockers.push_back(std::make_unique<QSignalBlocker>(child));
        for (const auto& refresh : refreshers_) refresh(data);
    });
}

void SettingsPage::change(const std::function<void(SettingsData&)>& edit) {
    SettingsData data = settings_.data();
    edit(data);
    settings_.setData(std::move(data));
}

void SettingsPage::onSettings(std::function<void(const SettingsData&)> refresh) {
    {
        const auto children = findChildren<QWidget*>();
        std::vector<std::unique_ptr<QSignalBlocker>> blockers;
        for (QWidget* child : children) blockers.push_back(std::make_unique<QSignalBlocker>(child));
        refresh(settings_.data());
    }
    refreshers_.push_back(std::move(refresh));
}

QCheckBox* SettingsPage::addToggle(QBoxLayout* layout, const QString& title, const QString& captionText,
                                   std::function<bool(const SettingsData&)> get,
                                   std::function<void(SettingsData&, bool)> set) {
    auto* box = new QCheckBox(title);
    layout->addWidget(box);
    if (!captionText.isEmpty()) {
        QLabel* label = caption(captionText);
        label->setContentsMargins(24, 0, 0, 4);
        layout->addWidget(label);
        box->setAccessibleDescription(captionText);
    }
    connect(box, &QCheckBox::toggled, this,
            [this, set](bool on) { change([&](SettingsData& d) { set(d, on); }); });
    onSettings([box, get](const SettingsData& d) { box->setChecked(get(d)); });
    return box;
}

QComboBox* SettingsPage::addPicker(QBoxLayout* layout, const QString& label,
                                   const std::vector<QString>& titles,
                                   std::function<int(const SettingsData&)> index,
                                   std::function<void(int)> chosen) {
    auto* row = new QHBoxLayout;
    auto* combo = new QComboBox;
    for (const QString& title : titles) combo->addItem(title);
    auto* text = new QLabel(label);
    text->setBuddy(combo);
    combo->setAccessibleName(withoutMnemonic(label));
    row->addWidget(text);
    row->addWidget(combo);
    row->addStretch();
    layout->addLayout(row);
    connect(combo, &QComboBox::activated, this, [chosen](int i) { chosen(i); });
    onSettings([combo, index](const SettingsData& d) { combo->setCurrentIndex(index(d)); });
    return combo;
}

QGroupBox* SettingsPage::section(QBoxLayout* parent, const QString& title, QVBoxLayout** inner) {
    auto* group = new QGroupBox(title);
    *inner = new QVBoxLayout(group);
    parent->addWidget(group);
    return group;
}

QLabel* SettingsPage::caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* SettingsPage::warning(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    setWarning(label, text);
    return label;
}

void SettingsPage::setWarning(QLabel* label, const QString& text) {
    label->setText(text.isEmpty() ? QString() : QStringLiteral("\u26A0 ") + text);
    label->setAccessibleName(text.isEmpty() ? QString() : QStringLiteral("Warning: ") + text);
    label->setVisible(!text.isEmpty());
}

QString SettingsPage::withoutMnemonic(QString text) {
    // "&&" is a literal ampersand; a lone "&" only marks the next letter.
    text.replace(QLatin1String("&&"), QString(QChar(0xE000)));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(0xE000), QLatin1Char('&'));
}

QVBoxLayout* SettingsPage::scrollingLayout(QWidget* page) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    scroll->setWidget(content);
    outer->addWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 12, 16, 12);
    return layout;
}

}  // namespace dz
