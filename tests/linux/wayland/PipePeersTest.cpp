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
    void process(pid_t pid, std::vector<std::string> links) {
        fs::create_directories(root_ / std::to_string(pid) / "fd");
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
