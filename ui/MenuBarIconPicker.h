#pragma once
// One button per tray icon, in their order, the chosen one outlined.

#include <array>
#include <functional>

#include <QWidget>

#include "app/settings/MenuBarIcon.h"

class QToolButton;

namespace dz {

class MenuBarIconPicker : public QWidget {
  public:
    explicit MenuBarIconPicker(QWidget* parent = nullptr);

    void setSelected(MenuBarIcon icon);
    std::function<void(MenuBarIcon)> onChoose;

    QToolButton* button(MenuBarIcon icon) const { return buttons_[size_t(icon)]; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void paintIcons();

    std::array<QToolButton*, menubaricon::allCases.size()> buttons_{};
};

}  // namespace dz
