#pragma once
// The program's actions as the desktop portal's global shortcuts: all of
// them bound with their titles (so that the user can give any of them keys
// in the desktop's settings), the stored combinations as preferred keys,
// bound again when those change, and each press run as its action.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/input/ShortcutAction.h"
#include "app/settings/AppSettings.h"
#include "linux/portal/PortalGlobalShortcuts.h"

namespace dz {
class ShortcutActions;
}

namespace dz::portal {

class PortalShortcutBinding {
  public:
    // Nothing when the session has no portal with global shortcuts.
    // `triggersChanged` runs on the main thread when the desktop reports
    // other keys. Everything given must outlive the binding.
    static std::unique_ptr<PortalShortcutBinding> open(AppSettings& settings, ShortcutActions& actions,
                                                       Scheduler& scheduler,
                                                       std::function<void()> triggersChanged,
                                                       std::string* error = nullptr);

    // The keys the desktop shows for this action, once it has said.
    std::optional<std::string> trigger(ShortcutAction action) const;
    bool canConfigure() const { return portal_->canConfigure(); }
    void configure() { portal_->configure(); }

    // What is bound for these settings.
    static std::vector<PortalGlobalShortcuts::Shortcut> shortcutsFor(const SettingsData& data);

  private:
    PortalShortcutBinding() = default;

    std::unique_ptr<PortalGlobalShortcuts> portal_;
    PortalGlobalShortcuts::Triggers triggers_;
    std::function<void()> triggersChanged_;
    Observable<SettingsData>::Subscription subscription_;
};

}  // namespace dz::portal
