#include <benchmark/benchmark.h>

#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"
#include "core/clipboard/PasteboardTypes.h"

using namespace dz;

static std::string bigHTML() {
    std::string html = "<html><body>";
    const std::string row =
        "<p>Some <b>copied</b> text with <a href=\"https://example.com/x?y=1\">a link</a> and "
        "caf\xC3\xA9.</p>\n";
    while (html.size() + row.size() < ClipboardSnapshot::maxEntrySize - 32) html += row;
    html += "</body></html>";
    return html;
}

static void BM_CaptureHTML30MiB(benchmark::State& state) {
    MemoryPasteboard pasteboard({{std::string(pasteboardtype::html), bigHTML()}});
    size_t bytes = pasteboard.items()[0].data->size();
    for (auto _ : state) {
        auto capture = ClipboardSnapshot::capture(pasteboard, false);
        auto html = capture.snapshot()->html();
        benchmark::DoNotOptimize(html);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_CaptureHTML30MiB)->Unit(benchmark::kMillisecond);
