#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/html/HTMLAttributedReader.h"
#include "core/richtext/AttributedMarkdownConverter.h"
#include "core/richtext/RTFReader.h"

using namespace dz;

// RTF in the shape a word processor writes: font, colour and list tables,
// then headings, styled prose with links, nested list items, a table and
// monospace paragraphs, repeated up to `size` bytes.
static std::string wordProcessorRTF(size_t size) {
    std::string rtf =
        "{\\rtf1\\ansi\\deff0\\adeflang1025\n"
        "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Liberation Serif;}{\\f1\\fswiss\\fprq2\\fcharset0 "
        "Liberation "
        "Sans;}{\\f2\\fmodern\\fprq1\\fcharset0 Liberation Mono;}{\\f3\\fnil\\fprq0\\fcharset2 "
        "OpenSymbol{\\*\\falt Arial Unicode MS};}}\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue128;}\n"
        "{\\stylesheet{\\s0\\snext0\\f0\\fs24 Normal;}{\\s1\\sbasedon0\\f1\\fs36\\b Heading 1;}}\n"
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext "
        "\\'01\\u8226 "
        "?;}{\\levelnumbers;}\\f3}{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext \\'01\\u9702 "
        "?;}{\\levelnumbers;}\\f3}\\listid1}{\\list\\listtemplateid2{\\listlevel\\levelnfc0\\levelstartat1"
        "{\\leveltext \\'02\\'00.;}{\\levelnumbers\\'01;}}\\listid2}}\n"
        "{\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}{\\listoverride\\listid2"
        "\\listoverridecount0\\ls2}}\n"
        "{\\*\\generator Writer;}{\\info{\\title Bench}}\\deftab709\\paperh16838\\paperw11906\n";
    const std::string block =
        "\\pard\\plain \\s1\\f1\\fs36\\b\\sb240\\sa120\\keepn{\\loch\nQuarterly report}\n\\par "
        "\\pard\\plain \\s0\\f0\\fs24\\sl276\\slmult1\\sb0\\sa140{\\loch\nSales grew by "
        "}{\\loch\\b\\loch\n12 "
        "percent}{\\loch\n in the north, while the }{\\loch\\i\\loch\nsouthern}{\\loch\n region stayed flat; "
        "see }{{\\field{\\*\\fldinst HYPERLINK \"https://example.com/report?utm_source=mail&id=42\" }"
        "{\\fldrslt {\\loch\\cf2\\ul\\ulc0\\loch\nthe full report}{}}}\\loch\n for details. Caf\\u233\\'e9 "
        "r\\u233\\'e9sum\\u233\\'e9 \\u8211\\'96 na\\u239\\'efve.}\n\\par "
        "\\pard\\plain \\s0\\f0\\fs24{\\listtext\\pard\\plain \\f3 \\u8226\\'95\\tab}\\ilvl0\\ls1 "
        "\\li709\\fi-283{\\loch\nFirst point with }{\\loch\\strike\\loch\nold}{\\loch\n text}\n\\par "
        "\\pard\\plain \\s0\\f0\\fs24{\\listtext\\pard\\plain \\f3 \\u9702\\'95\\tab}\\ilvl1\\ls1 "
        "\\li1418\\fi-283{\\loch\nA nested point}\n\\par "
        "\\pard\\plain \\s0\\f0\\fs24{\\listtext\\pard\\plain  1.\\tab}\\ilvl0\\ls2 "
        "\\li709\\fi-283{\\loch\nA "
        "numbered step}\n\\par "
        "\\trowd\\trql\\clbrdrt\\brdrs\\brdrw5\\cellx3000\\clbrdrt\\brdrs\\brdrw5\\cellx6000\\clbrdrt\\brdrs"
        "\\brdrw5\\cellx9000\\pard\\plain \\intbl\\f0\\fs24\\b{\\loch\nRegion}\\cell\\pard\\plain "
        "\\intbl\\f0\\fs24\\b{\\loch\nQ1}\\cell\\pard\\plain \\intbl\\f0\\fs24\\b{\\loch\nQ2}\\cell\\row"
        "\\trowd\\trql\\cellx3000\\cellx6000\\cellx9000\\pard\\plain \\intbl\\f0\\fs24{\\loch\nNorth}\\cell"
        "\\pard\\plain \\intbl\\f0\\fs24{\\loch\n1,200}\\cell\\pard\\plain "
        "\\intbl\\f0\\fs24{\\loch\n1,344}\\cell"
        "\\row\\pard\\plain \\s0\\f2\\fs20{\\loch\nselect region, sum(total)}\n\\par \\pard\\plain "
        "\\s0\\f2\\fs20{\\loch\n  from sales group by region;}\n\\par ";
    while (rtf.size() + block.size() + 2 < size) rtf += block;
    rtf += "}";
    return rtf;
}

static void rtfToMarkdown(benchmark::State& state, size_t size) {
    std::string rtf = wordProcessorRTF(size);
    AttributedMarkdownConverter converter(MarkdownOptions::defaultValue(), CleaningOptions::defaultValue());
    for (auto _ : state) {
        auto text = RTFReader::read(rtf);
        std::string markdown = converter.convert(*text);
        benchmark::DoNotOptimize(markdown);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * rtf.size()));
}

static void BM_RTFToMarkdown1MB(benchmark::State& state) {
    rtfToMarkdown(state, 1'000'000);
}
BENCHMARK(BM_RTFToMarkdown1MB)->Unit(benchmark::kMillisecond);

static void BM_RTFToMarkdown10MB(benchmark::State& state) {
    rtfToMarkdown(state, 10'000'000);
}
BENCHMARK(BM_RTFToMarkdown10MB)->Unit(benchmark::kMillisecond);

static void BM_RTFToAttributedText10MB(benchmark::State& state) {
    std::string rtf = wordProcessorRTF(10'000'000);
    for (auto _ : state) {
        auto text = RTFReader::read(rtf);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RTFToAttributedText10MB)->Unit(benchmark::kMillisecond);

static const std::vector<std::string>& htmlCorpus() {
    static const std::vector<std::string> pages = [] {
        std::vector<std::string> out;
        std::filesystem::path dir = std::filesystem::path(DZ_SHARED_DIR) / "corpus" / "html";
        std::vector<std::filesystem::path> paths;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().extension() == ".html")
                paths.push_back(entry.path());
        std::sort(paths.begin(), paths.end());
        for (const auto& path : paths) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream buffer;
            buffer << in.rdbuf();
            out.push_back(buffer.str());
        }
        return out;
    }();
    return pages;
}

static void BM_HTMLCorpusToAttributedText(benchmark::State& state) {
    size_t bytes = 0, parsed = 0;
    for (const auto& page : htmlCorpus()) bytes += page.size();
    for (auto _ : state) {
        parsed = 0;
        for (const auto& page : htmlCorpus()) {
            auto text = HTMLAttributedReader::read(page);
            parsed += text.has_value();
            benchmark::DoNotOptimize(text);
        }
    }
    state.counters["pages"] = static_cast<double>(htmlCorpus().size());
    state.counters["parsed"] = static_cast<double>(parsed);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_HTMLCorpusToAttributedText)->Unit(benchmark::kMillisecond);
