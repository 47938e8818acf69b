#include <gtest/gtest.h>

#include "linux/accessibility/PageAddressWalk.h"

namespace dz::x11 {
namespace {

// A tree built by the test; counts calls.
class FakeTree final : public AccessibleTree {
  public:
    struct Node {
        uint32_t role = 0;
        uint64_t states = 0;
        std::vector<std::string> kids;
        std::map<std::string, std::string> attributes;
    };
    std::map<std::string, Node> nodes;
    int calls = 0;

    std::optional<std::vector<AccessibleRef>> children(const AccessibleRef& n) override {
        ++calls;
        auto it = nodes.find(n.path);
        if (it == nodes.end())
            return std::nullopt;
        std::vector<AccessibleRef> out;
        for (auto& k : it->second.kids) out.push_back({":1.5", k});
        return out;
    }
    std::optional<uint32_t> role(const AccessibleRef& n) override {
        ++calls;
        return nodes.count(n.path) ? std::optional(nodes[n.path].role) : std::nullopt;
    }
    std::optional<uint64_t> states(const AccessibleRef& n) override {
        ++calls;
        return nodes.count(n.path) ? std::optional(nodes[n.path].states) : std::nullopt;
    }
    std::optional<std::map<std::string, std::string>> documentAttributes(const AccessibleRef& n) override {
        ++calls;
        return nodes.count(n.path) ? std::optional(nodes[n.path].attributes) : std::nullopt;
    }
};

constexpr uint64_t active = 1ull << atspi::stateActive;
constexpr uint64_t showing = 1ull << atspi::stateShowing;

FakeTree browser() {
    FakeTree t;
    t.nodes["app"] = {75, 0, {"w1", "w2"}, {}};
    t.nodes["w1"] = {23, 0, {"d1"}, {}};
    t.nodes["d1"] = {95, showing, {}, {{"DocURL", "https://inactive.example/"}}};
    t.nodes["w2"] = {23, active, {"toolbar", "tabs"}, {}};
    t.nodes["toolbar"] = {0, 0, {}, {}};
    t.nodes["tabs"] = {0, 0, {"bg", "fg"}, {}};
    t.nodes["bg"] = {95, 0, {}, {{"DocURL", "https://background.example/"}}};
    t.nodes["fg"] = {
        95, showing, {"inner"}, {{"URI", "https://front.example/page"}, {"MimeType", "text/html"}}};
    t.nodes["inner"] = {95, showing, {}, {{"URI", "https://iframe.example/"}}};
    return t;
}

TEST(PageAddressWalk, TheShownDocumentOfTheActiveWindow) {
    auto t = browser();
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}), "https://front.example/page");
    // No window says it is active: every window is searched, in order.
    t.nodes["w2"].states = 0;
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}), "https://inactive.example/");
    // A document without an address, or one that fails to answer, is passed over.
    t = browser();
    t.nodes["fg"].attributes = {{"DocURL", ""}};
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}), std::nullopt);
    t.nodes.erase("app");
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}), std::nullopt);
}

TEST(PageAddressWalk, BoundedByNodesAndTime) {
    FakeTree t;
    t.nodes["app"] = {75, 0, {"w"}, {}};
    t.nodes["w"] = {23, active, {}, {}};
    // A wide tree: the document sits beyond the budget.
    for (int i = 0; i < 2000; ++i) t.nodes["w"].kids.push_back("n" + std::to_string(i));
    t.nodes["w"].kids.push_back("doc");
    t.nodes["doc"] = {95, showing, {}, {{"DocURL", "https://far.example/"}}};
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}), std::nullopt);
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}, {2002, {}}), "https://far.example/");
    int checks = 0;
    t.calls = 0;
    EXPECT_EQ(findPageAddress(t, {":1.5", "app"}, {1500, [&] { return ++checks > 10; }}), std::nullopt);
    EXPECT_LT(t.calls, 25);
}

}  // namespace
}  // namespace dz::x11
