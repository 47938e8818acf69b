// The pipe-peer scan over a made-up /proc, and on a real pipe with a child.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "linux/wayland/PipePeers.h"

namespace dz::wayland {
namespace {

namespace fs = std::filesystem;

class FakeProc {
  public:
    FakeProc() {
        char dir[] = "/tmp/dz-proc-XXXXXX";
        root_ = mkdtemp(dir);
    }
    ~FakeProc() { fs::remove_all(root_); }
    void process(pid_t pid, std::vector<std::string> links, const std::string& name = "app", pid_t parent = 1,
                 const std::string& exe = {}) {
        fs::create_directories(root_ / std::to_string(pid) / "fd");
        if (!exe.empty())
            fs::create_symlink(exe, root_ / std::to_string(pid) / "exe");
        std::ofstream(root_ / std::to_string(pid) / "comm") << name << "\n";
        std::ofstream(root_ / std::to_string(pid) / "stat")
            << pid << " (" << name << ") S " << parent << " 1 1 0 -1\n";
        int n = 0;
        for (const auto& link : links)
            fs::create_symlink(link, root_ / std::to_string(pid) / "fd" / std::to_string(n++));
    }
    const fs::path& root() const { return root_; }

  private:
    fs::path root_;
};

TEST(PipePeers, FindsTheOtherHolderSkippingTheExcludedAndTheFirstLookedAtFirst) {
    FakeProc proc;
    proc.process(10, {"pipe:[77]", "socket:[5]"});  // ourselves
    proc.process(11, {"pipe:[77]"});                // the compositor
    proc.process(12, {"/dev/null", "pipe:[770]"});
    proc.process(13, {"pipe:[77]"});
    proc.process(14, {"pipe:[77]"});
    PipePeers peers(proc.root(), {10, 11}, getuid());

    auto found = peers.find(77).pid;
    ASSERT_TRUE(found);
    EXPECT_TRUE(*found == 13 || *found == 14) << *found;
    EXPECT_EQ(peers.find(77, {14}).pid, 14) << "the front application's processes first";
    EXPECT_FALSE(peers.find(78).pid);
    EXPECT_FALSE(PipePeers(proc.root(), {10, 11}, getuid() + 1).find(77).pid)
        << "only the user's own processes";
    auto none = peers.find(77, {}, std::chrono::milliseconds(0));
    EXPECT_TRUE(none.timedOut);
    EXPECT_FALSE(none.pid);
}

TEST(PipePeers, AHelperStandsForTheApplicationThatStartedIt) {
    FakeProc proc;
    proc.process(30, {}, "wl-paste");
    proc.process(31, {}, "sh", 30);
    proc.process(32, {"pipe:[5]"}, "cat", 31);
    proc.process(40, {}, "Xwayland");
    proc.process(41, {}, "cat", 40);
    proc.process(50, {}, "cat", 10);       // started by the compositor
    proc.process(60, {}, "a (cat) b", 1);  // a name with spaces and parentheses
    proc.process(70, {}, "wl-copy", 1, "/usr/bin/wl-copy");
    proc.process(71, {}, "wl-copy", 70, "/usr/bin/wl-copy");          // its writer, gone soon
    proc.process(80, {}, "firefox", 70, "/usr/lib/firefox/firefox");  // another program it started
    PipePeers peers(proc.root(), {10}, getuid());
    EXPECT_EQ(peers.application(32), 30);
    EXPECT_EQ(peers.application(30), 30);
    EXPECT_FALSE(peers.application(40)) << "an X11 application, unknown here";
    EXPECT_FALSE(peers.application(41));
    EXPECT_EQ(peers.application(50), 50) << "never the excluded";
    EXPECT_EQ(peers.application(60), 60);
    EXPECT_EQ(peers.application(71), 70) << "a worker forked by the same program";
    EXPECT_EQ(peers.application(80), 80) << "a program of its own";
}

TEST(PipePeers, FindsAChildHoldingTheOtherEnd) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        pause();
        _exit(0);
    }
    close(ends[1]);
    auto inode = PipePeers::pipeInode(ends[0]);
    ASSERT_TRUE(inode);
    EXPECT_FALSE(PipePeers::pipeInode(STDERR_FILENO + 100));
    PipePeers peers("/proc", {getpid()});
    // The child may still be starting; its descriptors are there from fork.
    EXPECT_EQ(peers.find(*inode).pid, child);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ends[0]);
}

}  // namespace
}  // namespace dz::wayland
