#include <benchmark/benchmark.h>

#include <string>

#include "core/script/JavaScriptTransformer.h"

using namespace dz;

// A typical copy: about 2 KB of prose.
static std::string typicalText() {
    std::string text;
    while (text.size() < 2048)
        text += "The quick brown fox jumps over the lazy dog, caf\xC3\xA9 and na\xC3\xAFve.\n";
    return text;
}

// What a transform costs when the script does nothing: a fresh context, the
// hand-over to the worker and back, and the text crossing both ways.
static void BM_DefaultTemplate(benchmark::State& state) {
    JavaScriptTransformer transformer;
    std::string text = typicalText();
    for (auto _ : state) {
        auto result = transformer.run(JavaScriptTransformer::templateScript(), text);
        if (!std::holds_alternative<std::string>(result)) {
            state.SkipWithError(std::get<JavaScriptTransformer::Failure>(result).message.c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_DefaultTemplate)->Unit(benchmark::kMillisecond);

// The PDF example over the same text, for a script that does some work.
static void BM_JoinWrappedLinesExample(benchmark::State& state) {
    JavaScriptTransformer transformer;
    std::string text = typicalText();
    const std::string& script = JavaScriptTransformer::examples()[1].code;
    for (auto _ : state) {
        auto result = transformer.run(script, text);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_JoinWrappedLinesExample)->Unit(benchmark::kMillisecond);
