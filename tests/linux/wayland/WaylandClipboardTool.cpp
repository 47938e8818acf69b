// Another Wayland client for the clipboard tests, over ext-data-control-v1
// (or wlr-data-control, which has the same messages):
//   copy [--hang] TYPE=TEXT|TYPE=@FILE ...  take the selection, print "owned",
//                                           serve until replaced (--hang: never answer)
//   paste TYPE                              print the selection's TYPE
//   types                                   print the offered types, one a line
//   stall TYPE                              ask for TYPE, never read it, print "asked"
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "wayland/ext-data-control-v1-client.h"
#include "wayland/wlr-data-control-unstable-v1-client.h"

namespace {

struct Tool {
    wl_seat* seat = nullptr;
    ext_data_control_manager_v1* manager = nullptr;
    ext_data_control_offer_v1* selection = nullptr;
    std::map<ext_data_control_offer_v1*, std::vector<std::string>> offers;
    std::map<std::string, std::string> data;
    bool hang = false;
    bool cancelled = false;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* tool = static_cast<Tool*>(data);
    if (std::strcmp(interface, "wl_seat") == 0)
        tool->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    if (std::strcmp(interface, "ext_data_control_manager_v1") == 0)
        tool->manager = static_cast<ext_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &ext_data_control_manager_v1_interface, 1));
    if (std::strcmp(interface, "zwlr_data_control_manager_v1") == 0 && !tool->manager)
        tool->manager = static_cast<ext_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 2));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

void offerType(void* data, ext_data_control_offer_v1* offer, const char* type) {
    static_cast<Tool*>(data)->offers[offer].emplace_back(type);
}
const ext_data_control_offer_v1_listener offerListener{offerType};

void dataOffer(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
    ext_data_control_offer_v1_add_listener(offer, &offerListener, data);
}
void selection(void* data, ext_data_control_device_v1*, ext_data_control_offer_v1* offer) {
    static_cast<Tool*>(data)->selection = offer;
}
void finished(void*, ext_data_control_device_v1*) {}
void primary(void*, ext_data_control_device_v1*, ext_data_control_offer_v1*) {}
const ext_data_control_device_v1_listener deviceListener{dataOffer, selection, finished, primary};

void send(void* data, ext_data_control_source_v1*, const char* type, int32_t fd) {
    auto* tool = static_cast<Tool*>(data);
    if (tool->hang)
        return;  // keeps the descriptor open and never writes
    auto it = tool->data.find(type);
    if (it != tool->data.end()) {
        size_t done = 0;
        while (done < it->second.size()) {
            ssize_t n = write(fd, it->second.data() + done, it->second.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
    }
    close(fd);
}
void cancelled(void* data, ext_data_control_source_v1*) {
    static_cast<Tool*>(data)->cancelled = true;
}
const ext_data_control_source_v1_listener sourceListener{send, cancelled};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    signal(SIGPIPE, SIG_IGN);
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return 3;
    Tool tool;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &tool);
    wl_display_roundtrip(display);
    if (!tool.seat || !tool.manager)
        return 4;
    auto* device = ext_data_control_manager_v1_get_data_device(tool.manager, tool.seat);
    ext_data_control_device_v1_add_listener(device, &deviceListener, &tool);
    wl_display_roundtrip(display);
    std::string command = argv[1];

    if (command == "copy") {
        auto* source = ext_data_control_manager_v1_create_data_source(tool.manager);
        ext_data_control_source_v1_add_listener(source, &sourceListener, &tool);
        for (int i = 2; i < argc; ++i) {
            std::string arg = argv[i];
            if (arg == "--hang") {
                tool.hang = true;
                continue;
            }
            auto eq = arg.find('=');
            if (eq == std::string::npos)
                return 2;
            std::string type = arg.substr(0, eq), value = arg.substr(eq + 1);
            if (!value.empty() && value[0] == '@') {
                std::ifstream in(value.substr(1), std::ios::binary);
                value.assign(std::istreambuf_iterator<char>(in), {});
            }
            tool.data[type] = value;
            ext_data_control_source_v1_offer(source, type.c_str());
        }
        ext_data_control_device_v1_set_selection(device, source);
        wl_display_roundtrip(display);
        std::printf("owned\n");
        std::fflush(stdout);
        while (!tool.cancelled && wl_display_dispatch(display) >= 0) {
        }
        return 0;
    }
    if (!tool.selection)
        return 1;
    if (command == "types") {
        for (const auto& type : tool.offers[tool.selection]) std::printf("%s\n", type.c_str());
        return 0;
    }
    if (command == "stall" && argc == 3) {
        int ends[2];
        if (pipe(ends) != 0)
            return 5;
        ext_data_control_offer_v1_receive(tool.selection, argv[2], ends[1]);
        close(ends[1]);
        wl_display_roundtrip(display);
        std::printf("asked\n");
        std::fflush(stdout);
        pause();
        return 0;
    }
    if (command == "paste" && argc == 3) {
        int ends[2];
        if (pipe(ends) != 0)
            return 5;
        ext_data_control_offer_v1_receive(tool.selection, argv[2], ends[1]);
        close(ends[1]);
        wl_display_flush(display);
        char buffer[65536];
        ssize_t n;
        while ((n = read(ends[0], buffer, sizeof buffer)) > 0) fwrite(buffer, 1, size_t(n), stdout);
        close(ends[0]);
        std::fflush(stdout);
        return 0;
    }
    return 2;
}
