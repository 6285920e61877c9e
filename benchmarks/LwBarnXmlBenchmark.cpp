// Reading Barn documents with many sibling racks: parsing and consuming the
// racks one by one must grow linearly with their number (see the complexity
// line of each benchmark).

#include "core/LwBarnXml.h"

#include <benchmark/benchmark.h>

#include <string>

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

}  // namespace

BENCHMARK(BM_ReadSiblingItems)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);
BENCHMARK(BM_ReadSiblingItemsBehindUnreadRacks)
    ->RangeMultiplier(4)
    ->Range(1 << 10, 1 << 18)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_WriteSiblingItems)->RangeMultiplier(4)->Range(1 << 10, 1 << 18)->Complexity(benchmark::oN);

BENCHMARK_MAIN();
