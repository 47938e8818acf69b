// The command line from process start to exit, as a shell runs it: each
// iteration forks and execs the built `dozuzavuvu-cli` and takes the child's
// own CPU time (user + system, from wait4) as the iteration's time. Start-up
// dominates at clipboard sizes, so this is the figure a small conversion costs.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A clipboard-sized copy: headings, emphasis and tracked links, about 1 KB.
const fs::path& smallHTML() {
    static const fs::path path = [] {
        fs::path file = fs::temp_directory_path() / ("dz-cli-bench-" + std::to_string(::getpid()) + ".html");
        std::string html = "<html><body><h1>Title</h1>";
        for (int i = 0; i < 11; ++i)
            html +=
                "<p>Some <b>bold</b> text with a <a href=\"https://example.com/x?utm_source=a\">link</a> "
                "item " +
                std::to_string(i) + ".</p>";
        html += "</body></html>";
        std::ofstream(file, std::ios::binary) << html;
        std::atexit([] {
            std::error_code ignored;
            fs::remove(smallHTML(), ignored);
        });
        return file;
    }();
    return path;
}

// Runs the CLI with `args`, output to /dev/null; the child's CPU seconds, or
// a negative number when it could not run or failed.
double childCPUSeconds(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = DZ_CLI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void runCLI(benchmark::State& state, const std::vector<std::string>& args) {
    for (auto _ : state) {
        double cpu = childCPUSeconds(args);
        if (cpu < 0) {
            state.SkipWithError("dozuzavuvu-cli failed");
            return;
        }
        state.SetIterationTime(cpu);
    }
}

// The aim: under 5 ms of CPU for a 1 KB HTML copy as Markdown.
void BM_CleanSmallHTMLToMarkdown(benchmark::State& state) {
    runCLI(state, {"clean", "--format", "markdown", "--html", smallHTML().string()});
}
BENCHMARK(BM_CleanSmallHTMLToMarkdown)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Start-up alone: the program parses its arguments and prints its help.
void BM_Help(benchmark::State& state) {
    runCLI(state, {"--help"});
}
BENCHMARK(BM_Help)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
