// HTML to Markdown over the shared HTML corpus, read in place: the whole
// corpus through Gumbo alone (the floor), through the checked parse, and
// through the converter, then the converter file by file.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gumbo.h>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownConverter.h"

using namespace dz;

namespace {

struct CorpusFile {
    std::string name, html;
};

const std::vector<CorpusFile>& corpus() {
    static const std::vector<CorpusFile> files = [] {
        std::vector<CorpusFile> out;
        std::filesystem::path directory = std::filesystem::path(DZ_SHARED_DIR) / "corpus" / "html";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
            if (entry.path().extension() != ".html")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            out.push_back({entry.path().filename().string(), text.str()});
        }
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        return out;
    }();
    return files;
}

int64_t corpusBytes() {
    int64_t bytes = 0;
    for (const auto& f : corpus()) bytes += static_cast<int64_t>(f.html.size());
    return bytes;
}

HTMLMarkdownConverter converter() {
    return HTMLMarkdownConverter(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
}

void BM_GumboParseCorpus(benchmark::State& state) {
    for (auto _ : state) {
        for (const auto& f : corpus()) {
            GumboOutput* output =
                gumbo_parse_with_options(&kGumboDefaultOptions, f.html.data(), f.html.size());
            benchmark::DoNotOptimize(output);
            gumbo_destroy_output(&kGumboDefaultOptions, output);
        }
    }
    state.SetBytesProcessed(state.iterations() * corpusBytes());
}
BENCHMARK(BM_GumboParseCorpus)->Unit(benchmark::kMillisecond);

void BM_HTMLDocumentParseCorpus(benchmark::State& state) {
    for (auto _ : state)
        for (const auto& f : corpus()) benchmark::DoNotOptimize(HTMLDocument::parse(f.html));
    state.SetBytesProcessed(state.iterations() * corpusBytes());
}
BENCHMARK(BM_HTMLDocumentParseCorpus)->Unit(benchmark::kMillisecond);

void BM_ConvertCorpus(benchmark::State& state) {
    HTMLMarkdownConverter c = converter();
    for (auto _ : state)
        for (const auto& f : corpus()) benchmark::DoNotOptimize(c.convert(f.html));
    state.SetBytesProcessed(state.iterations() * corpusBytes());
}
BENCHMARK(BM_ConvertCorpus)->Unit(benchmark::kMillisecond);

// One benchmark per file, to find the slowest.
const bool registered = [] {
    for (const auto& f : corpus()) {
        benchmark::RegisterBenchmark(("BM_Convert/" + f.name).c_str(), [&f](benchmark::State& state) {
            HTMLMarkdownConverter c = converter();
            for (auto _ : state) benchmark::DoNotOptimize(c.convert(f.html));
            state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.html.size()));
        })->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
