#include "ui/ApplicationChooser.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace dz {

ApplicationChooser::ApplicationChooser(std::vector<DesktopApplication> applications, QWidget* parent)
    : QDialog(parent), search_(new QLineEdit), list_(new QListWidget) {
    setWindowTitle(QStringLiteral("Choose Applications"));
    resize(420, 480);
    auto* layout = new QVBoxLayout(this);
    search_->setPlaceholderText(QStringLiteral("Search"));
    search_->setClearButtonEnabled(true);
    layout->addWidget(search_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(24, 24));
    for (const auto& app : applications) {
        auto* item = new QListWidgetItem(QIcon::fromTheme(QString::fromStdString(app.iconName)),
                                         QString::fromStdString(app.name.empty() ? app.id : app.name));
        item->setData(Qt::UserRole, QString::fromStdString(app.id));
        item->setToolTip(QString::fromStdString(app.id));
        list_->addItem(item);
    }
    list_->sortItems();
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    QPushButton* add = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add->setEnabled(false);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemSelectionChanged, this,
            [this, add] { add->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(search_, &QLineEdit::textChanged, this, &ApplicationChooser::filter);
}

void ApplicationChooser::filter(const QString& text) {
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        const bool match = item->text().contains(text, Qt::CaseInsensitive) ||
                           item->data(Qt::UserRole).toString().contains(text, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (!match)
            item->setSelected(false);
    }
}

std::vector<std::string> ApplicationChooser::chosen() const {
    std::vector<std::string> ids;
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->isSelected())
            ids.push_back(list_->item(i)->data(Qt::UserRole).toString().toStdString());
    return ids;
}

}  // namespace dz
