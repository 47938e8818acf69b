#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "core/clipboard/PasteboardTypes.h"
#include "linux/clipboard/MimeTypes.h"

namespace dz::x11 {
namespace {

namespace pt = pasteboardtype;

std::string utf16le(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

// A fake owner: offers these targets and answers from the map; counts reads.
struct FakeOwner {
    explicit FakeOwner(std::vector<std::pair<std::string, std::string>> offered)
        : offered(std::move(offered)) {}
    std::vector<std::pair<std::string, std::string>> offered;
    std::vector<std::string> reads;

    ReadResult read() {
        std::vector<std::string> targets;
        for (auto& [t, d] : offered) targets.push_back(t);
        return readTargets(targets, [this](const std::string& target) -> std::optional<std::string> {
            reads.push_back(target);
            for (auto& [t, d] : offered)
                if (t == target)
                    return d;
            return std::nullopt;
        });
    }
};

std::map<std::string, std::string> asMap(const ReadResult& r) {
    std::map<std::string, std::string> m;
    for (const auto& i : r.items) m[i.type] = i.data;
    return m;
}

ClipboardCapture captureOf(const ReadResult& r) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& i : r.items) items.push_back({i.type, i.data});
    MemoryPasteboard board(std::move(items));
    return ClipboardSnapshot::capture(board, false);
}

TEST(MimeTypes, BrowserCopiesBecomeEngineItems) {
    FakeOwner chromium{{{"TARGETS", ""},
                        {"chromium/x-internal-source-rfh-token", "\x01\x02"},
                        {"chromium/x-source-url", "https://example.org/a"},
                        {"text/html", "<p>Hi</p>"},
                        {"text/plain", "Hi"},
                        {"text/plain;charset=utf-8", "Hi"},
                        {"UTF8_STRING", "Hi"}}};
    auto m = asMap(chromium.read());
    EXPECT_EQ(m, (std::map<std::string, std::string>{
                     {std::string(pt::string), "Hi"},
                     {std::string(pt::html), "<p>Hi</p>"},
                     {std::string(pt::chromiumSourceURL), "https://example.org/a"}}));
    // First text target in read order wins; the others are not read.
    EXPECT_EQ(std::count(chromium.reads.begin(), chromium.reads.end(), "UTF8_STRING"), 0);

    FakeOwner firefox{{{"text/html", "<meta charset=utf-8><b>x</b>"},
                       {"text/x-moz-url-priv", utf16le("https://mozilla.example/doc")},
                       {"UTF8_STRING", "x"}}};
    auto result = firefox.read();
    auto capture = captureOf(result);
    ASSERT_TRUE(capture.snapshot());
    EXPECT_EQ(capture.snapshot()->sourcePageURL(), "https://mozilla.example/doc");
}

TEST(MimeTypes, ATextTypeRepeatingTheHTMLIsNotPlainText) {
    // wl-copy --type text/html offers its markup under the text types too.
    const std::string markup = "<p>Hello <b>there</b></p>";
    FakeOwner tool{{{"text/html", markup}, {"text/plain;charset=utf-8", markup}, {"UTF8_STRING", markup}}};
    auto result = tool.read();
    EXPECT_EQ(asMap(result), (std::map<std::string, std::string>{{std::string(pt::html), markup}}));
    // Put back as it came: the HTML first, the text type still there.
    auto original = toTargets(result.items, result.origins);
    ASSERT_GE(original.size(), 2u);
    EXPECT_EQ(original[0].target, "text/html");
    EXPECT_EQ(original[1].target, "text/plain;charset=utf-8");
    EXPECT_EQ(original[1].data(), markup);

    // A real plain rendition stays, even when it looks like markup.
    FakeOwner editor{{{"text/html", "<pre>&lt;b&gt;</pre>"}, {"UTF8_STRING", "<b>"}}};
    EXPECT_EQ(asMap(editor.read()).at(std::string(pt::string)), "<b>");
}

TEST(MimeTypes, SkipsDecidedByNamesReadNoData) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> offered;
        SkipReason reason;
    } cases[] = {
        {{{"x-kde-passwordManagerHint", "secret"}, {"UTF8_STRING", "hunter2"}}, SkipReason::sensitive},
        {{{"x-kde-passwordManagerHint", "1"}, {"UTF8_STRING", "hunter2"}}, SkipReason::sensitive},
        {{{"x-kde-passwordManagerHint", ""}, {"UTF8_STRING", "hunter2"}}, SkipReason::sensitive},
        {{{"x-special/gnome-copied-files", "copy\nfile:///tmp/a"}, {"UTF8_STRING", "a"}},
         SkipReason::filesOrImages},
        {{{"application/x-kde-cutselection", "1"}, {"UTF8_STRING", "a"}}, SkipReason::filesOrImages},
        {{{"image/png", "PNG"}, {"image/bmp", "BM"}}, SkipReason::filesOrImages},
        {{{"application/x-dozuzavuvu-processed", ""}, {"UTF8_STRING", "done"}}, SkipReason::alreadyCleaned},
    };
    for (auto& c : cases) {
        FakeOwner owner{c.offered};
        auto result = owner.read();
        EXPECT_EQ(captureOf(result).skipReason(), c.reason) << c.offered.front().first;
        if (c.reason != SkipReason::alreadyCleaned) {
            EXPECT_TRUE(owner.reads.empty()) << c.offered.front().first;
        }
    }
}

TEST(MimeTypes, FileAndAddressFormsThatNeedTheirData) {
    // The file manager's text form and uri-lists with files are files.
    FakeOwner nautilus{{{"UTF8_STRING", "x-special/nautilus-clipboard\ncopy\nfile:///home/u/a.txt\n"}}};
    EXPECT_EQ(captureOf(nautilus.read()).skipReason(), SkipReason::filesOrImages);
    FakeOwner files{{{"text/uri-list", "# comment\r\nfile:///a\r\nhttps://b/\r\n"}, {"UTF8_STRING", "a"}}};
    EXPECT_EQ(captureOf(files.read()).skipReason(), SkipReason::filesOrImages);
    // One web address in a uri-list is a link; two are not.
    FakeOwner one{{{"text/uri-list", "https://example.org/x\r\n"}, {"UTF8_STRING", "x"}}};
    EXPECT_EQ(asMap(one.read())[std::string(pt::url)], "https://example.org/x");
    FakeOwner two{{{"text/uri-list", "https://a/\r\nhttps://b/\r\n"}, {"UTF8_STRING", "x"}}};
    EXPECT_EQ(asMap(two.read()).count(std::string(pt::url)), 0u);
    // text/x-moz-url wins over the list and gives the title as the link's name.
    FakeOwner moz{{{"text/x-moz-url", utf16le("https://m.example/\nThe Title")},
                   {"text/uri-list", "https://other/\r\n"},
                   {"UTF8_STRING", "x"}}};
    auto m = asMap(moz.read());
    EXPECT_EQ(m[std::string(pt::url)], "https://m.example/");
    EXPECT_EQ(m[std::string(pt::urlName)], "The Title");
}

TEST(MimeTypes, TextEncodingsByTarget) {
    FakeOwner latin{{{"STRING", "caf\xE9"}}};
    EXPECT_EQ(asMap(latin.read())[std::string(pt::string)], "caf\xC3\xA9");
    FakeOwner plain{{{"text/plain", "caf\xE9"}}};
    EXPECT_EQ(asMap(plain.read())[std::string(pt::string)], "caf\xC3\xA9");
    // Invalid UTF-8 under a UTF-8 target is refused and the next form tried.
    FakeOwner broken{{{"UTF8_STRING", "\xFF\xFE"}, {"STRING", "ok"}}};
    EXPECT_EQ(asMap(broken.read())[std::string(pt::string)], "ok");
}

TEST(MimeTypes, UTF16Decoders) {
    EXPECT_EQ(decodeUTF16Address(utf16le("https://a.example/p")), "https://a.example/p");
    EXPECT_EQ(decodeUTF16Address(std::string("\xFF\xFE", 2) + utf16le("https://x/")), "https://x/");
    EXPECT_EQ(decodeUTF16Address(utf16le("https://x/") + std::string(2, '\0')), "https://x/");
    EXPECT_EQ(decodeUTF16Address("https://utf8.example/"), "https://utf8.example/");
    EXPECT_FALSE(decodeUTF16Address(std::string("\x00\xD8\x41\x00", 4)));  // unpaired surrogate
    EXPECT_FALSE(decodeUTF16Address(""));
    EXPECT_EQ(decodeMozURL(utf16le("https://a/\r\nTitle\n")), (MozURL{"https://a/", "Title"}));
    EXPECT_EQ(decodeMozURL(utf16le("https://a/")), (MozURL{"https://a/", std::nullopt}));
    EXPECT_FALSE(decodeMozURL(utf16le("\nTitle only")));
}

TEST(MimeTypes, WritesTextInEveryFormAndRestoresOriginalsAsRead) {
    auto targets = toTargets({{std::string(pt::string), "caf\xC3\xA9 \xE2\x82\xAC"},
                              {std::string(pt::html), "<b>x</b>"},
                              {std::string(pt::markerType), ""}});
    std::map<std::string, std::string> m;
    for (auto& t : targets) m[t.target] = t.data();
    EXPECT_EQ(m, (std::map<std::string, std::string>{{"text/plain;charset=utf-8", "caf\xC3\xA9 \xE2\x82\xAC"},
                                                     {"UTF8_STRING", "caf\xC3\xA9 \xE2\x82\xAC"},
                                                     {"text/plain", "caf\xC3\xA9 \xE2\x82\xAC"},
                                                     {"STRING", "caf\xE9 ?"},
                                                     {"TEXT", "caf\xC3\xA9 \xE2\x82\xAC"},
                                                     {"text/html", "<b>x</b>"},
                                                     {"application/x-dozuzavuvu-processed", ""}}));

    // The text forms share one buffer; Latin-1 has its own only when it differs.
    auto buffers = [](const std::vector<MimeItem>& items) {
        std::set<const std::string*> seen;
        for (auto& t : items)
            if (t.target != "text/html" && !t.data().empty())
                seen.insert(t.sharedData().get());
        return seen.size();
    };
    EXPECT_EQ(buffers(targets), 2u);
    EXPECT_EQ(buffers(toTargets({{std::string(pt::string), std::string(1 << 20, 'a')}})), 1u);

    // A captured original comes back in the forms it was read from.
    FakeOwner owner{{{"text/x-moz-url-priv", utf16le("https://s/")},
                     {"application/rtf", "{\\rtf1 x}"},
                     {"UTF8_STRING", "x"}}};
    auto read = owner.read();
    std::vector<ClipboardSnapshot::Entry> restored{{std::string(pt::originalMarkerType), ""}};
    restored.insert(restored.end(), read.items.begin(), read.items.end());
    std::map<std::string, std::string> r;
    for (auto& t : toTargets(restored, read.origins)) r[t.target] = t.data();
    EXPECT_EQ(r["text/x-moz-url-priv"], utf16le("https://s/"));
    EXPECT_EQ(r["application/rtf"], "{\\rtf1 x}");
    EXPECT_EQ(r.count("application/x-dozuzavuvu-original"), 1u);
    EXPECT_EQ(r.count("text/rtf"), 0u);
}

}  // namespace
}  // namespace dz::x11

#include "linux/clipboard/IncrementalTransfer.h"

namespace dz::x11 {
namespace {

TEST(IncrementalTransfer, ChunksUpToTheLimitAndNotOneByteMore) {
    using Step = IncrementalTransfer::Step;
    IncrementalTransfer exact(10);
    EXPECT_EQ(exact.add(7, 8, "12345", 0), Step::more);
    EXPECT_EQ(exact.nextRequestUnits(), 2u);  // five left: one unit more than needed shows an excess
    EXPECT_EQ(exact.add(7, 8, "67890", 0), Step::more);
    EXPECT_EQ(exact.add(7, 8, "", 0), Step::done);
    EXPECT_EQ(exact.type(), 7u);
    EXPECT_EQ(exact.take(), "1234567890");

    IncrementalTransfer over(10);
    EXPECT_EQ(over.add(7, 8, "12345", 0), Step::more);
    EXPECT_EQ(over.add(7, 8, "678901", 0), Step::failed);
    // Another type mid-way, a 32-bit chunk, or a chunk cut short all fail.
    IncrementalTransfer retyped(100), wide(100), cut(100);
    EXPECT_EQ(retyped.add(7, 8, "a", 0), Step::more);
    EXPECT_EQ(retyped.add(8, 8, "b", 0), Step::failed);
    EXPECT_EQ(wide.add(7, 32, "abcd", 0), Step::failed);
    EXPECT_EQ(cut.add(7, 8, "abcd", 12), Step::failed);
    // Nothing more after the end.
    IncrementalTransfer ended(100);
    EXPECT_EQ(ended.add(0, 0, "", 0), Step::done);
    EXPECT_EQ(ended.add(7, 8, "late", 0), Step::failed);
}

}  // namespace
}  // namespace dz::x11
