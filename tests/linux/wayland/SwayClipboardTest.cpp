// The Wayland clipboard on a real compositor (headless Sway, wlr-data-control)
// with wl-clipboard's tools as the other applications. Run by run-under-sway.sh.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/wayland/ClipboardKeeper.h"
#include "linux/wayland/OfferedTypes.h"
#include "linux/wayland/WaylandClipboardService.h"
#include "tests/app/platform/ClipboardContract.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::test {
namespace {

using namespace std::chrono_literals;
using x11::test::Child;
using x11::test::PumpScheduler;

class SwayHarness {
  public:
    static constexpr std::string_view copierID = "dz_wayland_tool";
    static constexpr size_t maxItemBytes = 31'457'280;
    static constexpr bool namesCopier = false;
    static constexpr bool seesProbes = false;

    SwayHarness() {
        std::string error;
        // Sanitized builds on a busy machine read /proc slowly; the pastes of
        // these tests must be named all the same.
        wayland::ClipboardLimits limits;
        limits.peerScanDeadline = 2s;
        limits.peerScanBudget = 10s;
        service_ = wayland::WaylandClipboardService::create(scheduler_, identity_, &error, nullptr, limits);
        if (!service_)
            ADD_FAILURE() << error;
        char dir[] = "/tmp/dz-copies-XXXXXX";
        if (mkdtemp(dir))
            dir_ = dir;
    }
    ~SwayHarness() {
        owners_.clear();
        if (service_)
            service_->shutdown();
        for (const auto& file : files_) std::remove(file.c_str());
        if (!dir_.empty())
            rmdir(dir_.c_str());
    }

    wayland::WaylandClipboardService& service() { return *service_; }
    Clipboard& clipboard() { return *service_; }

    void copy(const Clipboard::Rendition& items) {
        std::vector<std::string> args{DZ_WAYLAND_TOOL, "copy"};
        for (const auto& item : wayland::offeredItems(items)) {
            std::string path = dir_ + "/" + std::to_string(files_.size());
            std::ofstream(path, std::ios::binary) << item.data();
            files_.push_back(path);
            args.push_back(item.target + "=@" + path);
        }
        start(args);
    }
    void copyHung() { start({DZ_WAYLAND_TOOL, "copy", "--hang", "text/plain;charset=utf-8=x"}); }
    // wl-copy goes to the background itself once it has the selection: wait
    // for its foreground part to leave, never stop it (that would take its
    // selection with it).
    void wlCopy(std::vector<std::string> args, const std::string& input = {}) {
        std::string in = "/dev/null";
        if (!input.empty()) {
            in = dir_ + "/input-" + std::to_string(files_.size());
            std::ofstream(in, std::ios::binary) << input;
            files_.push_back(in);
        }
        args.insert(args.begin(), "wl-copy");
        pid_t pid = fork();
        if (pid == 0) {
            int fd = open(in.c_str(), O_RDONLY);
            int null = open("/dev/null", O_WRONLY);
            if (fd < 0 || null < 0)
                _exit(126);
            dup2(fd, 0);
            dup2(null, 1);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wl-copy failed";
    }

    std::string requesterID(int requester) { return requester == 0 ? "wl-paste" : "dz_wayland_reader"; }
    std::string paste(int requester) {
        if (requester == 1)
            return run({DZ_WAYLAND_READER, "paste", "text/plain;charset=utf-8"});
        // With --no-newline wl-paste hands its own output to the copier and
        // leaves at once: the reader of its output is the paster then. Without
        // it, it reads the copy itself and adds a line break.
        std::string text = run({"wl-paste", "--type", "text/plain;charset=utf-8"});
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }
    void probe() { run({"wl-paste", "--list-types"}); }
    void save() {}
    std::string run(const std::vector<std::string>& command) {
        std::atomic<bool> done{false};
        std::string text;
        std::thread reader([&] {
            text = Child(command).all(20000ms);
            done = true;
        });
        runUntil([&] {
            if (step_ && step_())
                step_ = nullptr;
            return done.load();
        });
        reader.join();
        return text;
    }
    bool runUntil(const std::function<bool()>& done) { return scheduler_.pumpUntil(done, 15000ms); }
    void settle() {
        scheduler_.pumpUntil([] { return false; }, 300ms);
    }
    void whenAsked(std::function<bool()> step) { step_ = std::move(step); }
    void keep(std::unique_ptr<Child> child) { owners_.push_back(std::move(child)); }
    void stopKept() { owners_.clear(); }
    void release() { service_.reset(); }
    PumpScheduler& scheduler() { return scheduler_; }

  private:
    void start(const std::vector<std::string>& args) {
        auto owner = std::make_unique<Child>(args);
        if (owner->line() != "owned")
            ADD_FAILURE() << "the copying tool did not take the selection";
        owners_.push_back(std::move(owner));
    }

    PumpScheduler scheduler_;
    x11::AppIdentity identity_;
    std::unique_ptr<wayland::WaylandClipboardService> service_;
    std::vector<std::unique_ptr<Child>> owners_;
    std::string dir_;
    std::vector<std::string> files_;
    std::function<bool()> step_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Sway, ClipboardContract, SwayHarness);
INSTANTIATE_TYPED_TEST_SUITE_P(Sway, RealClipboardContract, SwayHarness);

class SwayClipboard : public ::testing::Test {
  protected:
    void SetUp() override {
        // What the last test's clients leave behind as they go is not ours to see.
        h.settle();
        h.clipboard().setChangeHandler(
            [this](const Clipboard::Contents& contents) { notices.push_back(contents); });
    }
    bool noticed(std::string_view type, const std::function<bool(const std::string&)>& matches) {
        return h.runUntil([&] {
            for (const auto& notice : notices)
                if (auto item = itemOf(notice.items, type); item && matches(*item))
                    return true;
            return false;
        });
    }
    static Clipboard::Rendition plain(const std::string& text) {
        return {{std::string(pasteboardtype::string), text}, {std::string(pasteboardtype::markerType), ""}};
    }
    std::string wlPaste() { return h.paste(0); }

    SwayHarness h;
    std::vector<Clipboard::Contents> notices;
};

TEST_F(SwayClipboard, AnHTMLCopyFromWlCopyIsReadAndOurCleanedCopyIsWhatWlPasteGets) {
    h.wlCopy({"--type", "text/html", "<p>Hello <b>there</b></p>"});
    EXPECT_TRUE(noticed(pasteboardtype::html,
                        [](const std::string& html) { return html == "<p>Hello <b>there</b></p>"; }));
    h.clipboard().publish(plain("Hello there"));
    h.settle();
    EXPECT_EQ(wlPaste(), "Hello there");
    EXPECT_EQ(h.run({"wl-paste", "--no-newline", "--type", "text/html"}), "") << "the HTML is gone";
}

TEST_F(SwayClipboard, WithARecopyingPeerEachCopyIsRewrittenOnce) {
    // The peer copies every new selection's text again, without our marker.
    auto peer = std::make_unique<Child>(std::vector<std::string>{"wl-paste", "--watch", "wl-copy"});
    h.settle();
    h.keep(std::move(peer));
    int rewrites = 0;
    h.clipboard().setChangeHandler([&](const Clipboard::Contents& contents) {
        auto text = itemOf(contents.items, pasteboardtype::string);
        if (text && text->rfind("clean:", 0) != 0) {
            ++rewrites;
            h.clipboard().publish(plain("clean:" + *text));
        }
    });
    h.wlCopy({"copied"});
    ASSERT_TRUE(h.runUntil([&] { return rewrites >= 1; }));
    // The peer goes on copying both the copy and our rewrite, over and over.
    h.scheduler().pumpUntil([] { return false; }, 3000ms);
    EXPECT_EQ(rewrites, 1);
    auto pasted = wlPaste();
    EXPECT_TRUE(pasted == "clean:copied" || pasted == "copied") << pasted;
    // Stop the peer, and with a last copy of ours end its copies still in flight.
    h.clipboard().setChangeHandler(nullptr);
    h.stopKept();
    h.scheduler().pumpUntil([] { return false; }, 500ms);
    h.wlCopy({"end"});
    h.scheduler().pumpUntil([] { return false; }, 500ms);
}

TEST_F(SwayClipboard, AMebibyteGoesBothWaysAndTheCopierIsNamed) {
    std::string big(1 << 20, 'x');
    big[12345] = 'y';
    h.wlCopy({"--type", "text/plain;charset=utf-8"}, big);
    ASSERT_TRUE(noticed(pasteboardtype::string, [](const std::string& text) { return text.size() >= 4096; }));
    auto text = itemOf(notices.back().items, pasteboardtype::string);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), big.size());
    EXPECT_TRUE(*text == big) << "the copy arrives intact";
    // A copier still writing holds the pipe: it is found.
    ASSERT_TRUE(notices.back().owner);
    EXPECT_EQ(notices.back().owner->bundleID, "wl-copy");

    std::string ours(1 << 20, 'o');
    h.clipboard().publish(plain(ours));
    h.settle();
    auto pasted = wlPaste();
    EXPECT_EQ(pasted.size(), ours.size());
    EXPECT_TRUE(pasted == ours) << "our copy arrives intact";
}

TEST_F(SwayClipboard, AReaderThatNeverReadsHoldsUpNoOtherPaste) {
    h.clipboard().publish(plain(std::string(1 << 20, 's')));
    h.settle();
    auto stalled = std::make_unique<Child>(
        std::vector<std::string>{DZ_WAYLAND_READER, "stall", "text/plain;charset=utf-8"});
    EXPECT_EQ(stalled->line(), "asked");
    h.keep(std::move(stalled));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wlPaste().size(), size_t(1) << 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(SwayClipboard, AnotherCopyCancelsOurSelection) {
    h.clipboard().publish(plain("ours"));
    h.settle();
    ASSERT_TRUE(h.service().engine().ownsClipboard());
    const int64_t ours = h.clipboard().changeCount();
    h.wlCopy({"theirs"});
    ASSERT_TRUE(noticed(pasteboardtype::string, [](const std::string& text) { return text == "theirs"; }));
    EXPECT_GT(h.clipboard().changeCount(), ours);
    EXPECT_FALSE(h.service().engine().ownsClipboard());
    EXPECT_EQ(wlPaste(), "theirs");
}

TEST_F(SwayClipboard, QuitLeavesTheLastCopyPasteable) {
    h.clipboard().publish(plain("kept after quit"));
    h.settle();
    ASSERT_TRUE(h.service().engine().holdsSelection());
    // As the program does at quit, with the keeper built on its own.
    h.service().shutdown(false);
    auto content = h.service().engine().ownedContent();
    ASSERT_TRUE(content);
    std::string error;
    ASSERT_TRUE(wayland::ClipboardKeeper::start(*content, &error, 2000, DZ_CLIPBOARD_KEEPER)) << error;
    h.release();  // our connection, and with it our selection, goes
    EXPECT_EQ(wlPaste(), "kept after quit");
    // The keeper leaves once another copy replaces its own.
    h.wlCopy({"next"});
    EXPECT_EQ(wlPaste(), "next");
}

}  // namespace
}  // namespace dz::test
