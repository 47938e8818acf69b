#include <gtest/gtest.h>

#include "core/LinkDetector.h"

using dz::LinkDetector;

namespace {

std::vector<std::string> found(std::string_view text) {
    std::vector<std::string> out;
    for (const auto& link : LinkDetector::findLinks(text))
        out.emplace_back(text.substr(link.location, link.length));
    return out;
}

}  // namespace

TEST(LinkDetectorTest, FindsAddressesInProse) {
    using V = std::vector<std::string>;
    EXPECT_EQ(found("See https://example.com/a?b=c, then http://x.org."),
              (V{"https://example.com/a?b=c", "http://x.org"}));
    EXPECT_EQ(found("HTTPS://EXAMPLE.COM/X!"), (V{"HTTPS://EXAMPLE.COM/X"}));
    EXPECT_EQ(found("xhttp://a.com 1http://b.com _http://c.com"), (V{"http://c.com"}));
    EXPECT_EQ(found("http:// http://. http://?x http://-a.com"), V{});
}
