// The Wayland clipboard's costs that users feel: the scan for the process on
// the other end of a transfer on a desktop of 300 processes, and a copy's
// change notice to the copy read (10 KB of HTML) through the compositor fake.
// The render that follows is the controller's (bench_controller).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "core/clipboard/PasteboardTypes.h"
#include "linux/wayland/DataControlClipboard.h"
#include "linux/wayland/PipePeers.h"
#include "tests/linux/wayland/FakeCompositor.h"

namespace {

using namespace dz;
using namespace dz::wayland;

// 300 processes of ours, each with a few pipes of its own, and before them
// one that holds the pipe looked for: the scan, newest first, reaches it last.
struct LoadedDesktop {
    std::vector<pid_t> children;
    pid_t holder = 0;
    int held = -1;
    int ready[2] = {-1, -1};
    LoadedDesktop() {
        int ends[2];
        if (pipe(ready) != 0 || pipe(ends) != 0)
            return;
        holder = spawn(-1);
        close(ends[1]);
        held = ends[0];
        children.push_back(holder);
        for (int i = 0; i < 300; ++i) children.push_back(spawn(held));
        // Until every child has dropped what it must not hold.
        char byte;
        for (size_t i = 0; i < children.size(); ++i)
            if (read(ready[0], &byte, 1) != 1)
                break;
    }
    ~LoadedDesktop() {
        for (pid_t pid : children) kill(pid, SIGKILL);
        for (pid_t pid : children) waitpid(pid, nullptr, 0);
        if (held >= 0)
            close(held);
        close(ready[0]);
        close(ready[1]);
    }
    pid_t spawn(int drop) {
        pid_t pid = fork();
        if (pid == 0) {
            if (drop >= 0)
                close(drop);
            close(ready[0]);
            (void)!write(ready[1], "r", 1);
            int ends[2];
            for (int i = 0; i < 4; ++i)
                if (pipe(ends) != 0)
                    break;
            pause();
            _exit(0);
        }
        return pid;
    }
};

void BM_PipePeerScan300(benchmark::State& state) {
    LoadedDesktop desktop;
    auto inode = PipePeers::pipeInode(desktop.held);
    if (!inode) {
        state.SkipWithError("no pipe");
        return;
    }
    PipePeers peers("/proc", {getpid()});
    size_t seen = 0;
    bool found = true;
    for (auto _ : state) {
        // No deadline here: the whole cost is what is measured.
        auto scan = peers.find(*inode, {}, std::chrono::seconds(10));
        found = found && scan.pid == desktop.holder;
        seen = scan.processesSeen;
    }
    if (!found)
        state.SkipWithError(("the holder " + std::to_string(desktop.holder) + " was not found").c_str());
    state.counters["processes"] = double(seen);
}
BENCHMARK(BM_PipePeerScan300)->Unit(benchmark::kMillisecond);

std::string html10k() {
    std::string html = "<meta charset=utf-8><article><h1>Title</h1>";
    while (html.size() < 10'000)
        html += "<p>Some <b>bold</b> text and <a href=\"https://example.org/x\">a link</a>.</p>";
    return html + "</article>";
}

void BM_ChangeNoticeToCopyRead(benchmark::State& state) {
    test::FakeCompositor compositor;
    std::mutex m;
    std::condition_variable cv;
    uint64_t read = 0;
    DataControlClipboard::Callbacks watching;
    watching.changed = [&](DataControlClipboard::Change change) {
        benchmark::DoNotOptimize(change);
        std::lock_guard lock(m);
        ++read;
        cv.notify_all();
    };
    auto watcher = DataControlClipboard::create(watching, nullptr, compositor.socket().c_str());
    // A copier that does not look for who reads: only the watcher's side is measured.
    ClipboardLimits quick;
    quick.peerScanDeadline = std::chrono::steady_clock::duration::zero();
    auto copier = DataControlClipboard::create({}, nullptr, compositor.socket().c_str(), quick);
    if (!watcher || !copier) {
        state.SkipWithError("the compositor fake did not answer");
        return;
    }
    const std::string html = html10k();
    for (auto _ : state) {
        uint64_t before;
        {
            std::lock_guard lock(m);
            before = read;
        }
        copier->own(
            {{std::string(pasteboardtype::html), html}, {std::string(pasteboardtype::string), "Title"}});
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(5), [&] { return read > before; })) {
            state.SkipWithError("the copy was not read");
            break;
        }
    }
    watcher->shutdown();
    copier->shutdown();
}
BENCHMARK(BM_ChangeNoticeToCopyRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
