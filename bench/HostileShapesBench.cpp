// Hostile copies at 1 MiB, in process, through the whole pipeline in every
// format: HTML full of parse errors (NUL bytes), random bytes read as HTML, a
// long flat list, and a table 10,000 columns wide. The aims for any shape:
// 300 ms at 1 MiB (and 10 s, under 1.5 GiB, at 30 MiB through the command
// line; those are measured outside, with the release build).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "core/cleaner/PasteboardCleaner.h"

using namespace dz;

namespace {

constexpr size_t size = size_t{1} << 20;

std::string fill(const std::string& head, const std::string& tail, std::string (*piece)(size_t)) {
    std::string out = head;
    for (size_t i = 0; out.size() + tail.size() < size; ++i) out += piece(i);
    return out + tail;
}

const std::string& shape(int which) {
    static const std::string shapes[] = {
        fill("", "", [](size_t) { return std::string("abc\0def\0 \0\n", 11); }),
        [] {
            std::mt19937 random(1);
            std::string bytes(size, '\0');
            for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
            return bytes;
        }(),
        fill("<ul>", "</ul>", [](size_t i) { return "<li>item number " + std::to_string(i) + "</li>\n"; }),
        [] {
            std::string row = "<tr>";
            for (int j = 0; j < 10000; ++j) row += "<td>c" + std::to_string(j) + "</td>";
            row += "</tr>\n";
            std::string out = "<table>";
            while (out.size() < size) out += row;
            return out + "</table>";
        }(),
    };
    return shapes[which];
}

const char* const shapeNames[] = {"nul-bytes", "random-bytes", "flat-list", "wide-table"};

void BM_HostileHTML(benchmark::State& state) {
    const std::string& html = shape(static_cast<int>(state.range(0)));
    auto format = static_cast<OutputFormat>(state.range(1));
    state.SetLabel(std::string(shapeNames[state.range(0)]) + " as " +
                   std::string(outputformat::rawValue(format)));
    ClipboardSnapshot snapshot(std::nullopt, html, std::nullopt, std::nullopt);
    for (auto _ : state) {
        PasteboardCleaner cleaner({}, false, format);
        auto clip = cleaner.render(snapshot);
        benchmark::DoNotOptimize(clip);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HostileHTML)
    ->ArgsProduct({{0, 1, 2, 3},
                   {static_cast<int>(OutputFormat::plain), static_cast<int>(OutputFormat::plainWithLinks),
                    static_cast<int>(OutputFormat::markdown)}})
    ->Unit(benchmark::kMillisecond);

// The runs that came nearest the aim: a list of one-letter items and a table
// of one-letter cells 10,000 columns wide, each filled to 1 MiB, in the
// formats where each was slowest. Each must stay under 300 ms.
const std::string& nearShape(int which) {
    static const std::string shapes[] = {
        fill("<ul>", "</ul>", [](size_t) { return std::string("<li>a</li>"); }),
        [] {
            std::string row = "<tr>";
            for (int j = 0; j < 10000; ++j) row += "<td>x</td>";
            row += "</tr>";
            std::string out = "<table>";
            while (out.size() + row.size() + 8 <= size) out += row;
            return out + "</table>";
        }(),
    };
    return shapes[which];
}

void BM_HostileHTMLNearestTheAim(benchmark::State& state) {
    const std::string& html = nearShape(static_cast<int>(state.range(0)));
    auto format = static_cast<OutputFormat>(state.range(1));
    state.SetLabel(std::string(state.range(0) == 0 ? "one-letter list" : "one-letter table") + " as " +
                   std::string(outputformat::rawValue(format)));
    ClipboardSnapshot snapshot(std::nullopt, html, std::nullopt, std::nullopt);
    for (auto _ : state) {
        PasteboardCleaner cleaner({}, false, format);
        auto clip = cleaner.render(snapshot);
        benchmark::DoNotOptimize(clip);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(html.size()));
}
BENCHMARK(BM_HostileHTMLNearestTheAim)
    ->Args({0, static_cast<int>(OutputFormat::plainWithLinks)})
    ->Args({0, static_cast<int>(OutputFormat::markdown)})
    ->Args({1, static_cast<int>(OutputFormat::plain)})
    ->Args({1, static_cast<int>(OutputFormat::plainWithLinks)})
    ->Unit(benchmark::kMillisecond);

}  // namespace
