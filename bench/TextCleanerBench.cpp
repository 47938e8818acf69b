#include <string>

#include <benchmark/benchmark.h>

#include "core/text/TextCleaner.h"

using namespace dz;

// About 10 MB of copied prose: paragraphs with curly quotes, no-break spaces
// and zero-width characters, tabbed and glyph lists, CRLF line ends,
// footnote markers and trailing blanks.
static const std::string& mixedProse() {
    static const std::string text = [] {
        const std::string block =
            "The \xE2\x80\x9C"
            "quick\xE2\x80\x9D brown fox jumps over the lazy dog; it\xE2\x80\x99s a "
            "well\xC2\xA0known pangram used since the 1880s.[1] Typesetters\xE2\x80\x8B like it.\r\n"
            "Another sentence follows here, with nothing special in it at all, just words.  \r\n"
            "\r\n"
            "\t\xE2\x80\xA2\tFirst item of a pasted list\r\n"
            "\t\t\xE2\x97\xA6\tA nested item with \xE2\x80\x98single\xE2\x80\x99 quotes\r\n"
            "\t1.\tAn ordered item\r\n"
            "\xE2\x96\xAA Square bullet item\r\n"
            "\r\n\r\n\r\n"
            "Caf\xC3\xA9 na\xC3\xAFve r\xC3\xA9sum\xC3\xA9 \xE2\x80\x94 accented prose\xE2\x80\x89"
            "and thin "
            "spaces, a soft\xC2\xAD"
            "hyphen and a claim[citation needed].\r\n";
        std::string out;
        out.reserve(10'500'000);
        while (out.size() < 10'000'000) out += block;
        return out;
    }();
    return text;
}

static void cleanAll(benchmark::State& state, bool rich) {
    const std::string& text = mixedProse();
    TextCleaner cleaner;  // every switch on
    for (auto _ : state) {
        std::string out = cleaner.clean(text, rich);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

static void BM_CleanEverySwitchRich(benchmark::State& state) {
    cleanAll(state, true);
}
BENCHMARK(BM_CleanEverySwitchRich)->Unit(benchmark::kMillisecond);

static void BM_CleanEverySwitchPlain(benchmark::State& state) {
    cleanAll(state, false);
}
BENCHMARK(BM_CleanEverySwitchPlain)->Unit(benchmark::kMillisecond);
