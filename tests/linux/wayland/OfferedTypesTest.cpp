#include <gtest/gtest.h>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/wayland/OfferedTypes.h"

namespace dz::wayland {
namespace {

TEST(OfferedTypes, AnOfferedListIsFilteredAndBounded) {
    std::vector<std::string> types;
    for (const std::string& type :
         std::vector<std::string>{"text/html", "", "text/html", "bad\ntype", std::string(256, 'a'),
                                  std::string(255, 'b'), "text/plain; charset=utf-8"})
        addOfferedType(types, type);
    EXPECT_EQ(types,
              (std::vector<std::string>{"text/html", std::string(255, 'b'), "text/plain; charset=utf-8"}));

    std::vector<std::string> full;
    for (size_t i = 0; i < maxOfferedTypes + 10; ++i) addOfferedType(full, "x/" + std::to_string(i));
    EXPECT_EQ(full.size(), maxOfferedTypes);
}

TEST(OfferedTypes, OurTextGoesOutUnderMimeNamesOnly) {
    auto items = offeredItems(
        {{std::string(pasteboardtype::string), "plain"}, {std::string(pasteboardtype::html), "<b>x</b>"}});
    std::vector<std::string> names;
    for (const auto& item : items) names.push_back(item.target);
    for (const char* x11Only : {"UTF8_STRING", "STRING", "TEXT"})
        EXPECT_EQ(std::count(names.begin(), names.end(), x11Only), 0) << x11Only;
    EXPECT_EQ(std::count(names.begin(), names.end(), "text/plain;charset=utf-8"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "text/html"), 1);
}

}  // namespace
}  // namespace dz::wayland
