#pragma once

#include <map>

#include "ui/KeystrokeSupport.h"

namespace dz {

class FakeKeystrokeSupport : public KeystrokeSupport {
  public:
    std::optional<std::string> reason;  // set: keystrokes cannot be sent
    std::string how;
    ShortcutRoute route = ShortcutRoute::keyGrabs;
    std::map<ShortcutAction, std::string> triggers;
    bool configurable = false;
    int settingsOpened = 0;
    bool tap = true;

    std::optional<std::string> keystrokesUnavailable() const override { return reason; }
    std::string keystrokesRoute() const override { return how; }
    ShortcutRoute shortcutRoute() const override { return route; }
    std::optional<std::string> desktopTrigger(ShortcutAction action) const override {
        auto it = triggers.find(action);
        if (it == triggers.end())
            return std::nullopt;
        return it->second;
    }
    bool canOpenDesktopShortcutSettings() const override { return configurable; }
    void openDesktopShortcutSettings() override { ++settingsOpened; }
    bool tapAvailable() const override { return tap; }
};

}  // namespace dz
