#include "tests/linux/wayland/FakeCompositor.h"

#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "wayland/ext-data-control-v1-server.h"
#include "wayland/wlr-foreign-toplevel-management-unstable-v1-server.h"

namespace dz::wayland::test {

struct Source {
    wl_resource* resource = nullptr;
    std::vector<std::string> types;
    std::vector<wl_resource*> offers;
};

struct Window {
    std::string appID, title;
    bool active = false;
    std::vector<wl_resource*> handles;  // one per client following the list
};

struct FakeCompositor::State {
    std::vector<wl_resource*> devices;
    Source* selection = nullptr;
    std::vector<wl_resource*> windowLists;
    std::map<int, Window> windows;

    void announce(wl_resource* device) {
        if (!selection) {
            ext_data_control_device_v1_send_selection(device, nullptr);
            return;
        }
        wl_resource* offer =
            wl_resource_create(wl_resource_get_client(device), &ext_data_control_offer_v1_interface,
                               wl_resource_get_version(device), 0);
        wl_resource_set_implementation(offer, &offerImpl, selection, offerGone);
        selection->offers.push_back(offer);
        ext_data_control_device_v1_send_data_offer(device, offer);
        for (const auto& type : selection->types) ext_data_control_offer_v1_send_offer(offer, type.c_str());
        ext_data_control_device_v1_send_selection(device, offer);
    }
    void select(Source* source) {
        if (source == selection)
            return;
        if (selection)
            ext_data_control_source_v1_send_cancelled(selection->resource);
        selection = source;
        for (auto* device : devices) announce(device);
    }

    static State* of(wl_resource* resource) {
        return static_cast<State*>(wl_resource_get_user_data(resource));
    }
    static void destroy(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }

    // Offers
    static void receive(wl_client*, wl_resource* offer, const char* type, int32_t fd) {
        if (auto* source = static_cast<Source*>(wl_resource_get_user_data(offer)))
            ext_data_control_source_v1_send_send(source->resource, type, fd);
        close(fd);
    }
    static void offerGone(wl_resource* offer) {
        if (auto* source = static_cast<Source*>(wl_resource_get_user_data(offer)))
            std::erase(source->offers, offer);
    }
    static constexpr struct ext_data_control_offer_v1_interface offerImpl { receive, destroy };

    // Sources
    static void offerType(wl_client*, wl_resource* resource, const char* type) {
        static_cast<Source*>(wl_resource_get_user_data(resource))->types.emplace_back(type);
    }
    static constexpr struct ext_data_control_source_v1_interface sourceImpl { offerType, destroy };

    // Devices
    static void setSelection(wl_client*, wl_resource* device, wl_resource* source) {
        of(device)->select(source ? static_cast<Source*>(wl_resource_get_user_data(source)) : nullptr);
    }
    static void setPrimary(wl_client*, wl_resource*, wl_resource*) {}
    static void deviceGone(wl_resource* device) { std::erase(of(device)->devices, device); }
    static constexpr struct ext_data_control_device_v1_interface deviceImpl {
        setSelection, destroy, setPrimary
    };

    // The manager
    static void createSource(wl_client* client, wl_resource* manager, uint32_t id) {
        auto* source = new Source;
        source->resource = wl_resource_create(client, &ext_data_control_source_v1_interface,
                                              wl_resource_get_version(manager), id);
        wl_resource_set_implementation(source->resource, &sourceImpl, source, [](wl_resource* resource) {
            auto* gone = static_cast<Source*>(wl_resource_get_user_data(resource));
            for (auto* offer : gone->offers) wl_resource_set_user_data(offer, nullptr);
            if (current && current->selection == gone) {
                current->selection = nullptr;
                for (auto* device : current->devices) current->announce(device);
            }
            delete gone;
        });
    }
    static void getDevice(wl_client* client, wl_resource* manager, uint32_t id, wl_resource*) {
        wl_resource* device = wl_resource_create(client, &ext_data_control_device_v1_interface,
                                                 wl_resource_get_version(manager), id);
        wl_resource_set_implementation(device, &deviceImpl, of(manager), deviceGone);
        of(manager)->devices.push_back(device);
        of(manager)->announce(device);
    }
    static constexpr struct ext_data_control_manager_v1_interface managerImpl {
        createSource, getDevice, destroy
    };
    static void bindManager(wl_client* client, void* data, uint32_t version, uint32_t id) {
        wl_resource* manager =
            wl_resource_create(client, &ext_data_control_manager_v1_interface, int(version), id);
        wl_resource_set_implementation(manager, &managerImpl, data, nullptr);
    }

    // The seat: nothing but its name.
    static void noDevice(wl_client*, wl_resource*, uint32_t) {}
    static constexpr struct wl_seat_interface seatImpl { noDevice, noDevice, noDevice, destroy };
    static void bindSeat(wl_client* client, void*, uint32_t version, uint32_t id) {
        wl_resource* seat = wl_resource_create(client, &::wl_seat_interface, int(version), id);
        wl_resource_set_implementation(seat, &seatImpl, nullptr, nullptr);
    }

    // The window list
    static void describe(wl_resource* handle, const Window& window) {
        zwlr_foreign_toplevel_handle_v1_send_app_id(handle, window.appID.c_str());
        zwlr_foreign_toplevel_handle_v1_send_title(handle, window.title.c_str());
        wl_array states;
        wl_array_init(&states);
        if (window.active)
            *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) =
                ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        zwlr_foreign_toplevel_handle_v1_send_state(handle, &states);
        wl_array_release(&states);
        zwlr_foreign_toplevel_handle_v1_send_done(handle);
    }
    void announce(wl_resource* list, Window& window) {
        wl_resource* handle =
            wl_resource_create(wl_resource_get_client(list), &zwlr_foreign_toplevel_handle_v1_interface,
                               wl_resource_get_version(list), 0);
        wl_resource_set_implementation(handle, &handleImpl, this, handleGone);
        window.handles.push_back(handle);
        zwlr_foreign_toplevel_manager_v1_send_toplevel(list, handle);
        describe(handle, window);
    }
    void changed(Window& window) {
        for (auto* handle : window.handles) describe(handle, window);
    }
    static void handleGone(wl_resource* handle) {
        for (auto& [key, window] : of(handle)->windows) std::erase(window.handles, handle);
    }
    static void noRequest(wl_client*, wl_resource*) {}
    static void activateRequest(wl_client*, wl_resource*, wl_resource*) {}
    static void rectangle(wl_client*, wl_resource*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
    static void fullscreen(wl_client*, wl_resource*, wl_resource*) {}
    static constexpr struct zwlr_foreign_toplevel_handle_v1_interface handleImpl {
        noRequest, noRequest, noRequest, noRequest, activateRequest, noRequest, rectangle, destroy,
            fullscreen, noRequest
    };
    static void stopList(wl_client*, wl_resource* list) {
        zwlr_foreign_toplevel_manager_v1_send_finished(list);
        wl_resource_destroy(list);
    }
    static constexpr struct zwlr_foreign_toplevel_manager_v1_interface listImpl { stopList };
    static void listGone(wl_resource* list) { std::erase(of(list)->windowLists, list); }
    static void bindWindowList(wl_client* client, void* data, uint32_t version, uint32_t id) {
        wl_resource* list =
            wl_resource_create(client, &zwlr_foreign_toplevel_manager_v1_interface, int(version), id);
        wl_resource_set_implementation(list, &listImpl, data, listGone);
        auto* state = static_cast<State*>(data);
        state->windowLists.push_back(list);
        for (auto& [key, window] : state->windows) state->announce(list, window);
    }

    // The one compositor of the process, for the source destructor above.
    static inline State* current = nullptr;
};

FakeCompositor::FakeCompositor() {
    // The socket needs a runtime folder; CI's root session has none.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!runtime || stat(runtime, &st) != 0 || !S_ISDIR(st.st_mode)) {
        char made[] = "/tmp/dz-runtime-XXXXXX";
        if (mkdtemp(made))
            setenv("XDG_RUNTIME_DIR", made, 1);
    }
    display_ = wl_display_create();
    if (!display_)
        return;
    state_ = new State;
    State::current = state_;
    wl_global_create(display_, &::wl_seat_interface, 1, state_, State::bindSeat);
    wl_global_create(display_, &ext_data_control_manager_v1_interface, 1, state_, State::bindManager);
    wl_global_create(display_, &zwlr_foreign_toplevel_manager_v1_interface, 3, state_, State::bindWindowList);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    wakeSource_ = wl_event_loop_add_fd(
        wl_display_get_event_loop(display_), wake_, WL_EVENT_READABLE,
        [](int fd, uint32_t, void* data) {
            uint64_t count;
            (void)!read(fd, &count, sizeof count);
            auto* self = static_cast<FakeCompositor*>(data);
            std::vector<std::function<void(State&)>> tasks;
            {
                std::lock_guard lock(self->tasksMutex_);
                tasks.swap(self->tasks_);
            }
            for (auto& task : tasks) task(*self->state_);
            return 0;
        },
        this);
    const char* name = wl_display_add_socket_auto(display_);
    if (!name)
        return;
    socket_ = name;
    thread_ = std::thread([this] {
        wl_event_loop* loop = wl_display_get_event_loop(display_);
        while (!stop_) {
            wl_event_loop_dispatch(loop, 20);
            wl_display_flush_clients(display_);
        }
    });
}

FakeCompositor::~FakeCompositor() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (wakeSource_)
        wl_event_source_remove(wakeSource_);
    if (display_) {
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
    }
    State::current = nullptr;
    delete state_;
    if (wake_ >= 0)
        close(wake_);
}

void FakeCompositor::onCompositorThread(std::function<void(State&)> task) {
    {
        std::lock_guard lock(tasksMutex_);
        tasks_.push_back(std::move(task));
    }
    uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
}

void FakeCompositor::openWindow(int key, const std::string& appID, const std::string& title) {
    onCompositorThread([key, appID, title](State& state) {
        Window& window = state.windows[key];
        window.appID = appID;
        window.title = title;
        for (auto* list : state.windowLists) state.announce(list, window);
    });
}

void FakeCompositor::setTitle(int key, const std::string& title) {
    onCompositorThread([key, title](State& state) {
        if (auto it = state.windows.find(key); it != state.windows.end()) {
            it->second.title = title;
            state.changed(it->second);
        }
    });
}

void FakeCompositor::setAppID(int key, const std::string& appID) {
    onCompositorThread([key, appID](State& state) {
        if (auto it = state.windows.find(key); it != state.windows.end()) {
            it->second.appID = appID;
            state.changed(it->second);
        }
    });
}

void FakeCompositor::activate(int key) {
    onCompositorThread([key](State& state) {
        // As a compositor does: the window losing focus hears of it first.
        for (auto& [k, window] : state.windows)
            if (window.active && k != key) {
                window.active = false;
                state.changed(window);
            }
        if (auto it = state.windows.find(key); it != state.windows.end() && !it->second.active) {
            it->second.active = true;
            state.changed(it->second);
        }
    });
}

void FakeCompositor::closeWindow(int key) {
    onCompositorThread([key](State& state) {
        auto it = state.windows.find(key);
        if (it == state.windows.end())
            return;
        for (auto* handle : it->second.handles) {
            zwlr_foreign_toplevel_handle_v1_send_closed(handle);
        }
        state.windows.erase(it);
    });
}

void FakeCompositor::withdrawWindowList() {
    onCompositorThread([](State& state) {
        auto lists = state.windowLists;
        for (auto* list : lists) State::stopList(nullptr, list);
    });
}

}  // namespace dz::wayland::test
