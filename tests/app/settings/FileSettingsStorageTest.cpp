#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "app/settings/AppSettings.h"
#include "app/settings/FileSettingsStorage.h"

using namespace dz;
namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "dz-settings-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
    fs::path path;
};

size_t fileCount(const fs::path& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
    return n;
}

class EnvVar {
  public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(FileSettingsStorageTest, DefaultDirectoryFollowsXDG) {
    {
        EnvVar xdg("XDG_CONFIG_HOME", "/tmp/xdg-config");
        EXPECT_EQ(FileSettingsStorage::defaultDirectory(), fs::path("/tmp/xdg-config/dozuzavuvu"));
    }
    EnvVar home("HOME", "/home/someone");
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
        EnvVar xdg("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(FileSettingsStorage::defaultDirectory(), fs::path("/home/someone/.config/dozuzavuvu"));
    }
}

TEST(FileSettingsStorageTest, WritesCreateTheFolderAndReplaceTheFile) {
    TempDir temp;
    FileSettingsStorage storage(temp.path / "nested" / "dozuzavuvu");
    EXPECT_EQ(storage.read("settings.v1").status, SettingsStorage::Stored::Status::absent);
    ASSERT_TRUE(storage.write("settings.v1", "first"));
    ASSERT_TRUE(storage.write("settings.v1", std::string("second\0with nul", 15)));
    SettingsStorage::Stored stored = storage.read("settings.v1");
    EXPECT_EQ(stored.status, SettingsStorage::Stored::Status::present);
    EXPECT_EQ(stored.bytes, std::string("second\0with nul", 15));
    EXPECT_EQ(storage.path("settings.v1"), temp.path / "nested" / "dozuzavuvu" / "settings.v1");
    // No temporary files are left behind, and the file is private.
    EXPECT_EQ(fileCount(storage.directory()), 1u);
    EXPECT_EQ(fs::status(storage.path("settings.v1")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(FileSettingsStorageTest, RejectsKeysThatAreNotFileNames) {
    TempDir temp;
    FileSettingsStorage storage(temp.path);
    for (const char* key : {"", ".", "..", "../escape", "a/b"}) {
        EXPECT_FALSE(storage.write(key, "x")) << key;
        EXPECT_EQ(storage.read(key).status, SettingsStorage::Stored::Status::failed) << key;
    }
    EXPECT_EQ(fileCount(temp.path), 0u);
}

TEST(FileSettingsStorageTest, AFailingWriteLeavesThePreviousFileIntact) {
    TempDir temp;
    FileSettingsStorage storage(temp.path);
    ASSERT_TRUE(storage.write("settings.v1", "{\"autoClean\":false}"));

    // Let the write fail part-way, as on a full disk: the file size limit
    // makes write() stop with EFBIG after 4 KiB.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string error;
    bool written = storage.write("settings.v1", std::string(100000, 'x'), &error);
    setrlimit(RLIMIT_FSIZE, &old);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_EQ(storage.read("settings.v1").bytes, "{\"autoClean\":false}");
    EXPECT_EQ(fileCount(temp.path), 1u);
}

TEST(FileSettingsStorageTest, AnUnwritableFolderLeavesThePreviousFileIntact) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    TempDir temp;
    FileSettingsStorage storage(temp.path);
    ASSERT_TRUE(storage.write("settings.v1", "old"));
    fs::permissions(temp.path, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    EXPECT_FALSE(storage.write("settings.v1", "new", &error));
    EXPECT_FALSE(error.empty());
    fs::permissions(temp.path, fs::perms::owner_all);
    EXPECT_EQ(storage.read("settings.v1").bytes, "old");
}

TEST(FileSettingsStorageTest, SomethingThatIsNotAFileReadsAsFailed) {
    TempDir temp;
    fs::create_directory(temp.path / "settings.v1");
    FileSettingsStorage storage(temp.path);
    EXPECT_EQ(storage.read("settings.v1").status, SettingsStorage::Stored::Status::failed);
    // A missing folder is simply nothing stored.
    EXPECT_EQ(FileSettingsStorage(temp.path / "missing").read("settings.v1").status,
              SettingsStorage::Stored::Status::absent);
}

TEST(FileSettingsStorageTest, CopiesKeptAsideNeverReplaceEachOther) {
    TempDir temp;
    const std::string key(AppSettings::unreadableKey);
    // Two hand-edits gone wrong in a row, each loaded by a fresh program.
    for (const char* broken : {"{\"autoClean\": \"no\"", "not json either"}) {
        FileSettingsStorage storage(temp.path);
        ASSERT_TRUE(storage.write(AppSettings::storageKey, broken));
        AppSettings settings(storage);
        EXPECT_EQ(settings.data(), SettingsData());
    }
    FileSettingsStorage storage(temp.path);
    EXPECT_EQ(storage.read(key).bytes, "{\"autoClean\": \"no\"");
    EXPECT_EQ(storage.read(key + ".2").bytes, "not json either");

    // Of many, the first and the newest nine stay.
    for (int i = 3; i <= 14; ++i) ASSERT_TRUE(storage.keepAside(key, "copy " + std::to_string(i)));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.path))
        names.insert(entry.path().filename().string());
    std::set<std::string> expected = {std::string(AppSettings::storageKey), key};
    for (int i = 6; i <= 14; ++i) expected.insert(key + "." + std::to_string(i));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(storage.read(key).bytes, "{\"autoClean\": \"no\"");
    EXPECT_EQ(storage.read(key + ".14").bytes, "copy 14");
}

TEST(FileSettingsStorageTest, ReadingRemovesStaleTemporaryFilesOnly) {
    TempDir temp;
    FileSettingsStorage storage(temp.path);
    ASSERT_TRUE(storage.write("settings.v1", "stored"));
    ASSERT_TRUE(storage.keepAside("settings.v1.unreadable", "kept"));
    auto make = [&](const std::string& name, int ageSeconds) {
        std::ofstream(temp.path / name) << "partial";
        timespec times[2] = {{::time(nullptr) - ageSeconds, 0}, {::time(nullptr) - ageSeconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (temp.path / name).c_str(), times, 0), 0);
    };
    make(".settings.v1.aB3xYz", 120);              // killed mid-save: removed
    make(".settings.v1.unreadable.Qw12er", 3600);  // killed while keeping a copy: removed
    make(".settings.v1.k9LmNo", 5);                // another program saving right now: kept
    make(".settings.v1.toolong1", 3600);           // not our pattern: kept
    make(".other.v1.aB3xYz", 3600);                // another key's: kept
    make("settings.v1.unreadable.2", 3600);        // an old kept-aside copy: kept
    EXPECT_EQ(storage.read("settings.v1").bytes, "stored");
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.path))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"settings.v1", "settings.v1.unreadable", ".settings.v1.k9LmNo",
                                            ".settings.v1.toolong1", ".other.v1.aB3xYz",
                                            "settings.v1.unreadable.2"}));
}
