// A 1024 x 1024 float image as a Barn element, written and read back in the
// binary forms ("b", "bb") and the text form ("t").
#include "core/LwBarnXml.h"
#include "core/LwMatrixBarn.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <string_view>

namespace {

const char* const kFormats[] = {"b", "bb", "t"};

LwFloatMatrix Image()
{
    LwFloatMatrix m(1024, 1024);
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = std::sin(0.001f * static_cast<float>(i));
    return m;
}

std::string DocumentText(LwFloatMatrix& m, const char* format)
{
    LwBarnXml doc("w");
    doc.OpenRack("d");
    SerializeMatrix(doc, "image", m, format);
    doc.CloseRack("d");
    std::string text;
    LwBarnXml::WriteRackText(*doc.Root()->Children().front(),
                             [&text](std::string_view piece) { text.append(piece); });
    return text;
}

void BM_Write(benchmark::State& state)
{
    LwFloatMatrix m = Image();
    const char* format = kFormats[state.range(0)];
    for (auto _ : state) {
        LwBarnXml doc("w");
        doc.OpenRack("d");
        SerializeMatrix(doc, "image", m, format);
        doc.CloseRack("d");
        benchmark::DoNotOptimize(doc.Root());
    }
    state.SetLabel(format);
}

void BM_Read(benchmark::State& state)
{
    LwFloatMatrix m = Image();
    const char* format = kFormats[state.range(0)];
    const std::string text = DocumentText(m, format);
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<LwBarnXml>("r");
        doc->SetDocumentText(text);
        doc->AnalyzeTagStructure();
        doc->OpenRack("d");
        LwFloatMatrix read;
        state.ResumeTiming();
        SerializeMatrix(*doc, "image", read, format);
        benchmark::DoNotOptimize(read.Buffer());
    }
    state.SetLabel(format);
}

}  // namespace

BENCHMARK(BM_Write)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
