// The X11 clipboard keeps the promises every backend keeps, against a real X
// server, with the test tool, xclip and xsel as the other applications.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "linux/clipboard/MimeTypes.h"
#include "linux/clipboard/X11ClipboardService.h"
#include "tests/app/platform/ClipboardContract.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::test {
namespace {

using namespace x11::test;

class X11ClipboardHarness {
  public:
    static constexpr std::string_view copierID = "dz_clipboard_tool";
    static constexpr size_t maxItemBytes = 31'457'280;

    X11ClipboardHarness() {
        std::string error;
        service_ = x11::X11ClipboardService::create(scheduler_, identity_, &error);
        if (!service_)
            ADD_FAILURE() << error;
        char dir[] = "/tmp/dz-contract-XXXXXX";
        if (mkdtemp(dir))
            dir_ = dir;
    }
    ~X11ClipboardHarness() {
        owners_.clear();
        if (service_)
            service_->shutdown();
        if (!dir_.empty())
            std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    Clipboard& clipboard() { return *service_; }
    x11::X11ClipboardService& service() { return *service_; }
    PumpScheduler& scheduler() { return scheduler_; }

    // The copy is offered in the X targets our own table serves it as; a
    // single large plain text goes through xclip, which sends it in parts.
    void copy(const Clipboard::Rendition& items) {
        if (items.size() == 1 && items[0].data.size() > 1'000'000) {
            auto xclip = std::make_unique<Child>(
                std::vector<std::string>{"xclip", "-selection", "clipboard", "-i"}, items[0].data);
            owners_.push_back(std::move(xclip));
            return;
        }
        std::vector<std::string> args{DZ_CLIPBOARD_TOOL, "own"};
        for (const auto& target : x11::toTargets(items)) {
            std::string path = dir_ + "/" + std::to_string(files_++);
            std::ofstream(path, std::ios::binary) << target.data();
            args.push_back(target.target + "=@" + path);
        }
        start(args);
    }
    void copyHung() { start({DZ_CLIPBOARD_TOOL, "own", "--hang", "UTF8_STRING=x"}); }

    std::string requesterID(int requester) { return requester == 0 ? "xclip" : "xsel"; }
    std::string paste(int requester) {
        return run(requester == 0 ? std::vector<std::string>{"xclip", "-o", "-selection", "clipboard", "-t",
                                                             "UTF8_STRING"}
                                  : std::vector<std::string>{"xsel", "-b", "-o"});
    }
    void probe() { run({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}); }
    void save() { run({DZ_CLIPBOARD_TOOL, "read", "SAVE_TARGETS"}); }
    std::string run(const std::vector<std::string>& command) {
        std::atomic<bool> done{false};
        std::string text;
        std::thread reader([&] {
            text = Child(command).all();
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
    bool runUntil(const std::function<bool()>& done) {
        return scheduler_.pumpUntil(done, std::chrono::milliseconds(15000));
    }
    void settle() {
        // Our ownership is taken on the clipboard thread; give the server's
        // owner event time to come back.
        scheduler_.pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    }
    void whenAsked(std::function<bool()> step) { step_ = std::move(step); }

  private:
    void start(const std::vector<std::string>& args) {
        auto owner = std::make_unique<Child>(args);
        auto line = owner->line();
        if (line != "owned")
            ADD_FAILURE() << "the copying tool did not take the clipboard";
        owners_.push_back(std::move(owner));
    }

    PumpScheduler scheduler_;
    x11::AppIdentity identity_;
    std::unique_ptr<x11::X11ClipboardService> service_;
    std::vector<std::unique_ptr<Child>> owners_;
    std::string dir_;
    int files_ = 0;
    std::function<bool()> step_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(X11, ClipboardContract, X11ClipboardHarness);
INSTANTIATE_TYPED_TEST_SUITE_P(X11, RealClipboardContract, X11ClipboardHarness);

// A paste through Xwayland from the compositor's own window: a reader whose
// process the case names the compositor's stands for it, and the application
// in front is what a stand-in for the accessibility bus says.
class CompositorPastesX11 : public ::testing::Test {
  protected:
    static Clipboard::Rendition plain(const std::string& text) {
        return {{std::string(pasteboardtype::string), text}, {std::string(pasteboardtype::markerType), ""}};
    }
    // Pastes with xclip (or `reader`), which starts reading once its process
    // has been named the compositor's (exec keeps the shell's process).
    std::string pasteAsCompositor(std::optional<int32_t> front) {
        return pasteAsCompositor([front](auto) { return front; },
                                 "xclip -o -selection clipboard -t UTF8_STRING");
    }
    std::string pasteAsCompositor(x11::CompositorPastes::FrontProcess front, const std::string& reader) {
        std::atomic<bool> done{false};
        std::string text;
        char go[] = "/tmp/dz-go-XXXXXX";
        close(mkstemp(go));
        std::remove(go);
        Child child(
            {"sh", "-c", std::string("until [ -e ") + go + " ]; do sleep 0.01; done; exec " + reader});
        h.service().setCompositorPastes(std::make_unique<x11::CompositorPastes>(
            h.scheduler(), child.pid(), std::move(front), [](int32_t pid) {
                return Clipboard::Party{"front-" + std::to_string(pid), pid};
            }));
        std::ofstream{go};
        std::thread collect([&] {
            text = child.all();
            done = true;
        });
        h.runUntil([&] { return done.load(); });
        collect.join();
        std::remove(go);
        return text;
    }

    X11ClipboardHarness h;
};

TEST_F(CompositorPastesX11, TheApplicationInFrontPastesOrElseAnUnknownOne) {
    std::vector<Clipboard::PasteRequest> asked;
    h.clipboard().setPasteHandler([&](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
        asked.push_back(request);
        if (request.requester.bundleID == "front-4242")
            reply(plain("for the front application"));
        else
            reply(std::nullopt);
    });
    h.clipboard().publish(plain("for everyone"));
    h.settle();

    EXPECT_EQ(pasteAsCompositor(4242), "for the front application");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].requester, (Clipboard::Party{"front-4242", 4242}));

    // The accessibility bus cannot tell: an unknown application, served what everyone gets.
    EXPECT_EQ(pasteAsCompositor(std::nullopt), "for everyone");
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].requester, Clipboard::Party{});

    // Any other X11 application names itself.
    EXPECT_EQ(h.paste(1), "for everyone");
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2].requester.bundleID, "xsel");
}

// The compositor pastes for one application after another from the same
// window: the answer for the first must not be kept for the next.
TEST_F(CompositorPastesX11, EachPasteFromTheCompositorsWindowAsksAgain) {
    h.clipboard().setPasteHandler([&](const Clipboard::PasteRequest& request, Clipboard::PasteReply reply) {
        reply(plain("for " + request.requester.bundleID.value_or("?")));
    });
    h.clipboard().publish(plain("for everyone"));
    h.settle();
    std::atomic<int> lookUps{0};
    auto front = [&](auto) -> std::optional<int32_t> { return ++lookUps == 1 ? 4242 : 4343; };
    EXPECT_EQ(pasteAsCompositor(
                  front, std::string(DZ_CLIPBOARD_TOOL) + " read UTF8_STRING --times 2 --interval 300"),
              "for front-4242\nfor front-4343\n");
}

}  // namespace
}  // namespace dz::test
