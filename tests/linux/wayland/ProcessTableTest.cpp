// The process table read as untrusted text: entry names, and the parent in
// each stat line of tests/fixtures/linux/proc-stat-parents.txt.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "linux/wayland/ProcessTable.h"

namespace dz::wayland {
namespace {

namespace fs = std::filesystem;

struct TempDir {
    TempDir() {
        char dir[] = "/tmp/dz-proctable-XXXXXX";
        path = mkdtemp(dir);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

TEST(ProcessTable, OnlyDecimalNamesAreProcesses) {
    EXPECT_EQ(ProcessTable::parsePID("1"), 1);
    EXPECT_EQ(ProcessTable::parsePID("4194304"), 4194304);
    for (const char* name : {"", "self", "12a", "-1", " 12", "1.5", "99999999999", "18446744073709551617"})
        EXPECT_FALSE(ProcessTable::parsePID(name)) << '"' << name << '"';
}

TEST(ProcessTable, ListsTheNumberedEntriesAndTellsAnUnreadableTable) {
    TempDir proc;
    for (const char* name : {"12", "7", "self", "net", "3x"}) fs::create_directories(proc.path / name);
    ProcessTable table(proc.path);
    auto pids = table.pids();
    ASSERT_TRUE(pids);
    std::sort(pids->begin(), pids->end());
    EXPECT_EQ(*pids, (std::vector<pid_t>{7, 12}));
    EXPECT_TRUE(table.ownedBy(12, getuid()));
    EXPECT_FALSE(table.ownedBy(12, getuid() + 1));
    EXPECT_FALSE(table.ownedBy(13, getuid())) << "gone";
    EXPECT_FALSE(ProcessTable(proc.path / "missing").pids());
}

TEST(ProcessTable, ReadsTheParentPastWhateverTheNameHolds) {
    std::ifstream file(DZ_FIXTURES_DIR "/linux/proc-stat-parents.txt");
    ASSERT_TRUE(file) << "fixture missing";
    TempDir proc;
    ProcessTable table(proc.path);
    int cases = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        std::string expected, stat;
        in >> expected >> std::ws;
        std::getline(in, stat);
        SCOPED_TRACE(line);
        const pid_t pid = 1000 + cases++;
        fs::create_directories(proc.path / std::to_string(pid));
        std::ofstream(proc.path / std::to_string(pid) / "stat") << stat << "\n";
        auto parent = table.parent(pid);
        if (expected == "-")
            EXPECT_FALSE(parent) << *parent;
        else
            EXPECT_EQ(parent, std::stoi(expected));
    }
    EXPECT_GE(cases, 10);
    EXPECT_FALSE(table.parent(1)) << "no such process";
}

}  // namespace
}  // namespace dz::wayland
