#pragma once
// The registry of global shortcuts: gives each (combo, action) pair an
// identifier, registers the combos with the desktop, and routes presses to
// their actions. Suspended while the settings window records a shortcut.

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "app/input/KeyCombo.h"

namespace dz {

class HotKeyService;

class HotKeyCenter {
  public:
    using Action = std::function<void()>;

    explicit HotKeyCenter(HotKeyService& service);
    ~HotKeyCenter();
    HotKeyCenter(const HotKeyCenter&) = delete;
    HotKeyCenter& operator=(const HotKeyCenter&) = delete;

    // Replaces every registration: identifiers 1, 2, 3… in list order. Gives
    // the combos the desktop refused (none while suspended: nothing is
    // registered then).
    std::vector<KeyCombo> setHotKeys(const std::vector<std::pair<KeyCombo, Action>>& hotKeys);
    // Registers every stored combo that is not live; gives the refused ones.
    std::vector<KeyCombo> registerAll();
    // Releases every live registration; the stored combos stay.
    void unregisterAll();

    // While set, presses do nothing. The recorder sets it and calls
    // `unregisterAll`, then clears it and calls `registerAll`.
    bool isSuspended = false;

    // A press of the registration `id`, from the desktop.
    void pressed(uint32_t id);

    const std::map<uint32_t, KeyCombo>& combos() const { return combos_; }
    bool isRegistered(uint32_t id) const { return live_.count(id) > 0; }

  private:
    HotKeyService& service_;
    std::map<uint32_t, KeyCombo> combos_;
    std::map<uint32_t, Action> handlers_;
    std::map<uint32_t, bool> live_;
    bool handlerInstalled_ = false;
};

}  // namespace dz
