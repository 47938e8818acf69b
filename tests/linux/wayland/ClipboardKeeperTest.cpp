// The keeper's hand-over file: what goes in comes out, and a damaged file is
// refused rather than served in part.
#include <gtest/gtest.h>

#include "linux/wayland/ClipboardKeeper.h"

namespace dz::wayland {
namespace {

TEST(ClipboardKeeper, ContentRoundTrips) {
    for (const auto& content : std::vector<std::vector<x11::MimeItem>>{
             {},
             {{"text/plain;charset=utf-8", "hello"}},
             {{"text/html", std::string("<b>\0x</b>", 9)}, {"application/x-dozuzavuvu-processed", ""}},
             {{"text/plain", std::string(100'000, 'x')}}}) {
        auto decoded = ClipboardKeeper::decode(ClipboardKeeper::encode(content));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, content);
    }
}

TEST(ClipboardKeeper, DamagedContentIsRefused) {
    const std::string good = ClipboardKeeper::encode({{"text/plain", "abc"}, {"text/html", "<i>x</i>"}});
    EXPECT_FALSE(ClipboardKeeper::decode(good.substr(0, good.size() - 1))) << "cut short";
    EXPECT_FALSE(ClipboardKeeper::decode(good + "x")) << "trailing bytes";
    std::string huge = good;
    huge[8] = '\xFF';  // the first type's length, far past the end
    huge[15] = '\x7F';
    EXPECT_FALSE(ClipboardKeeper::decode(huge));
    EXPECT_FALSE(ClipboardKeeper::decode(std::string(8, '\xFF'))) << "an absurd count";
    EXPECT_FALSE(ClipboardKeeper::decode(""));
}

}  // namespace
}  // namespace dz::wayland
