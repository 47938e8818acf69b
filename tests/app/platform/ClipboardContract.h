#pragma once
// What every clipboard backend promises the controller, written once and run
// against each backend. A backend's test supplies a harness type with:
//   static constexpr std::string_view copierID;  // the copying application's id
//   Clipboard& clipboard();
//   void copy(const Clipboard::Rendition& items);  // another application copies
//   std::string paste(int requester);  // requester 0 or 1 pastes; its plain text
//   void probe();  // requester 0 reads only which types there are
//   void save();  // a clipboard manager asks to keep the contents
//   std::string requesterID(int requester);
//   bool runUntil(const std::function<bool()>& done);  // turns the main loop
//   void settle();  // turns the main loop until nothing more is due
//   void whenAsked(std::function<bool()> step);  // while a paste waits, each
//       turn of the main loop tries `step` until it returns true
// Optional traits, true when left out:
//   static constexpr bool namesCopier;  // every copy's owner is known (on
//       Wayland the copier is found only while it still writes)
//   static constexpr bool seesProbes;  // a look at the types reaches the
//       owner, and clipboard managers ask to keep the contents (not on Wayland)
// Real backends also pass `RealClipboardContract`, which needs:
//   static constexpr size_t maxItemBytes;
//   void copyHung();  // an owner that never answers
// and runs cases only a real desktop can show: the size cap and a hung owner.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/Clipboard.h"
#include "app/platform/Workspace.h"
#include "core/clipboard/PasteboardTypes.h"

namespace dz::test {

inline std::optional<std::string> itemOf(const Clipboard::Rendition& items, std::string_view type) {
    for (const auto& item : items)
        if (item.type == type)
            return item.data;
    return std::nullopt;
}

template <class Harness>
constexpr bool namesCopier() {
    if constexpr (requires { Harness::namesCopier; })
        return Harness::namesCopier;
    return true;
}
template <class Harness>
constexpr bool seesProbes() {
    if constexpr (requires { Harness::seesProbes; })
        return Harness::seesProbes;
    return true;
}

template <class Harness>
class ClipboardContract : public ::testing::Test {
  protected:
    void SetUp() override {
        clipboard().setChangeHandler(
            [this](const Clipboard::Contents& contents) { notices.push_back(contents); });
    }
    void TearDown() override {
        clipboard().setChangeHandler(nullptr);
        clipboard().setPasteHandler(nullptr);
        clipboard().setPasteFinishedHandler(nullptr);
    }
    Clipboard& clipboard() { return harness.clipboard(); }
    // Notices that announce a counter the program did not leave itself.
    size_t foreignNotices(int64_t ownCount) const {
        size_t n = 0;
        for (const auto& notice : notices)
            if (notice.changeCount != ownCount)
                ++n;
        return n;
    }
    static Clipboard::Rendition plain(const std::string& text) {
        return {{std::string(pasteboardtype::string), text}, {std::string(pasteboardtype::markerType), ""}};
    }

    Harness harness;
    std::vector<Clipboard::Contents> notices;
};

TYPED_TEST_SUITE_P(ClipboardContract);

TYPED_TEST_P(ClipboardContract, AForeignCopyIsAnnouncedWithItsItemsOwnerAndANewCounter) {
    const int64_t before = this->clipboard().changeCount();
    this->harness.copy({{std::string(pasteboardtype::string), "copied"},
                        {std::string(pasteboardtype::html), "<p>copied</p>"}});
    ASSERT_TRUE(this->harness.runUntil([&] { return !this->notices.empty(); }));
    const Clipboard::Contents notice = this->notices.back();
    EXPECT_EQ(itemOf(notice.items, pasteboardtype::string), "copied");
    EXPECT_EQ(itemOf(notice.items, pasteboardtype::html), "<p>copied</p>");
    EXPECT_GT(notice.changeCount, before);
    if (namesCopier<TypeParam>()) {
        ASSERT_TRUE(notice.owner);
    }
    if (notice.owner) {
        EXPECT_EQ(notice.owner->bundleID, std::string(TypeParam::copierID));
    }
    EXPECT_EQ(this->clipboard().contents(), notice) << "the notice carries what the clipboard now holds";

    // A second copy moves the counter again.
    this->harness.copy({{std::string(pasteboardtype::string), "again"}});
    ASSERT_TRUE(this->harness.runUntil(
        [&] { return itemOf(this->clipboard().contents().items, pasteboardtype::string) == "again"; }));
    EXPECT_GT(this->clipboard().changeCount(), notice.changeCount);
}

TYPED_TEST_P(ClipboardContract, APublishShowsAtOnceAndIsNotReportedAsAForeignChange) {
    this->harness.copy({{std::string(pasteboardtype::string), "theirs"}});
    ASSERT_TRUE(this->harness.runUntil([&] { return !this->notices.empty(); }));
    const int64_t before = this->clipboard().changeCount();
    const size_t noticesBefore = this->notices.size();

    this->clipboard().publish(this->plain("ours"));
    const int64_t published = this->clipboard().changeCount();
    EXPECT_GT(published, before) << "the counter moves at once";
    EXPECT_EQ(this->clipboard().contents().items, this->plain("ours"));
    ASSERT_TRUE(this->clipboard().contents().owner);
    EXPECT_EQ(this->clipboard().contents().owner->bundleID, std::string(Workspace::ownBundleID));

    this->harness.settle();
    EXPECT_EQ(this->clipboard().changeCount(), published) << "taking the desktop's clipboard counts once";
    EXPECT_EQ(this->foreignNotices(published), noticesBefore);
    EXPECT_EQ(this->harness.paste(0), "ours");
    EXPECT_EQ(this->harness.paste(1), "ours");

    // Several publishes in one turn: the last one is what everyone gets.
    this->clipboard().publish(this->plain("first"));
    this->clipboard().publish(this->plain("second"));
    this->harness.settle();
    EXPECT_EQ(this->harness.paste(0), "second");

    // Told once the latest publish is what is served, and only once.
    this->clipboard().publish(this->plain("third"));
    int told = 0;
    this->clipboard().afterPublished([&told] { ++told; });
    ASSERT_TRUE(this->harness.runUntil([&] { return told > 0; }));
    EXPECT_EQ(this->harness.paste(1), "third");
    this->harness.settle();
    EXPECT_EQ(told, 1);
}

TYPED_TEST_P(ClipboardContract, EachRequesterGetsItsOwnReplyAndEachPasteFinishes) {
    std::vector<Clipboard::PasteRequest> asked, finished;
    const std::string special = this->harness.requesterID(0);
    this->clipboard().setPasteHandler(
        [&](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
            asked.push_back(request);
            if (request.requester.bundleID == special)
                reply(this->plain("for " + special));
            else
                reply(std::nullopt);
        });
    std::vector<bool> delivered;
    this->clipboard().setPasteFinishedHandler([&](const Clipboard::PasteRequest& request, bool data) {
        finished.push_back(request);
        delivered.push_back(data);
    });
    ASSERT_TRUE(this->clipboard().canIdentifyRequesters());

    this->clipboard().publish(this->plain("for everyone"));
    this->harness.settle();
    EXPECT_EQ(this->harness.paste(0), "for " + special);
    EXPECT_EQ(this->harness.paste(1), "for everyone");
    ASSERT_TRUE(this->harness.runUntil([&] { return finished.size() >= 2; }));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].requester.bundleID, special);
    EXPECT_EQ(asked[1].requester.bundleID, this->harness.requesterID(1));
    EXPECT_NE(asked[0].id, asked[1].id);
    ASSERT_EQ(finished.size(), 2u);
    EXPECT_EQ(finished[0].id, asked[0].id);
    EXPECT_EQ(finished[1].id, asked[1].id);
    EXPECT_EQ(delivered, (std::vector<bool>{true, true}));
    EXPECT_FALSE(asked[0].fromManager);
}

// A one-shot without keys waits for a paste: an application that only looks
// at the types, or a clipboard manager, is not one.
TYPED_TEST_P(ClipboardContract, ProbesAndClipboardManagersAreToldApartFromPastes) {
    std::vector<Clipboard::PasteRequest> asked;
    std::vector<std::pair<uint64_t, bool>> finished;
    this->clipboard().setPasteHandler(
        [&](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
            asked.push_back(request);
            reply(std::nullopt);
        });
    this->clipboard().setPasteFinishedHandler([&](const Clipboard::PasteRequest& request, bool delivered) {
        finished.emplace_back(request.id, delivered);
    });
    this->clipboard().publish(this->plain("ours"));
    this->harness.settle();

    this->harness.probe();
    if (!seesProbes<TypeParam>()) {
        this->harness.settle();
        EXPECT_TRUE(asked.empty()) << "a look at the types never reaches the owner";
        EXPECT_TRUE(finished.empty());
        return;
    }
    ASSERT_TRUE(this->harness.runUntil([&] { return !finished.empty(); }));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(finished[0], std::make_pair(asked[0].id, false)) << "only the types were read";
    EXPECT_FALSE(asked[0].fromManager);

    this->harness.save();
    ASSERT_TRUE(this->harness.runUntil([&] { return asked.size() == 2; }));
    EXPECT_TRUE(asked[1].fromManager);
}

TYPED_TEST_P(ClipboardContract, ALaterReplyIsServedAndAForeignCopyEndsOurOwnership) {
    Clipboard::PasteReply pending;
    this->clipboard().setPasteHandler(
        [&](const Clipboard::PasteRequest&, Clipboard::PasteReply reply) { pending = std::move(reply); });
    this->clipboard().publish(this->plain("common"));
    this->harness.settle();
    // The reply comes from a later turn of the main loop, as a browser's page
    // address look-up makes it.
    this->harness.whenAsked([&] {
        if (!pending)
            return false;
        pending(this->plain("answered later"));
        return true;
    });
    EXPECT_EQ(this->harness.paste(0), "answered later");

    const int64_t ours = this->clipboard().changeCount();
    this->harness.copy({{std::string(pasteboardtype::string), "theirs"}});
    ASSERT_TRUE(this->harness.runUntil([&] { return this->clipboard().changeCount() != ours; }));
    EXPECT_EQ(itemOf(this->clipboard().contents().items, pasteboardtype::string), "theirs");
    if (const auto& owner = this->clipboard().contents().owner; owner || namesCopier<TypeParam>()) {
        ASSERT_TRUE(owner);
        EXPECT_EQ(owner->bundleID, std::string(TypeParam::copierID));
    }
}

REGISTER_TYPED_TEST_SUITE_P(ClipboardContract, AForeignCopyIsAnnouncedWithItsItemsOwnerAndANewCounter,
                            APublishShowsAtOnceAndIsNotReportedAsAForeignChange,
                            EachRequesterGetsItsOwnReplyAndEachPasteFinishes,
                            ProbesAndClipboardManagersAreToldApartFromPastes,
                            ALaterReplyIsServedAndAForeignCopyEndsOurOwnership);

// Cases only a real desktop can show.
template <class Harness>
class RealClipboardContract : public ClipboardContract<Harness> {};

TYPED_TEST_SUITE_P(RealClipboardContract);

TYPED_TEST_P(RealClipboardContract, ItemsUpToTheCapAreReadAndLargerOnesDropped) {
    const size_t cap = TypeParam::maxItemBytes;
    for (size_t size : {cap, cap + 1}) {
        const int64_t before = this->clipboard().changeCount();
        this->harness.copy({{std::string(pasteboardtype::string), std::string(size, 'a')}});
        ASSERT_TRUE(this->harness.runUntil([&] { return this->clipboard().changeCount() != before; }))
            << size;
        auto text = itemOf(this->clipboard().contents().items, pasteboardtype::string);
        if (size == cap) {
            ASSERT_TRUE(text);
            EXPECT_EQ(text->size(), cap);
        } else {
            EXPECT_FALSE(text) << "an item over the cap is left out";
        }
    }
}

TYPED_TEST_P(RealClipboardContract, AHungOwnerIsReportedEmptyWithinItsDeadline) {
    const int64_t before = this->clipboard().changeCount();
    auto start = std::chrono::steady_clock::now();
    this->harness.copyHung();
    ASSERT_TRUE(this->harness.runUntil([&] { return this->clipboard().changeCount() != before; }));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_TRUE(this->clipboard().contents().items.empty());
}

// A tool that re-copies each new selection offers our text alone: cleaning
// it again would start a loop.
TYPED_TEST_P(RealClipboardContract, OurTextCopiedBackIsLeftAloneAndAnythingElseIsACopy) {
    this->clipboard().publish(this->plain("ours"));
    this->harness.settle();
    const int64_t published = this->clipboard().changeCount();

    this->harness.copy({{std::string(pasteboardtype::string), "ours"}});
    this->harness.settle();
    this->harness.settle();
    EXPECT_EQ(this->clipboard().changeCount(), published) << "an echo is not a copy";
    EXPECT_EQ(this->foreignNotices(published), 0u);

    // The same text with formatting is a copy of its own.
    this->harness.copy(
        {{std::string(pasteboardtype::string), "ours"}, {std::string(pasteboardtype::html), "<b>ours</b>"}});
    ASSERT_TRUE(this->harness.runUntil([&] { return this->clipboard().changeCount() != published; }));
    EXPECT_EQ(itemOf(this->clipboard().contents().items, pasteboardtype::html), "<b>ours</b>");
}

REGISTER_TYPED_TEST_SUITE_P(RealClipboardContract, ItemsUpToTheCapAreReadAndLargerOnesDropped,
                            AHungOwnerIsReportedEmptyWithinItsDeadline,
                            OurTextCopiedBackIsLeftAloneAndAnythingElseIsACopy);

}  // namespace dz::test
