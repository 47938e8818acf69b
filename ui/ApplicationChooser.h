#pragma once
// A searchable list of the installed applications, several of which can be
// chosen at once.

#include <string>
#include <vector>

#include <QDialog>

#include "ui/DesktopApplication.h"

class QLineEdit;
class QListWidget;

namespace dz {

class ApplicationChooser : public QDialog {
  public:
    ApplicationChooser(std::vector<DesktopApplication> applications, QWidget* parent = nullptr);

    // The ids of the chosen applications, in list order.
    std::vector<std::string> chosen() const;

    QLineEdit* search() const { return search_; }
    QListWidget* list() const { return list_; }

  private:
    void filter(const QString& text);

    QLineEdit* search_;
    QListWidget* list_;
};

}  // namespace dz
