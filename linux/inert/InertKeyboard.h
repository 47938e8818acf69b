#pragma once
// The keyboard where the program can neither grab, watch nor press keys (a
// Wayland desktop without Xwayland). Shortcuts are accepted and never fire:
// refusing them would read as another application holding the keys, while
// the Shortcuts tab already says why they are idle and how to bind the
// addresses instead. No keystroke can be sent, which the settings say too.

#include "app/platform/HotKeyService.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/KeystrokeSender.h"

namespace dz {

class InertKeyboard final : public HotKeyService, public KeyEventSource, public KeystrokeSender {
  public:
    bool registerHotKey(uint32_t, const KeyCombo&) override { return true; }
    void unregisterHotKey(uint32_t) override {}
    void setPressHandler(PressHandler) override {}

    void setHandler(KeyEventSource::Handler) override {}

    bool canSendKeystrokes() const override { return false; }
    void press(uint32_t, uint32_t) override {}
};

}  // namespace dz
