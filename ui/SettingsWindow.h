#pragma once
// The one settings window: seven tabs, built on first use and kept; closing
// only hides it.

#include <optional>

#include <QWidget>

#include "ui/SettingsTab.h"

class QTabWidget;

namespace dz {

class AppSettings;
class DesktopServices;

class SettingsWindow : public QWidget {
  public:
    static constexpr int width = 760;
    static constexpr int height = 600;

    SettingsWindow(AppSettings& settings, DesktopServices& services, QWidget* tryIt = nullptr);

    // Selects `tab` when given (keeps the current one otherwise), sets the
    // size back, and brings the window to the front.
    void show(std::optional<SettingsTab> tab = std::nullopt);

    SettingsTab currentTab() const;
    QTabWidget* tabs() const { return tabs_; }
    QWidget* page(SettingsTab tab) const;

  private:
    QTabWidget* tabs_;
};

}  // namespace dz
