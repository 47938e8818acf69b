// Throughput of the link cleaner: single addresses from the tracked-URL
// corpus, and running text with and without links.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/links/URLCleaner.h"

namespace {

const std::vector<std::string>& trackedURLs() {
    static const std::vector<std::string> urls = [] {
        std::vector<std::string> out;
        std::ifstream in(std::string(DZ_SHARED_DIR) + "/corpus/urls/tracked-urls.txt");
        std::string line;
        while (std::getline(in, line))
            if (!line.empty())
                out.push_back(line);
        return out;
    }();
    return urls;
}

constexpr size_t tenMegabytes = 10 * 1024 * 1024;

// Prose without any "http" (nor "ttp"), with the odd "?" so that only the
// first quick exit applies.
std::string prose(size_t size) {
    static const char* words[] = {"the",   "clipboard", "cleaner", "keeps", "copied", "text",
                                  "tidy",  "while",     "links",   "lose",  "their",  "query",
                                  "noise", "really",    "does",    "it?"};
    std::string out;
    out.reserve(size + 16);
    unsigned state = 12345;
    while (out.size() < size) {
        state = state * 1103515245u + 12345u;
        out += words[(state >> 16) % 16];
        out += (state >> 8) % 11 == 0 ? ".\n" : " ";
    }
    out.resize(size);
    return out;
}

// Prose with one address from the corpus roughly every 200 characters.
std::string proseWithLinks(size_t size) {
    const auto& urls = trackedURLs();
    std::string filler = prose(4096);
    std::string out;
    out.reserve(size + 4096);
    size_t next = 0, offset = 0;
    while (out.size() < size) {
        const std::string& url = urls[next++ % urls.size()];
        size_t gap = url.size() < 190 ? 200 - url.size() - 2 : 8;
        if (offset + gap > filler.size())
            offset = 0;
        out.append(filler, offset, gap);
        offset += gap;
        out += ' ';
        out += url;
        out += ' ';
    }
    return out;
}

void BM_CleanTrackedURL(benchmark::State& state) {
    const auto& urls = trackedURLs();
    for (auto _ : state)
        for (const auto& url : urls) benchmark::DoNotOptimize(dz::URLCleaner::clean(url, true, true, 0));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * urls.size()));
}
BENCHMARK(BM_CleanTrackedURL);

void BM_CleanURLsProseWithoutLinks(benchmark::State& state) {
    std::string text = prose(tenMegabytes);
    for (auto _ : state) benchmark::DoNotOptimize(dz::URLCleaner::cleanURLs(text, true, true));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CleanURLsProseWithoutLinks)->Unit(benchmark::kMillisecond);

void BM_CleanURLsProseWithLinks(benchmark::State& state) {
    std::string text = proseWithLinks(tenMegabytes);
    for (auto _ : state) benchmark::DoNotOptimize(dz::URLCleaner::cleanURLs(text, true, true));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CleanURLsProseWithLinks)->Unit(benchmark::kMillisecond);

}  // namespace
