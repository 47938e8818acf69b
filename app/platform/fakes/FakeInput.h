#pragma once
// Keyboard fakes: key events the test sends, hot keys the test presses and
// keystrokes the program presses, recorded.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "app/platform/HotKeyService.h"
#include "app/platform/KeyEventSource.h"
#include "app/platform/KeystrokeSender.h"

namespace dz::fake {

class FakeKeyEventSource final : public KeyEventSource {
  public:
    void setHandler(Handler handler) override { handler_ = std::move(handler); }
    std::optional<bool> isHeld(KeyStateEvent::Key key) const override {
        return key == KeyStateEvent::Key::alt ? altHeld : std::nullopt;
    }
    // What the desktop says of Alt when asked; nothing: it cannot tell.
    std::optional<bool> altHeld;
    void send(const KeyStateEvent& event) {
        if (handler_)
            handler_(event);
    }

  private:
    Handler handler_;
};

class FakeHotKeyService final : public HotKeyService {
  public:
    using Keys = std::pair<uint32_t, uint32_t>;  // key code, modifier mask

    bool registerHotKey(uint32_t id, const KeyCombo& combo) override {
        Keys keys{combo.keyCode, combo.carbonModifiers};
        ++registrations;
        if (taken.count(keys))
            return false;
        for (const auto& [otherID, other] : registered)
            if (other == keys && otherID != id)
                return false;
        registered[id] = keys;
        return true;
    }
    void unregisterHotKey(uint32_t id) override { registered.erase(id); }
    void setPressHandler(PressHandler handler) override { handler_ = std::move(handler); }

    // The user presses these keys; false when nothing is registered for them.
    bool press(uint32_t keyCode, uint32_t modifiers) {
        for (const auto& [id, keys] : registered)
            if (keys == Keys{keyCode, modifiers}) {
                if (handler_)
                    handler_(id);
                return true;
            }
        return false;
    }

    std::map<uint32_t, Keys> registered;  // live registrations by id
    std::set<Keys> taken;                 // held by another application
    int registrations = 0;                // calls of registerHotKey

  private:
    PressHandler handler_;
};

class FakeKeystrokeSender final : public KeystrokeSender {
  public:
    bool canSendKeystrokes() const override { return canSend; }
    bool reachesKnownWindowsOnly() const override { return knownWindowsOnly; }
    void press(uint32_t keyCode, uint32_t modifiers) override {
        pressed.emplace_back(keyCode, modifiers);
        if (onPress)
            onPress(keyCode, modifiers);
    }

    bool canSend = true;
    bool knownWindowsOnly = false;  // as through Xwayland
    std::vector<std::pair<uint32_t, uint32_t>> pressed;
    std::function<void(uint32_t keyCode, uint32_t modifiers)> onPress;
};

}  // namespace dz::fake
