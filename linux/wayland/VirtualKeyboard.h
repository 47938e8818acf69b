#pragma once
// Keystrokes through the compositor's virtual keyboard
// (zwp_virtual_keyboard_manager_v1, offered by wlroots compositors), on its
// own connection and thread. Keys reach the focused window whether it is a
// native Wayland or an Xwayland one.
//
// A virtual keyboard carries its own modifier state: the compositor hands the
// focused window our modifiers with our keys, so modifiers the user still
// holds on the real keyboard (say, those of the shortcut that asked for the
// paste) do not leak into the keystroke.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/platform/KeystrokeSender.h"
#include "linux/wayland/KeymapKeys.h"
#include "linux/wayland/WaylandConnection.h"

struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace dz::wayland {

class VirtualKeyboard final : public KeystrokeSender {
  public:
    // How long the compositor may take to answer while setting up.
    static constexpr std::chrono::milliseconds setUpTimeout{2000};
    // Keystrokes waiting for a compositor that does not read; more are dropped.
    static constexpr size_t maxPending = 8;

    // Nothing, with the reason, without a Wayland display, a seat or the
    // virtual-keyboard global, or when the compositor refuses our keymap.
    // `display` names the socket (by default WAYLAND_DISPLAY); `names` the
    // keymap (by default the XKB_DEFAULT_* variables, else US).
    static std::unique_ptr<VirtualKeyboard> create(std::string* error = nullptr,
                                                   const char* display = nullptr,
                                                   const KeymapKeys::Names& names = {});
    ~VirtualKeyboard() override;
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // False once the compositor has closed our connection.
    bool canSendKeystrokes() const override { return usable_; }
    void press(uint32_t keyCode, uint32_t modifiers) override;

    const KeymapKeys& keys() const { return *keys_; }

    // Wayland's C callbacks reach these.
    struct Glue;

  private:
    VirtualKeyboard() = default;
    bool connect(const char* display, const KeymapKeys::Names& names, std::string* error);
    bool uploadKeymap(std::string* error);
    // A round trip that gives up after `timeout`.
    bool roundTrip(std::chrono::milliseconds timeout);
    void run();
    void type(const KeymapKeys::Stroke& stroke);

    std::unique_ptr<KeymapKeys> keys_;
    WaylandConnection wl_;
    wl_seat* seat_ = nullptr;
    zwp_virtual_keyboard_manager_v1* manager_ = nullptr;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> usable_{false};
    std::mutex mutex_;
    std::deque<KeymapKeys::Stroke> pending_;
};

}  // namespace dz::wayland
