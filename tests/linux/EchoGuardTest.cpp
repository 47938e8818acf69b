// Our own text coming back from a re-copying tool, as a table of copies.
#include <gtest/gtest.h>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/clipboard/EchoGuard.h"

namespace dz {
namespace {

using Items = EchoGuard::Items;

Items text(const std::string& t) {
    return {{std::string(pasteboardtype::string), t}};
}
Items html(const std::string& t) {
    return {{std::string(pasteboardtype::string), t},
            {std::string(pasteboardtype::html), "<b>" + t + "</b>"}};
}

TEST(EchoGuard, TellsOurTextComingBackFromACopy) {
    struct Step {
        Items foreign;
        bool echo;
    };
    EchoGuard guard;
    EXPECT_FALSE(guard.isEcho(text("anything"))) << "nothing published yet";

    guard.published(text("clean"), html("Original"));
    for (const Step& step : std::vector<Step>{
             {text("clean"), true},     // our text, re-copied
             {text("Original"), true},  // the copy we replaced, re-copied by the same tool
             {text("clean"), true},     // again and again
             {html("clean"), false},    // formatting makes it a copy of its own ...
             {text("clean"), false},    // ... after which nothing is an echo
         })
        EXPECT_EQ(guard.isEcho(step.foreign), step.echo) << step.foreign.front().data;

    guard.published(text("first"), text("raw"));
    guard.published(text("second"), {});  // over our own publish
    EXPECT_TRUE(guard.isEcho(text("raw"))) << "what the first of our publishes replaced";
    EXPECT_TRUE(guard.isEcho(text("second")));
    EXPECT_FALSE(guard.isEcho(text("first"))) << "only the last publish";
    guard.published(text("third"), {});
    EXPECT_FALSE(guard.isEcho({})) << "an empty clipboard is a change";
}

}  // namespace
}  // namespace dz
