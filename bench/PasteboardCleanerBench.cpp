// A typical copy rendered in each format, and the HTML corpus through render.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/cleaner/PasteboardCleaner.h"

using namespace dz;

namespace {

std::string typicalText() {
    std::string text;
    const std::string para =
        "\u201cClipboard\u201d text copied from a web page\u00a0often carries odd spaces, curly quotes and "
        "links such as https://example.com/a?utm_source=news&id=4 that want cleaning.\n";
    while (text.size() < 2048) text += para;
    return text;
}

std::string typicalHTML() {
    std::string html = "<html><body><h2>Section</h2>";
    const std::string block =
        "<p>Some <b>bold</b>, <i>italic</i> and <a "
        "href=\"https://example.com/x?utm_source=a&amp;id=1\">linked</a> "
        "text with <code>code</code>.</p><ul><li>one</li><li>two <em>more</em></li></ul>";
    while (html.size() < 10240) html += block;
    return html + "</body></html>";
}

void renderFormat(benchmark::State& state, OutputFormat format, bool withHTML) {
    ClipboardSnapshot snapshot(typicalText(), withHTML ? std::optional(typicalHTML()) : std::nullopt, {}, {});
    PasteboardCleaner cleaner({}, false, format);
    for (auto _ : state) benchmark::DoNotOptimize(cleaner.render(snapshot));
}

void BM_RenderPlainText(benchmark::State& s) {
    renderFormat(s, OutputFormat::plain, false);
}
void BM_RenderMarkdownFromPlainText(benchmark::State& s) {
    renderFormat(s, OutputFormat::markdown, false);
}
void BM_RenderHTMLPlain(benchmark::State& s) {
    renderFormat(s, OutputFormat::plain, true);
}
void BM_RenderHTMLLinks(benchmark::State& s) {
    renderFormat(s, OutputFormat::plainWithLinks, true);
}
void BM_RenderHTMLMarkdown(benchmark::State& s) {
    renderFormat(s, OutputFormat::markdown, true);
}
BENCHMARK(BM_RenderPlainText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderMarkdownFromPlainText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderHTMLPlain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderHTMLLinks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderHTMLMarkdown)->Unit(benchmark::kMicrosecond);

// A 1 MiB page of HTML alone, as a table of three columns or as the same
// text in paragraphs: a table's rows become lines of fields, and each field
// is cleaned on its own.
std::string largeHTML(bool table) {
    std::string html = table ? "<table>" : "";
    for (int i = 0; html.size() < 1'048'576; ++i) {
        std::string n = std::to_string(i);
        std::string link = "<a href=\"https://example.com/item/" + n + "?utm_source=x\">item " + n + "</a>";
        html += table ? "<tr><td>Row " + n + "</td><td>value " + n + "</td><td>" + link + "</td></tr>"
                      : "<p>Row " + n + " value " + n + " " + link + "</p>";
    }
    return html + (table ? "</table>" : "");
}

void renderLarge(benchmark::State& state, OutputFormat format, bool table) {
    ClipboardSnapshot snapshot({}, largeHTML(table), {}, {});
    PasteboardCleaner cleaner({}, false, format);
    for (auto _ : state) benchmark::DoNotOptimize(cleaner.render(snapshot));
}
void BM_RenderTable1MiBPlain(benchmark::State& s) {
    renderLarge(s, OutputFormat::plain, true);
}
void BM_RenderParagraphs1MiBPlain(benchmark::State& s) {
    renderLarge(s, OutputFormat::plain, false);
}
void BM_RenderTable1MiBLinks(benchmark::State& s) {
    renderLarge(s, OutputFormat::plainWithLinks, true);
}
BENCHMARK(BM_RenderTable1MiBPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderParagraphs1MiBPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTable1MiBLinks)->Unit(benchmark::kMillisecond);

// Every corpus page to Markdown through render; reports MB/s and the slowest file.
void BM_RenderHTMLCorpusMarkdown(benchmark::State& state) {
    std::vector<std::pair<std::string, ClipboardSnapshot>> pages;
    size_t bytes = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(DZ_SHARED_DIR "/corpus/html", ec)) {
        if (entry.path().extension() != ".html")
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        bytes += html.size();
        pages.emplace_back(entry.path().filename().string(), ClipboardSnapshot({}, html, {}, {}));
    }
    if (pages.empty()) {
        state.SkipWithError("corpus not found");
        return;
    }
    PasteboardCleaner cleaner({}, false, OutputFormat::markdown);
    double slowest = 0;
    std::string slowestName;
    for (auto _ : state) {
        for (const auto& [name, snapshot] : pages) {
            auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(cleaner.render(snapshot));
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (seconds > slowest) {
                slowest = seconds;
                slowestName = name;
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["slowest_ms"] = slowest * 1000;
    state.SetLabel("slowest: " + slowestName);
}
BENCHMARK(BM_RenderHTMLCorpusMarkdown)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
