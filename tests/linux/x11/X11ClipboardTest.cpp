// The clipboard against a real X server (run under Xvfb by run-under-x.sh),
// with xclip, xsel and the test tool as the other applications.
#include <gtest/gtest.h>

#include <fstream>
#include <future>

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
        ownItems({{std::string(pt::string), text}}, wait);
    }
    void ownItems(std::vector<ClipboardSnapshot::Entry> items, std::chrono::seconds wait = 3s) {
        ownItems(*clipboard, std::move(items), wait);
    }
    static void ownItems(X11Clipboard& owner, std::vector<ClipboardSnapshot::Entry> items,
                         std::chrono::seconds wait) {
        auto ownerEvents = owner.stats().ownerEvents;
        owner.own(std::move(items));
        auto until = std::chrono::steady_clock::now() + wait;
        while ((!owner.ownsClipboard() || owner.stats().ownerEvents == ownerEvents) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        while (!owner.ownsClipboard() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(2ms);
        ASSERT_TRUE(owner.ownsClipboard());
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

TEST_F(X11ClipboardTest, LooksAtTheFirstFiveHundredTwelveTargetsOnly) {
    // Text listed before a long padding is read; HTML listed after it is not.
    Child owner({tool, "own", "--pad", "600", "text/html=<b>late</b>"});
    ASSERT_EQ(owner.line(), "owned");
    auto change = changes.next();
    ASSERT_TRUE(change);
    EXPECT_FALSE(itemData(change->content, pt::html));
    Child near({tool, "own", "--pad", "400", "text/html=<b>in time</b>"});
    ASSERT_EQ(near.line(), "owned");
    change = changes.next();
    ASSERT_TRUE(change);
    EXPECT_EQ(itemData(change->content, pt::html), "<b>in time</b>");
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
    // Nothing was read, so nothing is kept when it goes away.
    owner.stop();
    auto gone = changes.next();
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->owner, 0u);
    EXPECT_FALSE(clipboard->ownsClipboard());
}

TEST_F(X11ClipboardTest, CountsAReOwnBySameWindowAndKeepsTheCopyWhenItsOwnerDies) {
    Child owner({tool, "own", "--reown-after", "300", "UTF8_STRING=first"});
    ASSERT_EQ(owner.line(), "owned");
    auto first = changes.next();
    ASSERT_EQ(owner.line(), "reowned");
    auto second = changes.next();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->owner, second->owner);
    EXPECT_EQ(second->changes, 1u);
    owner.stop();
    // The copy read stays on the clipboard, served by us; no change is reported.
    auto until = std::chrono::steady_clock::now() + 5s;
    while (!clipboard->ownsClipboard() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(clipboard->ownsClipboard());
    EXPECT_EQ(Child({"xsel", "-b", "-o"}).all(), "first");
    EXPECT_EQ(changes.count(), 2u);
    EXPECT_EQ(clipboard->stats().ownerEvents, 4u);  // two owners, its death, ours
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

// How long quitting takes while `owner` is being read, at most `guard`; the
// owner is stopped after that, so that a hanging quit still ends.
std::chrono::steady_clock::duration quitTime(X11Clipboard& clipboard, Child& owner,
                                             std::chrono::seconds guard = 5s) {
    auto start = std::chrono::steady_clock::now();
    auto quit = std::async(std::launch::async, [&] { clipboard.shutdown(true); });
    if (quit.wait_for(guard) != std::future_status::ready)
        owner.stop();
    quit.wait();
    return std::chrono::steady_clock::now() - start;
}

TEST_F(X11ClipboardTest, QuitEndsPromptlyWhateverTheOwnerDoes) {
    Child trickling({tool, "own", "--trickle", "100", "UTF8_STRING=x"});
    ASSERT_EQ(trickling.line(), "owned");
    ASSERT_EQ(trickling.line(), "trickling");
    EXPECT_LT(quitTime(*clipboard, trickling), 2s) << "an owner sending its data a byte at a time";

    // An owner that never answers, read with patience.
    limits.targetsTimeout = 60s;
    std::string error;
    auto patient = X11Clipboard::create({}, &error, nullptr, limits);
    ASSERT_TRUE(patient) << error;
    Child hung({tool, "own", "--hang", "UTF8_STRING=x"});
    ASSERT_EQ(hung.line(), "owned");
    while (patient->stats().ownerEvents == 0) std::this_thread::sleep_for(2ms);
    std::this_thread::sleep_for(100ms);
    EXPECT_LT(quitTime(*patient, hung), 2s) << "an owner that never answers";
}

TEST_F(X11ClipboardTest, AMultipleRequestOfFortyThousandPairsIsAnsweredAtOnceAndCapped) {
    // Large enough to go out in parts: each pair served starts a transfer.
    ownItems({{std::string(pt::string), "x"}, {std::string(pt::html), std::string(20'000'000, 'h')}}, 30s);
    auto ask = [&](const std::string& pairs, const std::string& target, long long& ms) -> size_t {
        auto answer = Child({tool, "multiple", pairs, target}).line(60s);
        size_t served = 0;
        EXPECT_TRUE(answer && std::sscanf(answer->c_str(), "answered %lld served %zu", &ms, &served) == 2);
        return served;
    };
    long long ms = 0;
    EXPECT_EQ(ask("40000", "text/html", ms), limits.maxMultiplePairs);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(ask("3", "UTF8_STRING", ms), 3u);
    EXPECT_EQ(ask("3", "image/png", ms), 0u) << "a target not offered";
}

TEST(XcbConnectionTest, TheAtomNameCacheStaysBoundedAndRefusesLongNames) {
    auto conn = XcbConnection::open();
    auto other = XcbConnection::open();
    ASSERT_TRUE(conn && other);
    // Names another client made up, as a hostile TARGETS list offers them.
    auto intern = [&](const std::vector<std::string>& names) {
        std::vector<xcb_intern_atom_cookie_t> cookies;
        for (const auto& n : names)
            cookies.push_back(xcb_intern_atom(other->get(), 0, uint16_t(n.size()), n.data()));
        std::vector<xcb_atom_t> atoms;
        for (auto cookie : cookies) {
            XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(other->get(), cookie, nullptr));
            atoms.push_back(reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE));
        }
        return atoms;
    };
    std::vector<std::string> names;
    for (size_t i = 0; i < 3 * XcbConnection::atomCacheSize; ++i)
        names.push_back("DZ_FRESH_" + std::to_string(i));
    EXPECT_EQ(conn->atomNames(intern(names)), names);
    EXPECT_LE(conn->cachedAtoms(), XcbConnection::atomCacheSize);
    EXPECT_EQ(conn->atomName(intern({names[0]})[0]), names[0]) << "an evicted name is asked for again";
    EXPECT_EQ(conn->atom(names[1]), intern({names[1]})[0]);

    const std::string longest(XcbConnection::maxAtomNameBytes, 'n');
    const size_t cached = conn->cachedAtoms();
    EXPECT_EQ(conn->atomNames(intern({longest, longest + "n", std::string(60'000, 'h')})),
              (std::vector<std::string>{longest, "", ""}));
    EXPECT_EQ(conn->atom(longest + "n"), xcb_atom_t(XCB_ATOM_NONE));
    EXPECT_LE(conn->cachedAtoms(), cached + 1) << "refused names are not kept";
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

TEST_F(X11PasteRequestTest, AForgottenAnswerIsAskedForAgain) {
    std::atomic<int> asked{0};
    hook = [&](const X11Clipboard::Request&, X11Clipboard::Answer answer) {
        answer(std::vector<ClipboardSnapshot::Entry>{
            {std::string(pt::string), "answer " + std::to_string(++asked)}});
    };
    ownText("base");
    Child reader({tool, "read", "UTF8_STRING", "--times", "3", "--interval", "700"});
    EXPECT_EQ(reader.line(), "answer 1");
    EXPECT_EQ(reader.line(), "answer 1");
    clipboard->forgetAnswers(reader.pid() + 1);  // another process's: nothing changes
    clipboard->forgetAnswers(reader.pid());
    EXPECT_EQ(reader.line(), "answer 2");
    EXPECT_EQ(asked.load(), 2);
}

TEST_F(X11PasteRequestTest, AnUnansweredRequestGetsTheContentInTime) {
    hook = [](const X11Clipboard::Request&, X11Clipboard::Answer) {};  // never answers
    ownText("base");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Child({"xsel", "-b", "-o"}).all(), "base");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

const size_t twentyMB = 20'000'000, twoMB = 2'000'000;
std::vector<ClipboardSnapshot::Entry> twentyMBCopy() {
    return {{std::string(pt::html), std::string(twoMB, 'h')},
            {std::string(pt::string), std::string(twentyMB, 't')}};
}

TEST_F(X11ClipboardTest, HandsATwentyMBCopyToAClipboardManagerTextFirst) {
    // With no upper bound, so that the time the size earns is enough however
    // slow the machine: 1 s plus 1 s per 10 MB of the 102 MB of targets.
    limits.handOverMaximum = 60s;
    std::string error;
    auto owner = X11Clipboard::create({}, &error, nullptr, limits);
    ASSERT_TRUE(owner) << error;
    Child manager({tool, "manager", "--sizes"});
    ASSERT_EQ(manager.line(), "owned");
    ownItems(*owner, twentyMBCopy(), 30s);
    owner->shutdown(true);
    auto saved = manager.line(20s);
    ASSERT_TRUE(saved);
    const std::string text = ":" + std::to_string(twentyMB);
    EXPECT_EQ(saved->rfind("saved UTF8_STRING" + text + " ", 0), 0u) << *saved;
    for (const std::string& target : {"text/plain;charset=utf-8" + text, "text/plain" + text, "STRING" + text,
                                      "TEXT" + text, "text/html:" + std::to_string(twoMB)})
        EXPECT_NE(saved->find(" " + target), std::string::npos) << target << " in " << *saved;
}

TEST_F(X11ClipboardTest, TheHandOverWaitsOneSecondPlusOnePerTenMBUpToFive) {
    Child manager({tool, "manager", "--hang"});
    ASSERT_EQ(manager.line(), "owned");
    struct Case {
        std::vector<ClipboardSnapshot::Entry> items;
        std::chrono::milliseconds least, most;
    };
    for (auto& [items, least, most] :
         {Case{{{std::string(pt::string), "small"}}, 950ms, 2500ms}, Case{twentyMBCopy(), 4950ms, 7s}}) {
        std::string error;
        auto owner = X11Clipboard::create({}, &error);
        ASSERT_TRUE(owner) << error;
        ownItems(*owner, items, 30s);
        auto start = std::chrono::steady_clock::now();
        owner->shutdown(true);
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, least);
        EXPECT_LT(waited, most);
    }
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

// The clipboard service under owners that come and go, with a stand-in for
// the controller that answers each foreign copy with a cleaned rendition,
// at once or when the test lets its transform finish.
namespace dz::x11 {
namespace {

using namespace test;

std::string cleaned(const Clipboard::Rendition& items) {
    for (const auto& item : items)
        if (item.type == pt::string)
            return "clean " + item.data;
    for (const auto& item : items)
        if (item.type == pt::html)
            return "clean html of " + std::to_string(item.data.size()) + " bytes";
    return "clean";
}

std::string htmlOfSize(size_t size) {
    std::string html = "<meta charset=utf-8><p>";
    while (html.size() < size - 4)
        html += "word <b>bold</b> <a href=\"https://example.org/?utm_source=x\">a</a> ";
    html.resize(size - 4);
    return html + "</p>";
}

class X11ClipboardServiceFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        service = X11ClipboardService::create(scheduler, identity, &error);
        ASSERT_TRUE(service) << error;
        service->setChangeHandler([this](const Clipboard::Contents& contents) {
            notices.push_back(contents);
            if (!cleaning || contents.items.empty())
                return;
            auto publish = [this, contents] {
                // As the controller does: a newer copy wins and this one is dropped.
                if (service->changeCount() == contents.changeCount)
                    service->publish({{std::string(pt::string), cleaned(contents.items)},
                                      {std::string(pt::markerType), ""}});
            };
            if (holdRendition)
                held = publish;
            else
                publish();
        });
    }
    void TearDown() override {
        if (service)
            service->shutdown();
    }
    // Paste requests reach the main thread, so it turns while xclip reads.
    std::string paste(const std::string& target) {
        std::atomic<bool> done{false};
        std::string text;
        std::thread reader([&] {
            text = Child({"xclip", "-o", "-selection", "clipboard", "-t", target}).all();
            done = true;
        });
        scheduler.pumpUntil([&] { return done.load(); }, 15000ms);
        reader.join();
        return text;
    }
    void settle() {
        scheduler.pumpUntil([] { return false; }, 300ms);
    }

    PumpScheduler scheduler;
    AppIdentity identity;
    std::unique_ptr<X11ClipboardService> service;
    std::vector<Clipboard::Contents> notices;
    bool cleaning = true;
    bool holdRendition = false;
    std::function<void()> held;
};

TEST_F(X11ClipboardServiceFaultTest, AShortLivedOwnersCopyIsKeptAndThenCleaned) {
    for (bool slowTransform : {true, false}) {
        for (size_t size : {size_t(16 * 1024), size_t(1024 * 1024)}) {
            SCOPED_TRACE(std::to_string(size) + (slowTransform ? " bytes, slow transform" : " bytes"));
            holdRendition = slowTransform;
            const std::string html = htmlOfSize(size);
            const size_t before = notices.size();
            // Serves one request for its data, then exits.
            Child xclip({"xclip", "-quiet", "-loops", "1", "-selection", "clipboard", "-t", "text/html"},
                        html);
            ASSERT_TRUE(scheduler.pumpUntil([&] { return notices.size() > before; }, 20000ms));
            const Clipboard::Contents copy = notices.back();
            ASSERT_EQ(xclip.wait(10s), 0);
            ASSERT_TRUE(scheduler.pumpUntil([&] { return service->engine().ownsClipboard(); }));
            if (slowTransform) {
                // The copy as read, in its own form, until the rendition is ready.
                EXPECT_EQ(paste("text/html"), html);
                ASSERT_TRUE(held);
                held();
                held = nullptr;
            }
            settle();
            EXPECT_EQ(paste("UTF8_STRING"), "clean html of " + std::to_string(size) + " bytes");
            EXPECT_EQ(notices.size(), before + 1) << "the owner's exit is not a change";
            EXPECT_GT(service->changeCount(), copy.changeCount);
        }
    }
}

TEST_F(X11ClipboardServiceFaultTest, ABurstOfCopiesEndsOnTheNewestCleaned) {
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const std::string prefix = "run " + std::to_string(run) + " copy ";
        const std::string newest = "clean " + prefix + "199";
        Child burst({DZ_CLIPBOARD_TOOL, "burst", "200", "1", prefix});
        std::optional<std::string> done;
        ASSERT_TRUE(scheduler.pumpUntil([&] { return (done = burst.line(10ms)).has_value(); }, 30000ms));
        ASSERT_EQ(done, "done");
        // Generous: under a loaded machine the last copy is read after its
        // 199 predecessors' owners have come and gone.
        EXPECT_TRUE(scheduler.pumpUntil(
            [&] {
                const auto& items = service->contents().items;
                return service->engine().ownsClipboard() && !items.empty() && items[0].data == newest;
            },
            30000ms))
            << "the newest copy was not cleaned";
        settle();
        EXPECT_EQ(paste("UTF8_STRING"), newest);
    }
}

TEST_F(X11ClipboardServiceFaultTest, NeverOwnsAnEmptyClipboard) {
    cleaning = false;
    Child owner({DZ_CLIPBOARD_TOOL, "own", "UTF8_STRING=theirs"});
    ASSERT_EQ(owner.line(), "owned");
    ASSERT_TRUE(scheduler.pumpUntil([&] { return !notices.empty(); }));
    for (const Clipboard::Rendition& nothingToServe :
         {Clipboard::Rendition{}, Clipboard::Rendition{{std::string(pt::concealedType), ""}}}) {
        service->publish(nothingToServe);
        settle();
        EXPECT_FALSE(service->engine().ownsClipboard());
        EXPECT_EQ(paste("UTF8_STRING"), "theirs");
    }
}

}  // namespace
}  // namespace dz::x11
