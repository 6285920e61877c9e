// Reading Barn documents with many sibling racks: parsing and consuming the
// racks one by one must grow linearly with their number; escaping and
// unescaping a text value must grow linearly with its length, and splitting
// an opening tag into its attributes with the number of attributes (see the
// complexity line of each benchmark).

#include "core/LwBarnXml.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

// A list of n items "i", each preceded by an item "u" that is never read.
std::string SiblingText(int n, bool withUnread)
{
    std::string text = "<l>";
    for (int k = 0; k < n; ++k) {
        if (withUnread)
            text += "<u>0</u>\n";
        text += "<i>" + std::to_string(k) + "</i>\n";
    }
    return text + "</l>\n";
}

void ReadSiblings(benchmark::State& state, bool withUnread)
{
    const int n = static_cast<int>(state.range(0));
    const std::string text = SiblingText(n, withUnread);
    for (auto _ : state) {
        LwBarnXml doc("r");
        doc.SetDocumentText(text);
        doc.AnalyzeTagStructure();
        doc.OpenRack("l");
        int value = 0;
        long sum = 0;
        while (doc.ValueInt("i", value, 0))
            sum += value;
        doc.CloseRack("l");
        benchmark::DoNotOptimize(sum);
    }
    state.SetComplexityN(n);
}

void BM_ReadSiblingItems(benchmark::State& state)
{
    ReadSiblings(state, false);
}
void BM_ReadSiblingItemsBehindUnreadRacks(benchmark::State& state)
{
    ReadSiblings(state, true);
}

void BM_WriteSiblingItems(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        LwBarnXml doc("w");
        doc.OpenRack("l");
        for (int k = 0; k < n; ++k)
            doc.ValueInt("i", k, 0);
        doc.CloseRack("l");
        std::string out;
        LwBarnXml::WriteRackText(*doc.Root()->Children().front(),
                                 [&out](std::string_view p) { out.append(p); });
        benchmark::DoNotOptimize(out);
    }
    state.SetComplexityN(n);
}

// A text of `bytes` bytes in which every other character is one of the four
// escaped ones: the worst case for entity handling, as in a cluster document
// whose atom name was filled with markup.
std::string MarkupText(std::size_t bytes)
{
    const std::string pattern = "a<b>c&d\"e";
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes)
        text += pattern;
    text.resize(bytes);
    return text;
}

// Reads the escaped value of a document of about range(0) MB.
void BM_ReadEscapedText(benchmark::State& state)
{
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    // Escaping makes the text longer; the document is about `bytes` long.
    const std::string escaped = LwBarnXml::EscapeString(MarkupText(bytes * 3 / 8));
    const std::string text = "<c><name>" + escaped + "</name></c>\n";
    std::size_t length = 0;
    for (auto _ : state) {
        LwBarnXml doc("r");
        doc.SetDocumentText(text);
        doc.AnalyzeTagStructure();
        doc.OpenRack("c");
        std::string name;
        doc.ValueString("name", name, "");
        doc.CloseRack("c");
        length = name.size();
        benchmark::DoNotOptimize(name);
    }
    state.counters["document_MB"] = static_cast<double>(text.size()) / (1 << 20);
    state.counters["value_bytes"] = static_cast<double>(length);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}

// Writes a value that escapes to about range(0) MB.
void BM_WriteEscapedText(benchmark::State& state)
{
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) << 20;
    const std::string value = MarkupText(bytes * 3 / 8);
    std::size_t length = 0;
    for (auto _ : state) {
        LwBarnXml doc("w");
        doc.OpenRack("c");
        std::string name = value;
        doc.ValueString("name", name, "");
        doc.CloseRack("c");
        std::string out;
        doc.ToString(out);
        length = out.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["document_MB"] = static_cast<double>(length) / (1 << 20);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(length));
    state.SetComplexityN(static_cast<std::int64_t>(length));
}

// Opens a rack whose opening tag holds range(0) attributes ' a<k>="<k>"'.
void BM_ReadAttributes(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::string text = "<c";
    for (int k = 0; k < n; ++k)
        text += " a" + std::to_string(k) + "=\"" + std::to_string(k) + "\"";
    text += "></c>\n";
    std::size_t count = 0;
    for (auto _ : state) {
        LwBarnXml doc("r");
        doc.SetDocumentText(text);
        doc.AnalyzeTagStructure();
        std::vector<std::pair<std::string, std::string>> attributes;
        doc.OpenRackWithAttributes("c", attributes);
        doc.CloseRack("c");
        count = attributes.size();
        benchmark::DoNotOptimize(attributes);
    }
    state.counters["document_MB"] = static_cast<double>(text.size()) / (1 << 20);
    state.counters["attributes"] = static_cast<double>(count);
    state.SetComplexityN(n);
}

}  // namespace

BENCHMARK(BM_ReadAttributes)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 16)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_ReadEscapedText)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_WriteEscapedText)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_ReadSiblingItems)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadSiblingItemsBehindUnreadRacks)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 18)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_WriteSiblingItems)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);

BENCHMARK_MAIN();
