#pragma once

#include "ui/SettingsPage.h"

namespace dz {

class CleaningTab : public SettingsPage {
  public:
    explicit CleaningTab(AppSettings& settings, QWidget* parent = nullptr);
};

}  // namespace dz
