#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/support/WholeFile.h"

using namespace dz;
namespace fs = std::filesystem;

namespace {

using Accept = WholeFile::Accept;
using Status = WholeFile::Status;

class WholeFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dz-whole-file-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& bytes) {
        fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    fs::path dir;
};

}  // namespace

TEST_F(WholeFileTest, ReadsUpToTheLimitInclusiveAcrossManyReads) {
    std::string bytes;
    for (int i = 0; i < 150001; ++i) bytes += static_cast<char>('a' + i % 26);
    fs::path path = write("big", bytes);

    WholeFile file = WholeFile::read(path, bytes.size(), Accept::regularFiles);
    EXPECT_EQ(file.status, Status::read);
    EXPECT_EQ(file.bytes, bytes);
    EXPECT_EQ(WholeFile::read(path, bytes.size() - 1, Accept::regularFiles).status, Status::tooLarge);
    EXPECT_EQ(WholeFile::read(write("empty", ""), 0, Accept::regularFiles).status, Status::read);
}

TEST_F(WholeFileTest, StreamsStopAtTheLimit) {
    EXPECT_EQ(WholeFile::read("/dev/zero", 100000, Accept::anythingButDirectories).status, Status::tooLarge);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "12345", 5), 5);
    ::close(ends[1]);
    EXPECT_EQ(WholeFile::readDescriptor(ends[0], 4, Accept::anythingButDirectories).status, Status::tooLarge);
    // The descriptor stays open for its owner.
    EXPECT_NE(fcntl(ends[0], F_GETFD), -1);
    ::close(ends[0]);
}

TEST_F(WholeFileTest, KindsAndErrors) {
    EXPECT_EQ(WholeFile::read(dir, 1000, Accept::regularFiles).status, Status::wrongKind);
    EXPECT_EQ(WholeFile::read(dir, 1000, Accept::anythingButDirectories).status, Status::wrongKind);
    EXPECT_EQ(WholeFile::read("/dev/null", 1000, Accept::regularFiles).status, Status::wrongKind);
    EXPECT_EQ(WholeFile::read("/dev/null", 1000, Accept::anythingButDirectories).status, Status::read);

    WholeFile missing = WholeFile::read(dir / "missing", 1000, Accept::regularFiles);
    EXPECT_EQ(missing.status, Status::cannotOpen);
    EXPECT_EQ(missing.error, ENOENT);
    WholeFile throughAFile = WholeFile::read(write("plain", "x") / "below", 1000, Accept::regularFiles);
    EXPECT_EQ(throughAFile.error, ENOTDIR);

    int writeOnly = ::open((dir / "plain").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writeOnly, 0);
    WholeFile unreadable = WholeFile::readDescriptor(writeOnly, 1000, Accept::regularFiles);
    ::close(writeOnly);
    EXPECT_EQ(unreadable.status, Status::cannotRead);
    EXPECT_EQ(unreadable.error, EBADF);
}
