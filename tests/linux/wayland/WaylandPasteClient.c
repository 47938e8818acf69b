/* dz_paste_client TITLE: a native Wayland window for the keystroke tests. It
 * maps an xdg_toplevel titled TITLE, prints "focused" when it gets the
 * keyboard, and on Ctrl+V (Shift allowed, no Alt or Super), reads the
 * clipboard as text/plain;charset=utf-8 and prints "paste:" and the text on
 * a line of its own, as an application pastes ("no text to paste" when the
 * clipboard offers none). Runs until it is killed. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "xdg-shell-client.h"

#define TEXT_TYPE "text/plain;charset=utf-8"
#define MAX_PASTE (1 << 20)

static struct wl_display* display;
static struct wl_compositor* compositor;
static struct wl_shm* shm;
static struct xdg_wm_base* wm_base;
static struct wl_seat* seat;
static struct wl_data_device_manager* data_manager;
static struct wl_surface* surface;
static struct wl_keyboard* keyboard;
static struct xkb_context* xkb;
static struct xkb_keymap* keymap;
static struct xkb_state* state;
static struct wl_data_offer* selection; /* the clipboard, when it offers text */
static int running = 1;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    if (strcmp(interface, wl_compositor_interface.name) == 0)
        compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
    else if (strcmp(interface, wl_shm_interface.name) == 0)
        shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (strcmp(interface, xdg_wm_base_interface.name) == 0)
        wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, version < 5 ? version : 5);
    else if (strcmp(interface, wl_data_device_manager_interface.name) == 0)
        data_manager = wl_registry_bind(registry, name, &wl_data_device_manager_interface, 3);
}
static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}
static const struct wl_registry_listener registry_listener = {global, global_remove};

static void ping(void* data, struct xdg_wm_base* base, uint32_t serial) {
    (void)data;
    xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener wm_base_listener = {ping};

/* A small white buffer: enough for the compositor to map the window. */
static struct wl_buffer* white_buffer(int width, int height) {
    int stride = width * 4, size = stride * height;
    int fd = memfd_create("dz-paste-client", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) < 0)
        exit(2);
    void* pixels = mmap(NULL, (size_t)size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED)
        exit(2);
    memset(pixels, 0xff, (size_t)size);
    munmap(pixels, (size_t)size);
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    struct wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

static void surface_configure(void* data, struct xdg_surface* xdg_surface, uint32_t serial) {
    (void)data;
    xdg_surface_ack_configure(xdg_surface, serial);
    wl_surface_attach(surface, white_buffer(64, 64), 0, 0);
    wl_surface_damage(surface, 0, 0, 64, 64);
    wl_surface_commit(surface);
}
static const struct xdg_surface_listener xdg_surface_listener = {surface_configure};

static void toplevel_configure(void* data, struct xdg_toplevel* toplevel, int32_t width, int32_t height,
                               struct wl_array* states) {
    (void)data, (void)toplevel, (void)width, (void)height, (void)states;
}
static void toplevel_close(void* data, struct xdg_toplevel* toplevel) {
    (void)data, (void)toplevel;
    running = 0;
}
static const struct xdg_toplevel_listener toplevel_listener = {.configure = toplevel_configure,
                                                               .close = toplevel_close};

static void offer_type(void* data, struct wl_data_offer* offer, const char* type) {
    (void)offer;
    if (strcmp(type, TEXT_TYPE) == 0)
        *(int*)data = 1;
}
static void offer_actions(void* data, struct wl_data_offer* offer, uint32_t actions) {
    (void)data, (void)offer, (void)actions;
}
static const struct wl_data_offer_listener offer_listener = {offer_type, offer_actions, offer_actions};

static void data_offer(void* data, struct wl_data_device* device, struct wl_data_offer* offer) {
    (void)data, (void)device;
    /* Whether it offers text, as its user data. */
    wl_data_offer_add_listener(offer, &offer_listener, calloc(1, sizeof(int)));
}
static void forget_offer(struct wl_data_offer* offer) {
    if (!offer)
        return;
    free(wl_data_offer_get_user_data(offer));
    wl_data_offer_destroy(offer);
}
static void data_enter(void* data, struct wl_data_device* device, uint32_t serial, struct wl_surface* s,
                       wl_fixed_t x, wl_fixed_t y, struct wl_data_offer* offer) {
    (void)data, (void)device, (void)serial, (void)s, (void)x, (void)y;
    forget_offer(offer); /* drag and drop is not ours to test */
}
static void data_leave(void* data, struct wl_data_device* device) {
    (void)data, (void)device;
}
static void data_motion(void* data, struct wl_data_device* device, uint32_t time, wl_fixed_t x,
                        wl_fixed_t y) {
    (void)data, (void)device, (void)time, (void)x, (void)y;
}
static void data_selection(void* data, struct wl_data_device* device, struct wl_data_offer* offer) {
    (void)data, (void)device;
    if (selection != offer)
        forget_offer(selection);
    selection = offer;
}
static const struct wl_data_device_listener data_device_listener = {data_offer,  data_enter, data_leave,
                                                                    data_motion, data_leave, data_selection};

/* Reads the selection as a pasting application does, for at most 10 s. */
static void paste(void) {
    if (!selection || !*(int*)wl_data_offer_get_user_data(selection)) {
        printf("no text to paste\n");
        fflush(stdout);
        return;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    wl_data_offer_receive(selection, TEXT_TYPE, fds[1]);
    close(fds[1]);
    wl_display_flush(display);
    char* text = malloc(MAX_PASTE + 1);
    size_t length = 0;
    struct timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        clock_gettime(CLOCK_MONOTONIC, &now);
        long left = 10000 - ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000);
        struct pollfd fd = {fds[0], POLLIN, 0};
        if (left <= 0 || poll(&fd, 1, (int)left) <= 0)
            break;
        ssize_t n = read(fds[0], text + length, MAX_PASTE - length);
        if (n <= 0)
            break;
        length += (size_t)n;
        if (length == MAX_PASTE)
            break;
    }
    close(fds[0]);
    text[length] = '\0';
    printf("paste:%s\n", text);
    fflush(stdout);
    free(text);
}

static void kb_keymap(void* data, struct wl_keyboard* kb, uint32_t format, int32_t fd, uint32_t size) {
    (void)data, (void)kb;
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) {
        close(fd);
        return;
    }
    char* text = mmap(NULL, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED)
        return;
    struct xkb_keymap* next =
        xkb_keymap_new_from_buffer(xkb, text, strnlen(text, size), XKB_KEYMAP_FORMAT_TEXT_V1, 0);
    munmap(text, size);
    if (!next)
        return;
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    keymap = next;
    state = xkb_state_new(keymap);
}
static void kb_enter(void* data, struct wl_keyboard* kb, uint32_t serial, struct wl_surface* s,
                     struct wl_array* keys) {
    (void)data, (void)kb, (void)serial, (void)s, (void)keys;
    printf("focused\n");
    fflush(stdout);
}
static void kb_leave(void* data, struct wl_keyboard* kb, uint32_t serial, struct wl_surface* s) {
    (void)data, (void)kb, (void)serial, (void)s;
}
static int active(const char* modifier) {
    return xkb_state_mod_name_is_active(state, modifier, XKB_STATE_MODS_EFFECTIVE) > 0;
}
static void kb_key(void* data, struct wl_keyboard* kb, uint32_t serial, uint32_t time, uint32_t key,
                   uint32_t pressed) {
    (void)data, (void)kb, (void)serial, (void)time;
    if (!state || pressed != WL_KEYBOARD_KEY_STATE_PRESSED)
        return;
    xkb_keysym_t sym = xkb_state_key_get_one_sym(state, key + 8);
    if ((sym == XKB_KEY_v || sym == XKB_KEY_V) && active(XKB_MOD_NAME_CTRL) && !active(XKB_MOD_NAME_ALT) &&
        !active(XKB_MOD_NAME_LOGO))
        paste();
}
static void kb_modifiers(void* data, struct wl_keyboard* kb, uint32_t serial, uint32_t depressed,
                         uint32_t latched, uint32_t locked, uint32_t group) {
    (void)data, (void)kb, (void)serial;
    if (state)
        xkb_state_update_mask(state, depressed, latched, locked, 0, 0, group);
}
static void kb_repeat(void* data, struct wl_keyboard* kb, int32_t rate, int32_t delay) {
    (void)data, (void)kb, (void)rate, (void)delay;
}
static const struct wl_keyboard_listener keyboard_listener = {kb_keymap, kb_enter,     kb_leave,
                                                              kb_key,    kb_modifiers, kb_repeat};

static void seat_capabilities(void* data, struct wl_seat* s, uint32_t capabilities) {
    (void)data;
    /* The seat loses its keyboard when the last (virtual) keyboard goes. */
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard) {
        keyboard = wl_seat_get_keyboard(s);
        wl_keyboard_add_listener(keyboard, &keyboard_listener, NULL);
    } else if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && keyboard) {
        wl_keyboard_release(keyboard);
        keyboard = NULL;
    }
}
static void seat_name(void* data, struct wl_seat* s, const char* name) {
    (void)data, (void)s, (void)name;
}
static const struct wl_seat_listener seat_listener = {seat_capabilities, seat_name};

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: dz_paste_client TITLE\n");
        return 2;
    }
    display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "no Wayland display\n");
        return 1;
    }
    xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !wm_base || !seat || !data_manager) {
        fprintf(stderr, "the compositor lacks a global this client needs\n");
        return 1;
    }
    xdg_wm_base_add_listener(wm_base, &wm_base_listener, NULL);
    wl_seat_add_listener(seat, &seat_listener, NULL);
    struct wl_data_device* device = wl_data_device_manager_get_data_device(data_manager, seat);
    wl_data_device_add_listener(device, &data_device_listener, NULL);

    surface = wl_compositor_create_surface(compositor);
    struct xdg_surface* xdg_surface = xdg_wm_base_get_xdg_surface(wm_base, surface);
    xdg_surface_add_listener(xdg_surface, &xdg_surface_listener, NULL);
    struct xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdg_surface);
    xdg_toplevel_add_listener(toplevel, &toplevel_listener, NULL);
    xdg_toplevel_set_title(toplevel, argv[1]);
    xdg_toplevel_set_app_id(toplevel, "dz_paste_client");
    wl_surface_commit(surface);

    while (running && wl_display_dispatch(display) >= 0) {
    }
    return 0;
}
