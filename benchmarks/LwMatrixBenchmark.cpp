// Checked element access of the matrix family against raw pointer access on a
// 1024 x 1024 image: a sum over all pixels (bound by the latency of the float
// additions) and a scaled copy into a second image (bound by throughput, where
// the raw loop vectorises and the checked one cannot).
#include "core/LwMatrix.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kSide = 1024;

LwFloatMatrix MakeImage()
{
    LwFloatMatrix m(kSide, kSide);
    for (int i = 0; i < m.ElementCount(); ++i)
        m.Buffer()[i] = static_cast<float>(i % 251) * 0.01f;
    return m;
}

void SumChecked(benchmark::State& state)
{
    const LwFloatMatrix image = MakeImage();
    for (auto _ : state) {
        float sum = 0;
        for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
            for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c)
                sum += image(c, r);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void SumRaw(benchmark::State& state)
{
    const LwFloatMatrix image = MakeImage();
    for (auto _ : state) {
        const float* p = image.Buffer();
        const int n = image.ElementCount();
        float sum = 0;
        for (int i = 0; i < n; ++i)
            sum += p[i];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void ScaleChecked(benchmark::State& state)
{
    const LwFloatMatrix image = MakeImage();
    LwFloatMatrix out(kSide, kSide);
    for (auto _ : state) {
        for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
            for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c)
                out(c, r) = 0.5f * image(c, r);
        benchmark::DoNotOptimize(out.Buffer());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void ScaleRaw(benchmark::State& state)
{
    const LwFloatMatrix image = MakeImage();
    LwFloatMatrix out(kSide, kSide);
    for (auto _ : state) {
        const float* p = image.Buffer();
        float* q = out.Buffer();
        const int n = image.ElementCount();
        for (int i = 0; i < n; ++i)
            q[i] = 0.5f * p[i];
        benchmark::DoNotOptimize(out.Buffer());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

}  // namespace

BENCHMARK(SumChecked);
BENCHMARK(SumRaw);
BENCHMARK(ScaleChecked);
BENCHMARK(ScaleRaw);

BENCHMARK_MAIN();
