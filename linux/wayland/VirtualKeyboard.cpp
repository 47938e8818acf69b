#include "linux/wayland/VirtualKeyboard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>

#include "wayland/virtual-keyboard-unstable-v1-client.h"

namespace dz::wayland {

using Clock = std::chrono::steady_clock;

struct VirtualKeyboard::Glue {
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
        auto* self = static_cast<VirtualKeyboard*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_)
            self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
        else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
                 !self->manager_)
            self->manager_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
                wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}
    static constexpr wl_registry_listener registry{global, globalRemove};

    static void done(void* data, wl_callback* callback, uint32_t) {
        *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
    }
    static constexpr wl_callback_listener sync{done};
};

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(std::string* error, const char* display,
                                                         const KeymapKeys::Names& names) {
    std::unique_ptr<VirtualKeyboard> keyboard(new VirtualKeyboard());
    if (!keyboard->connect(display, names, error))
        return nullptr;
    keyboard->usable_ = true;
    keyboard->thread_ = std::thread([self = keyboard.get()] { self->run(); });
    return keyboard;
}

VirtualKeyboard::~VirtualKeyboard() {
    if (thread_.joinable()) {
        stopping_ = true;
        wl_.wake();
        thread_.join();
    }
    if (wl_.display()) {
        if (keyboard_)
            zwp_virtual_keyboard_v1_destroy(keyboard_);
        if (manager_)
            zwp_virtual_keyboard_manager_v1_destroy(manager_);
        if (seat_)
            wl_seat_destroy(seat_);
        wl_display_flush(wl_.display());
    }
}

bool VirtualKeyboard::connect(const char* display, const KeymapKeys::Names& names, std::string* error) {
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    keys_ = KeymapKeys::forTyping(names, error);
    if (!keys_)
        return false;
    if (!wl_.open(display, &Glue::registry, this, error))
        return false;
    if (!roundTrip(setUpTimeout))
        return fail("the Wayland display does not answer");
    if (!seat_)
        return fail("the Wayland display has no seat");
    if (!manager_)
        return fail("the compositor offers no virtual keyboard");
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_, seat_);
    if (!uploadKeymap(error))
        return false;
    return wl_.openWake(error);
}

bool VirtualKeyboard::uploadKeymap(std::string* error) {
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    const std::string& text = keys_->text();
    const size_t size = text.size() + 1;  // with its terminating NUL, as compositors expect
    const int fd = memfd_create("dozuzavuvu-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return fail("cannot create the keymap's memory file");
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text.c_str() + written, size - written);
        if (n <= 0) {
            close(fd);
            return fail("cannot write the keymap");
        }
        written += size_t(n);
    }
    // The compositor maps it: it must not change under it.
    fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);  // the request carries a copy
    // A keyboard whose keymap the compositor could not take is refused its
    // first event with an error: clearing the modifiers tells us now, and
    // types nothing.
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
    if (!roundTrip(setUpTimeout) || wl_display_get_error(wl_.display()) != 0)
        return fail("the compositor refused the virtual keyboard or its keymap");
    return true;
}

bool VirtualKeyboard::roundTrip(std::chrono::milliseconds timeout) {
    bool done = false;
    wl_callback* callback = wl_display_sync(wl_.display());
    wl_callback_add_listener(callback, &Glue::sync, &done);
    const auto until = Clock::now() + timeout;
    while (!done && wl_display_dispatch_pending(wl_.display()) >= 0 && !done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0)
            break;
        if (wl_display_prepare_read(wl_.display()) != 0)
            continue;
        if (wl_display_flush(wl_.display()) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(wl_.display());
            break;
        }
        pollfd fd{wl_display_get_fd(wl_.display()), POLLIN, 0};
        if (poll(&fd, 1, int(left.count())) <= 0)
            wl_display_cancel_read(wl_.display());
        else if (wl_display_read_events(wl_.display()) < 0)
            break;
    }
    if (!done)
        wl_callback_destroy(callback);
    return done;
}

void VirtualKeyboard::press(uint32_t keyCode, uint32_t modifiers) {
    if (!usable_)
        return;
    const auto stroke = keys_->stroke(keyCode, modifiers);
    if (!stroke)
        return;
    {
        std::lock_guard lock(mutex_);
        if (pending_.size() >= maxPending)
            return;
        pending_.push_back(*stroke);
    }
    wl_.wake();
}

void VirtualKeyboard::type(const KeymapKeys::Stroke& stroke) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    const uint32_t time = uint32_t(now.count());
    zwp_virtual_keyboard_v1_modifiers(keyboard_, stroke.depressed, 0, 0, 0);
    zwp_virtual_keyboard_v1_key(keyboard_, time, stroke.key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard_, time, stroke.key, WL_KEYBOARD_KEY_STATE_RELEASED);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, 0, 0, 0, 0);
}

void VirtualKeyboard::run() {
    const int fd = wl_display_get_fd(wl_.display());
    // Requests the socket would not take yet wait in libwayland's buffer;
    // the compositor not reading only delays them, it never holds up press().
    bool wantWrite = false;
    while (!stopping_) {
        bool failed = false;
        while (!failed && wl_display_prepare_read(wl_.display()) != 0)
            failed = wl_display_dispatch_pending(wl_.display()) < 0;
        if (failed)
            break;
        if (wl_display_flush(wl_.display()) < 0) {
            if (errno != EAGAIN) {
                wl_display_cancel_read(wl_.display());
                break;
            }
            wantWrite = true;
        } else {
            wantWrite = false;
        }
        pollfd fds[2] = {{fd, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0}, {wl_.wakeFD(), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            wl_display_cancel_read(wl_.display());
            break;
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
            if (wl_display_read_events(wl_.display()) < 0)
                break;
        } else {
            wl_display_cancel_read(wl_.display());
        }
        if (wl_display_dispatch_pending(wl_.display()) < 0)
            break;
        if (fds[1].revents & POLLIN) {
            wl_.drainWake();
            std::deque<KeymapKeys::Stroke> strokes;
            {
                std::lock_guard lock(mutex_);
                strokes.swap(pending_);
            }
            for (const auto& stroke : strokes) type(stroke);
        }
    }
    usable_ = false;
}

}  // namespace dz::wayland
