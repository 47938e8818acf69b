#include "ui/MenuBarIconPicker.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

#include "ui/MenuBarIconArt.h"

namespace dz {

MenuBarIconPicker::MenuBarIconPicker(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (MenuBarIcon icon : menubaricon::allCases) {
        auto* button = new QToolButton;
        button->setText(QString::fromUtf8(menubaricon::title(icon)));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(18, 18));
        button->setMinimumSize(44 + 16, 30 + 24);
        button->setCheckable(true);
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, icon] {
            setSelected(icon);
            if (onChoose)
                onChoose(icon);
        });
        buttons_[size_t(icon)] = button;
        layout->addWidget(button);
    }
    layout->addStretch();
    paintIcons();
}

void MenuBarIconPicker::setSelected(MenuBarIcon icon) {
    for (MenuBarIcon each : menubaricon::allCases) buttons_[size_t(each)]->setChecked(each == icon);
}

void MenuBarIconPicker::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
    QWidget::changeEvent(event);
}

void MenuBarIconPicker::paintIcons() {
    const QColor color = palette().color(QPalette::WindowText);
    for (MenuBarIcon icon : menubaricon::allCases)
        buttons_[size_t(icon)]->setIcon(MenuBarIconArt::icon(icon, color));
}

}  // namespace dz
