// One set of calls drives both data-control protocols: that holds only while
// every request and event matches in order, name and signature.
#include <gtest/gtest.h>
#include <wayland-client.h>

#include <cstring>
#include <string>

#include "wayland/ext-data-control-v1-client.h"
#include "wayland/wlr-data-control-unstable-v1-client.h"

namespace {

void expectSameMessages(const wl_message* a, int countA, const wl_message* b, int countB, const char* what) {
    ASSERT_EQ(countA, countB) << what;
    for (int i = 0; i < countA; ++i) {
        EXPECT_STREQ(a[i].name, b[i].name) << what << " " << i;
        // The signatures differ only in a leading "since" version number.
        std::string sa = a[i].signature, sb = b[i].signature;
        auto strip = [](const std::string& s) {
            auto start = s.find_first_not_of("0123456789");
            return start == std::string::npos ? std::string() : s.substr(start);
        };
        EXPECT_EQ(strip(sa), strip(sb)) << what << " " << a[i].name;
    }
}

TEST(DataControlProtocol, ExtAndWlrAgreeMessageByMessage) {
    const wl_interface* pairs[][2] = {
        {&ext_data_control_manager_v1_interface, &zwlr_data_control_manager_v1_interface},
        {&ext_data_control_device_v1_interface, &zwlr_data_control_device_v1_interface},
        {&ext_data_control_source_v1_interface, &zwlr_data_control_source_v1_interface},
        {&ext_data_control_offer_v1_interface, &zwlr_data_control_offer_v1_interface},
    };
    for (auto& [ext, wlr] : pairs) {
        expectSameMessages(ext->methods, ext->method_count, wlr->methods, wlr->method_count, ext->name);
        expectSameMessages(ext->events, ext->event_count, wlr->events, wlr->event_count, ext->name);
    }
}

}  // namespace
