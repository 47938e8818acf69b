// The Wayland clipboard keeps the promises every backend keeps, against the
// compositor fake, with the test tool (two builds, two applications) as the
// other clients.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "linux/wayland/OfferedTypes.h"
#include "linux/wayland/WaylandClipboardService.h"
#include "tests/app/platform/ClipboardContract.h"
#include "tests/linux/wayland/FakeCompositor.h"
#include "tests/linux/x11/PumpScheduler.h"
#include "tests/linux/x11/X11TestSupport.h"

namespace dz::test {
namespace {

using x11::test::Child;
using x11::test::PumpScheduler;

class WaylandClipboardHarness {
  public:
    static constexpr std::string_view copierID = "dz_wayland_tool";
    static constexpr size_t maxItemBytes = 31'457'280;
    static constexpr bool namesCopier = false;
    static constexpr bool seesProbes = false;

    WaylandClipboardHarness() {
        compositor_ = std::make_unique<wayland::test::FakeCompositor>();
        char dir[] = "/tmp/dz-copies-XXXXXX";
        if (mkdtemp(dir))
            dir_ = dir;
        if (!compositor_->running()) {
            ADD_FAILURE() << "the compositor fake did not start";
            return;
        }
        setenv("WAYLAND_DISPLAY", compositor_->socket().c_str(), 1);
        std::string error;
        // Sanitized builds on a busy machine read /proc slowly; the pastes of
        // these tests must be named all the same.
        wayland::ClipboardLimits limits;
        limits.peerScanDeadline = std::chrono::seconds(2);
        limits.peerScanBudget = std::chrono::seconds(10);
        service_ = wayland::WaylandClipboardService::create(scheduler_, identity_, &error,
                                                            compositor_->socket().c_str(), limits);
        if (!service_)
            ADD_FAILURE() << error;
    }
    ~WaylandClipboardHarness() {
        owners_.clear();
        if (service_)
            service_->shutdown();
        service_.reset();
        compositor_.reset();
        for (const auto& file : files_) std::remove(file.c_str());
        if (!dir_.empty())
            rmdir(dir_.c_str());
    }

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

    std::string requesterID(int requester) {
        return requester == 0 ? "dz_wayland_tool" : "dz_wayland_reader";
    }
    std::string paste(int requester) {
        return run(
            {requester == 0 ? DZ_WAYLAND_TOOL : DZ_WAYLAND_READER, "paste", "text/plain;charset=utf-8"});
    }
    void probe() { run({DZ_WAYLAND_TOOL, "types"}); }
    void save() {}
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
        scheduler_.pumpUntil([] { return false; }, std::chrono::milliseconds(200));
    }
    void whenAsked(std::function<bool()> step) { step_ = std::move(step); }

  private:
    void start(const std::vector<std::string>& args) {
        auto owner = std::make_unique<Child>(args);
        if (owner->line() != "owned")
            ADD_FAILURE() << "the copying tool did not take the selection";
        owners_.push_back(std::move(owner));
    }

    std::string dir_;
    std::unique_ptr<wayland::test::FakeCompositor> compositor_;
    PumpScheduler scheduler_;
    x11::AppIdentity identity_;
    std::unique_ptr<wayland::WaylandClipboardService> service_;
    std::vector<std::unique_ptr<Child>> owners_;
    std::vector<std::string> files_;
    std::function<bool()> step_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Wayland, ClipboardContract, WaylandClipboardHarness);
INSTANTIATE_TYPED_TEST_SUITE_P(Wayland, RealClipboardContract, WaylandClipboardHarness);

}  // namespace
}  // namespace dz::test
