// The clipboard against a real X server (run under Xvfb by run-under-x.sh),
// with xclip, xsel and the test tool as the other applications.
#include <gtest/gtest.h>

#include <fstream>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/clipboard/X11Clipboard.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::x11 {
namespace {

using namespace test;
namespace pt = pasteboardtype;

const std::string tool = DZ_CLIPBOARD_TOOL;

std::optional<std::string> itemData(const ReadResult& r, std::string_view type) {
    for (const auto& item : r.items)
        if (item.type == type)
            return item.data;
    return std::nullopt;
}

std::string commOf(int32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

class X11ClipboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        X11Clipboard::Callbacks callbacks;
        callbacks.changed = [this](X11Clipboard::Change c) { changes.push(std::move(c)); };
        if (withHook)
            callbacks.pasteRequest = [this](const X11Clipboard::Request& r, X11Clipboard::Answer answer) {
                requests.push(r);
                hook(r, std::move(answer));
            };
        clipboard = X11Clipboard::create(std::move(callbacks), &error, nullptr, limits);
        ASSERT_TRUE(clipboard) << error;
    }
    void TearDown() override {
        if (clipboard)
            clipboard->shutdown(false);
    }
    // Owns with plain text and waits until the server says so.
    void ownText(const std::string& text, std::chrono::seconds wait = 3s) {
        auto ownerEvents = clipboard->stats().ownerEvents;
        clipboard->own({{std::string(pt::string), text}});
        auto until = std::chrono::steady_clock::now() + wait;
        while ((!clipboard->ownsClipboard() || clipboard->stats().ownerEvents == ownerEvents) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        while (!clipboard->ownsClipboard() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(clipboard->ownsClipboard());
    }

    bool withHook = false;
    X11Clipboard::Limits limits;
    std::function<void(const X11Clipboard::Request&, X11Clipboard::Answer)> hook;
    Inbox<X11Clipboard::Change> changes;
    Inbox<X11Clipboard::Request> requests;
    std::unique_ptr<X11Clipboard> clipboard;
};

TEST_F(X11ClipboardTest, CapturesEveryUsefulTargetOfAMultiTargetOwner) {
    std::string mozPriv = std::string("h\0t\0t\0p\0s\0:\0/\0/\0a\0.\0b\0/\0", 24);
    Child owner({tool, "own", "text/plain;charset=utf-8=Hello", "UTF8_STRING=Hello", "text/html=<b>Hello</b>",
                 "chromium/x-source-url=https://example.org/page", "text/x-moz-url-priv=" + mozPriv,
                 "image/png=PNG"});
    ASSERT_EQ(owner.line(), "owned");
    auto change = changes.next();
    ASSERT_TRUE(change);
    EXPECT_TRUE(change->readable);
    EXPECT_EQ(change->ownerPID, owner.pid());
    EXPECT_EQ(itemData(change->content, pt::string), "Hello");
    EXPECT_EQ(itemData(change->content, pt::html), "<b>Hello</b>");
    EXPECT_EQ(itemData(change->content, pt::chromiumSourceURL), "https://example.org/page");
    // An image beside rich text is recorded but not read.
    EXPECT_EQ(itemData(change->content, pt::png), "");
}

TEST_F(X11ClipboardTest, AnOwnerAnsweringEveryTargetWithHTMLGivesNoText) {
    Child owner({tool, "own", "--lie", "text/html=<i>x</i>", "UTF8_STRING=unused", "text/plain=unused"});
    ASSERT_EQ(owner.line(), "owned");
    auto change = changes.next();
    ASSERT_TRUE(change);
    EXPECT_EQ(itemData(change->content, pt::html), "<i>x</i>");
    EXPECT_FALSE(itemData(change->content, pt::string));
}

TEST_F(X11ClipboardTest, AHungOwnerIsGivenUpAfterItsDeadline) {
    auto start = std::chrono::steady_clock::now();
    Child owner({tool, "own", "--hang", "UTF8_STRING=x"});
    ASSERT_EQ(owner.line(), "owned");
    auto change = changes.next(10s);
    ASSERT_TRUE(change);
    EXPECT_FALSE(change->readable);
    EXPECT_TRUE(change->content.items.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(X11ClipboardTest, CountsAReOwnBySameWindowAndTheOwnersDeath) {
    Child owner({tool, "own", "--reown-after", "300", "UTF8_STRING=first"});
    ASSERT_EQ(owner.line(), "owned");
    auto first = changes.next();
    ASSERT_EQ(owner.line(), "reowned");
    auto second = changes.next();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->owner, second->owner);
    EXPECT_EQ(second->changes, 1u);
    owner.stop();
    auto gone = changes.next();
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->owner, 0u);
    EXPECT_TRUE(gone->content.items.empty());
    EXPECT_EQ(clipboard->stats().ownerEvents, 3u);
}

TEST_F(X11ClipboardTest, OwnWritesCountButAreNotReported) {
    ownText("mine");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(changes.count(), 0u);
    EXPECT_EQ(clipboard->stats().ownerEvents, 1u);
    // Idle, the clipboard thread sleeps: no timers, no polling.
    auto wakeups = clipboard->stats().wakeups;
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(clipboard->stats().wakeups, wakeups);
    // Served in every text form, with the standard targets.
    EXPECT_EQ(Child({"xsel", "-b", "-o"}).all(), "mine");
    std::string targets = Child({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}).all();
    for (auto t : {"TARGETS", "TIMESTAMP", "SAVE_TARGETS", "MULTIPLE", "UTF8_STRING", "STRING", "TEXT",
                   "text/plain;charset=utf-8", "text/plain"})
        EXPECT_NE(targets.find(t), std::string::npos) << t;
    // Someone else copies: our ownership ends and the copy is reported.
    Child other({tool, "own", "UTF8_STRING=theirs"});
    ASSERT_EQ(other.line(), "owned");
    auto change = changes.next();
    ASSERT_TRUE(change);
    EXPECT_EQ(itemData(change->content, pt::string), "theirs");
    EXPECT_FALSE(clipboard->ownsClipboard());
}

TEST_F(X11ClipboardTest, ReadsAndServesThirtyMiBButNotOneByteMore) {
    const size_t limit = 31'457'280;
    for (size_t size : {limit, limit + 1}) {
        std::string big(size, 'a');
        Child xclip({"xclip", "-selection", "clipboard", "-i"}, big);
        auto change = changes.next(20s);
        ASSERT_TRUE(change) << size;
        auto text = itemData(change->content, pt::string);
        if (size == limit) {
            ASSERT_TRUE(text);
            EXPECT_EQ(text->size(), limit);
        } else {
            EXPECT_FALSE(text);
        }
    }
    for (size_t size : {limit, limit + 1}) {
        ownText(std::string(size, 'b'), 30s);  // five text forms of 30 MiB to prepare
        std::string got = Child({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}).all(20s);
        EXPECT_EQ(got.size(), size);
        EXPECT_EQ(got.find_first_not_of('b'), std::string::npos);
    }
}

class X11PasteRequestTest : public X11ClipboardTest {
  protected:
    void SetUp() override {
        withHook = true;
        X11ClipboardTest::SetUp();
    }
};

TEST_F(X11PasteRequestTest, EachApplicationGetsItsOwnAnswer) {
    hook = [](const X11Clipboard::Request& r, X11Clipboard::Answer answer) {
        if (commOf(r.pid) == "xclip")
            answer(std::vector<ClipboardSnapshot::Entry>{{std::string(pt::string), "for xclip"}});
        else
            answer(std::nullopt);
    };
    ownText("for everyone");
    EXPECT_EQ(Child({"xclip", "-o", "-selection", "clipboard"}).all(), "for xclip");
    EXPECT_EQ(Child({"xsel", "-b", "-o"}).all(), "for everyone");
    auto r = requests.next();
    ASSERT_TRUE(r);
    EXPECT_GT(r->pid, 0);
}

TEST_F(X11PasteRequestTest, AnAnswerIsKeptTwoSecondsForTheSameRequester) {
    std::atomic<int> asked{0};
    hook = [&](const X11Clipboard::Request&, X11Clipboard::Answer answer) {
        int n = ++asked;
        // Answered later, from another thread, as the controller does.
        std::thread([answer, n] {
            std::this_thread::sleep_for(20ms);
            answer(std::vector<ClipboardSnapshot::Entry>{
                {std::string(pt::string), "answer " + std::to_string(n)}});
        }).detach();
    };
    ownText("base");
    Child reader({tool, "read", "UTF8_STRING", "--times", "3", "--interval", "700"});
    // 0 s and 0.7 s fall within the kept answer; 1.4 s too; then a new reader asks afresh.
    EXPECT_EQ(reader.line(), "answer 1");
    EXPECT_EQ(reader.line(), "answer 1");
    EXPECT_EQ(reader.line(), "answer 1");
    Child late({tool, "read", "UTF8_STRING", "--times", "2", "--interval", "2300"});
    EXPECT_EQ(late.line(), "answer 2");
    EXPECT_EQ(late.line(), "answer 3");
    EXPECT_EQ(asked.load(), 3);
}

TEST_F(X11PasteRequestTest, AnUnansweredRequestGetsTheContentInTime) {
    hook = [](const X11Clipboard::Request&, X11Clipboard::Answer) {};  // never answers
    ownText("base");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Child({"xsel", "-b", "-o"}).all(), "base");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(X11ClipboardTest, HandsTheContentToAClipboardManagerOnQuit) {
    Child manager({tool, "manager"});
    ASSERT_EQ(manager.line(), "owned");
    ownText("keep me");
    auto start = std::chrono::steady_clock::now();
    clipboard->shutdown(true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(manager.line(), "saved UTF8_STRING=keep me");
    clipboard.reset();
}

}  // namespace
}  // namespace dz::x11

// The controller's view: main-thread reads, batched writes, owners as applications.
#include "linux/clipboard/X11ClipboardService.h"
#include "tests/linux/x11/PumpScheduler.h"

namespace dz::x11 {
namespace {

using namespace test;

TEST(X11ClipboardServiceTest, ChangesWritesAndPastesThroughTheMainThread) {
    PumpScheduler scheduler;
    AppIdentity identity;
    std::string error;
    auto service = X11ClipboardService::create(scheduler, identity, &error);
    ASSERT_TRUE(service) << error;
    EXPECT_TRUE(service->canIdentifyRequesters());
    int changes = 0;
    service->setChangeHandler([&](const Clipboard::Contents&) { ++changes; });

    Child owner({tool, "own", "UTF8_STRING=copied", "text/html=<p>copied</p>"});
    ASSERT_EQ(owner.line(), "owned");
    ASSERT_TRUE(scheduler.pumpUntil([&] { return changes == 1; }));
    bool hasHTML = false;
    for (const auto& item : service->contents().items)
        hasHTML = hasHTML || (item.type == pt::html && item.data == "<p>copied</p>");
    EXPECT_TRUE(hasHTML);
    ASSERT_TRUE(service->contents().owner);
    EXPECT_EQ(service->contents().owner->pid, owner.pid());
    EXPECT_EQ(service->contents().owner->bundleID, "dz_clipboard_tool");
    int64_t before = service->changeCount();

    // A write moves the counter at once and is published after the loop turns.
    std::vector<Clipboard::PasteRequest> asked, done;
    service->setPasteHandler([&](const Clipboard::PasteRequest& r, Clipboard::PasteReply reply) {
        asked.push_back(r);
        if (r.requester.bundleID == "xclip")
            reply(Clipboard::Rendition{{std::string(pt::string), "markdown **for xclip**"},
                                       {std::string(pt::markerType), ""}});
        else
            reply(std::nullopt);
    });
    service->setPasteFinishedHandler([&](const Clipboard::PasteRequest& r, bool) { done.push_back(r); });
    service->publish({{std::string(pt::string), "clean"}, {std::string(pt::markerType), ""}});
    EXPECT_GT(service->changeCount(), before);
    int64_t afterWrite = service->changeCount();
    ASSERT_TRUE(scheduler.pumpUntil([&] { return service->engine().ownsClipboard(); }));
    EXPECT_EQ(owner.wait(3s), 0);  // the tool exits on losing the clipboard

    std::string fromXclip, fromXsel;
    std::thread readers([&] {
        fromXclip = Child({"xclip", "-o", "-selection", "clipboard"}).all();
        fromXsel = Child({"xsel", "-b", "-o"}).all();
    });
    scheduler.pumpUntil([&] { return done.size() >= 2; });
    readers.join();
    EXPECT_EQ(fromXclip, "markdown **for xclip**");
    EXPECT_EQ(fromXsel, "clean");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].requester.bundleID, "xclip");
    EXPECT_EQ(asked[1].requester.bundleID, "xsel");
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].id, asked[0].id);
    // Our own write is not announced as a change and the counter stays.
    scheduler.pump(200ms);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(service->changeCount(), afterWrite);
}

}  // namespace
}  // namespace dz::x11
