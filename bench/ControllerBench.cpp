// The controller end to end on in-memory services: a copy from its change
// notice to the cleaned clipboard, and a paste request answered from the
// rendition cache. Target: well under a millisecond each.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/controller/AppController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "core/clipboard/PasteboardTypes.h"

namespace {

using namespace dz;

struct Harness {
    fake::FakePlatform fakes;
    MemorySettingsStorage storage;
    AppSettings settings{storage};
    std::unique_ptr<AppController> controller;

    Harness() {
        fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100},
                                   {"md.obsidian.Obsidian", "Obsidian", 300}};
        fakes.workspace.frontmost = "org.gnome.TextEditor";
        controller = std::make_unique<AppController>(settings, fakes.platform());
        controller->start();
        fakes.scheduler.runDue();
    }
    void copy(const std::vector<std::pair<std::string, std::string>>& items) {
        fakes.clipboard.copy(items, Clipboard::Party{"org.gnome.TextEditor", 100});
        fakes.scheduler.runDue();  // the program's own write comes back as a notice
    }
};

// About 2 KB of prose with the things the cleaner repairs: tracking links,
// curly quotes, odd spaces, a list.
std::string text2KB() {
    std::string text;
    int n = 0;
    while (text.size() < 2048) {
        ++n;
        text += "Paragraph " + std::to_string(n) +
                " \u201Cquotes\u201D and\u00A0odd spaces, see https://example.com/a?utm_source=x&id=" +
                std::to_string(n) + " for more.\n\u2022 an item\n";
    }
    return text;
}

// About 10 KB of article HTML, with the plain text a browser puts beside it.
std::pair<std::string, std::string> html10KB() {
    std::string html = "<html><body><h1>Heading</h1>";
    std::string plain = "Heading\n";
    int n = 0;
    while (html.size() < 10240) {
        ++n;
        plain += "Some bold and italic text with a link[" + std::to_string(n) + "].\n\tone\n\ttwo\n";
        html += "<p>Some <b>bold</b> and <i>italic</i> text with <a href=\"https://example.com/page" +
                std::to_string(n) + "?utm_source=news&fbclid=abc\">a link</a><sup class=\"reference\">[" +
                std::to_string(n) + "]</sup>.</p><ul><li>one</li><li>two</li></ul>";
    }
    return {html + "</body></html>", plain};
}

void BM_CopyText2KB(benchmark::State& state) {
    Harness h;
    const std::string text = text2KB();
    int n = 0;
    for (auto _ : state) {
        // A different copy each time, so nothing comes from a cache.
        h.copy({{std::string(pasteboardtype::string), text + std::to_string(++n)}});
        benchmark::DoNotOptimize(h.controller->clip());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_CopyText2KB)->Unit(benchmark::kMicrosecond);

// Argument: the default format (0 plain text, 1 with links, 2 Markdown).
void BM_CopyHTML10KB(benchmark::State& state) {
    Harness h;
    SettingsData data = h.settings.data();
    data.defaultFormat = outputformat::cyclable[size_t(state.range(0))];
    h.settings.setData(data);
    const auto [html, plain] = html10KB();
    int n = 0;
    for (auto _ : state) {
        ++n;
        std::string unique = html + "<p>" + std::to_string(n) + "</p>";
        h.copy({{std::string(pasteboardtype::html), unique},
                {std::string(pasteboardtype::string), plain + std::to_string(n)}});
        benchmark::DoNotOptimize(h.controller->clip());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(html.size()));
}
BENCHMARK(BM_CopyHTML10KB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_PasteFromCache(benchmark::State& state) {
    Harness h;
    SettingsData data = h.settings.data();
    AppRule rule = AppRule::forApp(RuleDirection::destination, "md.obsidian.Obsidian", "Obsidian");
    rule.format = RuleFormat::markdown;
    data.rules.push_back(rule);
    h.settings.setData(data);
    h.fakes.scheduler.runDue();
    const auto [html, plain] = html10KB();
    h.copy({{std::string(pasteboardtype::html), html}, {std::string(pasteboardtype::string), plain}});
    size_t served = 0;
    auto received = [&served](const fake::FakeClipboard::Served& s) { served += s.items.size(); };
    h.fakes.clipboard.paste({"md.obsidian.Obsidian", 300}, received);  // renders once into the cache
    for (auto _ : state) h.fakes.clipboard.paste({"md.obsidian.Obsidian", 300}, received);
    benchmark::DoNotOptimize(served);
}
BENCHMARK(BM_PasteFromCache)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The engine's share of a copy: rendering the same 10 KB article alone.
void BM_RenderHTML10KBOnly(benchmark::State& state) {
    const auto [html, plain] = html10KB();
    ClipboardSnapshot snapshot(plain, html, std::nullopt, std::nullopt);
    PasteboardCleaner cleaner(CleaningOptions::defaultValue(), false,
                              outputformat::cyclable[size_t(state.range(0))]);
    for (auto _ : state) benchmark::DoNotOptimize(cleaner.render(snapshot));
}
BENCHMARK(BM_RenderHTML10KBOnly)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

// The main thread's share of a 30 MiB copy (a million-item list): reading it
// from the change notice and handing its render to the worker. Everything the
// tray, the bus and commands wait for while a large copy renders. Target:
// under 100 ms.
void BM_MainThreadShareOf30MiBCopy(benchmark::State& state) {
    Harness h;
    h.fakes.worker.holdJobs = true;  // the render happens elsewhere; it is not timed here
    std::string html = "<ul>";
    while (html.size() < ClipboardSnapshot::maxEntrySize - 32) html += "<li>item</li>";
    html += "</ul>";
    for (auto _ : state) {
        // The backend reads the copy on its own thread; what it hands over
        // is moved in, so only the main thread's share is timed.
        state.PauseTiming();
        Clipboard::Rendition items{{std::string(pasteboardtype::html), html}};
        state.ResumeTiming();
        h.fakes.clipboard.copyItems(std::move(items), Clipboard::Party{"org.gnome.TextEditor", 100});
        state.PauseTiming();
        h.fakes.worker = fake::InlineWorker();
        h.fakes.worker.holdJobs = true;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainThreadShareOf30MiBCopy)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
