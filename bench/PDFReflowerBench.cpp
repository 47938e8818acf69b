#include <string>

#include <benchmark/benchmark.h>

#include "core/pdf/PDFReflower.h"
#include "linux/HunspellDictionary.h"

using namespace dz;

// About 10 MB of text as a PDF viewer copies it: lines of about 70
// characters, a word hyphenated at the line end every ten lines, a page
// number every 50 lines, a blank line between paragraphs now and then.
static const std::string& pdfText() {
    static const std::string text = [] {
        const char* words[] = {"the",      "results",     "of",       "this",     "study",   "show",
                               "that",     "caf\xC3\xA9", "patients", "with",     "chronic", "disease",
                               "benefit",  "from",        "regular",  "exercise", "and",     "a",
                               "balanced", "diet",        "over",     "time"};
        const char* splits[][2] = {
            {"exam", "ple"}, {"well", "known"}, {"hyphen", "ated"}, {"infor", "mation"}};
        std::string out;
        out.reserve(10'200'000);
        size_t lineNo = 0, w = 0, page = 1;
        while (out.size() < 10'000'000) {
            ++lineNo;
            if (lineNo % 50 == 0) {
                out += std::to_string(page++) + "\n";
                continue;
            }
            std::string line;
            if (lineNo % 10 == 1 && lineNo > 1)
                line = splits[(lineNo / 10) % 4][1];
            while (line.size() < 64) {
                if (!line.empty())
                    line += ' ';
                line += words[w++ % (sizeof words / sizeof *words)];
            }
            if (lineNo % 10 == 0)
                line += std::string(" ") + splits[(lineNo / 10) % 4][0] + "-";
            else if (lineNo % 23 == 0)
                line += ".";
            out += line + "\n";
            if (lineNo % 37 == 0)
                out += "\n";
        }
        return out;
    }();
    return text;
}

static void run(benchmark::State& state, PDFReflower::WordPredicate isWord) {
    const std::string& text = pdfText();
    PDFReflower reflower(PDFOptions::defaultValue(), std::move(isWord));
    for (auto _ : state) {
        std::string out = reflower.reflow(text);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

static void BM_ReflowWithoutDictionary(benchmark::State& state) {
    run(state, {});
}
BENCHMARK(BM_ReflowWithoutDictionary)->Unit(benchmark::kMillisecond);

static void BM_ReflowWithEnglishDictionary(benchmark::State& state) {
    std::shared_ptr<const HunspellDictionary> english = HunspellDictionary::open("en_US");
    if (!english) {
        state.SkipWithError("en_US dictionary not installed");
        return;
    }
    run(state, HunspellDictionary::predicate(english));
}
BENCHMARK(BM_ReflowWithEnglishDictionary)->Unit(benchmark::kMillisecond);
