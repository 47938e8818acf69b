#pragma once

#include "ui/SettingsPage.h"

namespace dz {

class CleaningTab : public SettingsPage {
  public:
    CleaningTab(AppSettings& settings, DesktopServices& services, QWidget* parent = nullptr);
};

}  // namespace dz
