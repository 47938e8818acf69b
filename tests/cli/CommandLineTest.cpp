// dozuzavuvu-cli as a shell runs it: exit codes and the one-line messages.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "dz-cli-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

struct Outcome {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out, err;
    double seconds = 0;
};

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the command line with `args`; standard input from `input` (or /dev/null).
Outcome cli(const TempDir& temp, std::vector<std::string> args, const std::string& input = "/dev/null") {
    fs::path out = temp.path / "stdout", err = temp.path / "stderr";
    std::vector<char*> argv;
    std::string program = DZ_CLI_PATH;
    argv.push_back(program.data());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t child = ::fork();
    if (child == 0) {
        int in = ::open(input.c_str(), O_RDONLY);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(in, 0);
        ::dup2(o, 1);
        ::dup2(e, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

}  // namespace

TEST(CommandLineTest, UnreadableInputsExitTwoWithOneLineNamingThem) {
    TempDir temp;
    const std::string dir = (temp.path / "folder").string();
    fs::create_directory(dir);
    const std::string missing = (temp.path / "missing.html").string();
    const std::string isDir = "error: cannot read " + dir + ": Is a directory\n";
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"clean", "--html", dir}, isDir},
        {{"clean", "--text", dir}, isDir},
        {{"clean", "--rtf", dir}, isDir},
        {{"clean", "--text", "-", "--script", dir}, isDir},
        {{"settings", "check", dir}, isDir},
        {{"settings", "export", dir}, isDir},
        {{"inspect", "public.html=" + dir}, isDir},
        {{"clean", "--html", missing}, "error: cannot read " + missing + ": No such file or directory\n"},
        {{"settings", "check", missing}, "error: cannot read " + missing + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        Outcome run = cli(temp, c.args);
        EXPECT_EQ(run.status, 2) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.err, c.message) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.out, "");
    }
    // A directory as standard input is refused the same way.
    Outcome run = cli(temp, {"clean", "--format", "plain"}, dir);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "error: cannot read standard input: Is a directory\n");
}

TEST(CommandLineTest, InputsOverTheCapAreRefused) {
    TempDir temp;
    // A sparse file is refused by its size, before anything is read.
    const std::string big = (temp.path / "big.txt").string();
    {
        int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(::ftruncate(fd, (off_t{256} << 20) + 1), 0);
        ::close(fd);
    }
    Outcome run = cli(temp, {"clean", "--text", big});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "error: cannot read " + big + ": larger than 256 MiB\n");
    // A stream without end is cut off at the cap instead of growing.
    run = cli(temp, {"clean", "--format", "plain"}, "/dev/zero");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "error: cannot read standard input: larger than 256 MiB\n");
}

TEST(CommandLineTest, ExitsOnTimeAfterGivingUpOnARunawayScript) {
    TempDir temp;
    const std::string script = (temp.path / "runaway.js").string();
    std::ofstream(script) << "function transform(t) { for (;;) {} }";
    const std::string input = (temp.path / "in.txt").string();
    std::ofstream(input) << "hello";
    Outcome run = cli(temp, {"clean", "--format", "plain", "--text", input, "--script", script});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "hello");
    // The cleaned text without the script, at the time limit; exiting does
    // not wait for the worker that was given up on.
    EXPECT_EQ(run.err, "Script timed out after 1.5 seconds.\n");
    EXPECT_LT(run.seconds, 5.0);
}
