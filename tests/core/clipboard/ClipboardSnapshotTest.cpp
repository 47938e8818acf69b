#include <gtest/gtest.h>

#include <plist/plist.h>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "core/clipboard/PasteboardTypes.h"

using namespace dz;
namespace pt = pasteboardtype;

namespace {

ClipboardSnapshot::Capture captureOf(std::vector<std::pair<std::string, std::string>> items,
                                     bool ignoreMarker = false) {
    MemoryPasteboard pasteboard(std::move(items));
    return ClipboardSnapshot::capture(pasteboard, ignoreMarker);
}

std::string s(std::string_view v) {
    return std::string(v);
}

std::string webArchive(const char* url, bool binary) {
    plist_t resource = plist_new_dict();
    plist_dict_set_item(resource, "WebResourceURL", plist_new_string(url));
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "WebMainResource", resource);
    char* out = nullptr;
    uint32_t length = 0;
    if (binary)
        plist_to_bin(root, &out, &length);
    else
        plist_to_xml(root, &out, &length);
    std::string bytes(out, length);
    free(out);
    plist_free(root);
    return bytes;
}

}  // namespace

TEST(ClipboardCaptureTest, SkipsByMarkersInOrder) {
    EXPECT_EQ(captureOf({}).skipReason(), SkipReason::noText);
    EXPECT_EQ(captureOf({{s(pt::string), "x"}, {s(pt::markerType), ""}}).skipReason(),
              SkipReason::alreadyCleaned);
    EXPECT_EQ(captureOf({{s(pt::string), "x"}, {s(pt::originalMarkerType), ""}}).skipReason(),
              SkipReason::alreadyCleaned);
    EXPECT_TRUE(captureOf({{s(pt::string), "x"}, {s(pt::markerType), ""}}, true).isSnapshot());
    // Concealed content is never captured, even when markers are ignored.
    EXPECT_EQ(captureOf({{s(pt::string), "pw"}, {s(pt::concealedType), ""}}, true).skipReason(),
              SkipReason::sensitive);
    EXPECT_EQ(captureOf({{s(pt::string), "pw"}, {"de.petermaurer.TransientPasteboardType", ""}}).skipReason(),
              SkipReason::sensitive);
    // Own marker wins over sensitive when both are present.
    EXPECT_EQ(captureOf({{s(pt::markerType), ""}, {s(pt::transientType), ""}}).skipReason(),
              SkipReason::alreadyCleaned);
}

TEST(ClipboardCaptureTest, FilesAndImages) {
    EXPECT_EQ(captureOf({{s(pt::png), "img"}}).skipReason(), SkipReason::filesOrImages);
    EXPECT_TRUE(captureOf({{s(pt::png), "img"}, {s(pt::html), "<b>x</b>"}}).isSnapshot());
    EXPECT_EQ(captureOf({{s(pt::fileURL), "file:///a"}, {s(pt::string), "a"}}).skipReason(),
              SkipReason::filesOrImages);
}

TEST(ClipboardCaptureTest, TextPresence) {
    EXPECT_EQ(captureOf({{s(pt::string), ""}}).skipReason(), SkipReason::noText);
    EXPECT_TRUE(captureOf({{s(pt::string), " "}}).isSnapshot());
    EXPECT_TRUE(captureOf({{s(pt::rtf), ""}}).isSnapshot());  // rich entries count even when empty
    EXPECT_EQ(captureOf({{"public.unknown", "x"}}).skipReason(), SkipReason::noText);
}

TEST(ClipboardCaptureTest, SizeLimitIsInclusive) {
    std::string exact(ClipboardSnapshot::maxEntrySize, 'a');
    auto kept = captureOf({{s(pt::string), exact}});
    ASSERT_TRUE(kept.isSnapshot());
    EXPECT_EQ(kept.snapshot()->entries().at(0).data.size(), exact.size());
    exact.push_back('a');
    EXPECT_EQ(captureOf({{s(pt::string), exact}}).skipReason(), SkipReason::noText);
    auto withRich = captureOf({{s(pt::string), exact}, {s(pt::html), "<p>x</p>"}});
    ASSERT_TRUE(withRich.isSnapshot());
    EXPECT_EQ(withRich.snapshot()->types(), std::vector<std::string>{s(pt::html)});
}

TEST(ClipboardCaptureTest, EntriesFollowTheCaptureListNotTheClipboard) {
    auto capture = captureOf(
        {{s(pt::html), "<i>a</i>"}, {"public.jpeg", "j"}, {s(pt::string), "a"}, {s(pt::rtf), "{\\rtf1 a}"}});
    ASSERT_TRUE(capture.isSnapshot());
    EXPECT_EQ(capture.snapshot()->types(),
              (std::vector<std::string>{s(pt::string), s(pt::rtf), s(pt::html)}));
    EXPECT_TRUE(capture.snapshot()->hasRich());
}

TEST(ClipboardSnapshotTest, PlainTextDecoding) {
    auto plain = [](std::string bytes) { return ClipboardSnapshot(bytes, {}, {}, {}).plainText(); };
    EXPECT_EQ(plain("h\xC3\xA9"), "h\u00e9");
    EXPECT_EQ(plain(std::string("\xFF\xFEh\0i\0", 6)), "hi");
    EXPECT_EQ(plain(std::string("h\0\xE9\0", 4)), "h\u00e9");  // UTF-16 without a mark, many zeros
    EXPECT_EQ(plain("caf\xE9 ok"), std::nullopt);              // Latin-1 bytes are not reread as UTF-16
    EXPECT_EQ(plain("ab\xE9\xE9"), std::nullopt);              // even length, valid UTF-16, but no zeros
    EXPECT_EQ(plain(std::string("\xFF\xFE\x00\xD8", 4)), std::nullopt);  // unpaired surrogate
    // Capture uses the same decoding: undecodable text without a rich entry is no text.
    EXPECT_EQ(captureOf({{s(pt::string), "ab\xE9\xE9"}}).skipReason(), SkipReason::noText);
}

TEST(ClipboardSnapshotTest, HTMLDecoding) {
    auto html = [](std::string bytes) { return ClipboardSnapshot({}, bytes, {}, {}).html(); };
    EXPECT_EQ(html(std::string("\xFF\xFE<\0b\0>\0", 8)), "<b>");
    EXPECT_EQ(html(std::string("\xFE\xFF\0<\0b\0>", 8)), "<b>");
    EXPECT_EQ(html("caf\xE9"), "caf\u00e9");
    EXPECT_EQ(ClipboardSnapshot("x", {}, {}, {}).html(), std::nullopt);
    EXPECT_EQ(ClipboardSnapshot({}, {}, {}, "\xFF").url(), std::nullopt);
}

TEST(ClipboardSnapshotTest, SourcePageFromChromiumEntryOrWebArchive) {
    auto page = [](std::vector<ClipboardSnapshot::Entry> e) {
        return ClipboardSnapshot(std::move(e)).sourcePageURL();
    };
    EXPECT_EQ(page({{s(pt::chromiumSourceURL), "  https://example.com/a?b=1\n"}}),
              "https://example.com/a?b=1");
    EXPECT_EQ(page({{s(pt::chromiumSourceURL), "word"}}), std::nullopt);
    EXPECT_EQ(
        page({{s(pt::chromiumSourceURL), "word"}, {s(pt::webArchive), webArchive("https://w.org/p", true)}}),
        "https://w.org/p");
    EXPECT_EQ(page({{s(pt::webArchive), webArchive("https://x.org/", false)}}), "https://x.org/");
    EXPECT_EQ(page({{s(pt::webArchive), webArchive("no host", true)}}), std::nullopt);
    EXPECT_EQ(page({{s(pt::webArchive), "not a property list at all"}}), std::nullopt);
}

TEST(ClipboardSnapshotTest, StringInitializerOrder) {
    ClipboardSnapshot snap("p", "<p>h</p>", "{\\rtf1}", "https://a.b");
    EXPECT_EQ(snap.types(), (std::vector<std::string>{s(pt::string), s(pt::rtf), s(pt::html), s(pt::url)}));
    EXPECT_EQ(snap.data(pt::rtf), "{\\rtf1}");
}

TEST(ClipboardSnapshotTest, RestoreDeclaresMarkerFirstAndIsRecognised) {
    ClipboardSnapshot snap(
        std::vector<ClipboardSnapshot::Entry>{{s(pt::string), "a"}, {s(pt::html), "<b>a</b>"}});
    MemoryPasteboard pasteboard({{"other", "x"}, {"more", "y"}});
    auto before = pasteboard.changeCount();
    snap.restore(pasteboard);
    EXPECT_GT(pasteboard.changeCount(), before);
    std::vector<MemoryPasteboard::Item> expected{
        {s(pt::originalMarkerType), std::string()}, {s(pt::string), "a"}, {s(pt::html), "<b>a</b>"}};
    EXPECT_EQ(pasteboard.items(), expected);
    EXPECT_EQ(ClipboardSnapshot::capture(pasteboard, false).skipReason(), SkipReason::alreadyCleaned);
    EXPECT_EQ(ClipboardSnapshot::capture(pasteboard, true).snapshot()->entries(), snap.entries());
}

TEST(ClipboardSnapshotTest, UnavailableTypeListIsNoText) {
    MemoryPasteboard unavailable({{s(pt::string), "x"}});
    unavailable.setUnavailable(true);
    EXPECT_EQ(ClipboardSnapshot::capture(unavailable, false).skipReason(), SkipReason::noText);
}

TEST(SkipReasonTest, BuildsFromDisplayText) {
    for (SkipReason r : skipreason::allCases) EXPECT_EQ(skipreason::fromRaw(skipreason::rawValue(r)), r);
    EXPECT_EQ(skipreason::fromRaw("Paused"), std::nullopt);
}
