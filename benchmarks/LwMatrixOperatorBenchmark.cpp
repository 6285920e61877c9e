// Image operations of LwMatrixOperator on screen-sized images, at one thread
// and at every core (argument threads: 0 = omp_get_num_procs()):
//   build/benchmarks/bench_matrix_operator
// The real time is the figure to compare; on a shared machine
// OMP_WAIT_POLICY=passive keeps idle threads from spinning.
//
// - AzimuthalAverage: a 2048 x 2048 image around an off-centre point with a
//   new radius map every call (as halvane calls it), and with a kept map.
// - MedianFilter: 3 x 3 and 5 x 5 windows on a 2048 x 2048 image.
// - CorrelationAlongAzimuthal: 256 x 256 and 512 x 512 images (the direct
//   sums grow as n^3).
// - RotateImage: a 2048 x 2048 image turned by 0.3 rad.
#include "imageops/LwMatrixOperator.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>

namespace {

LwFloatMatrix ScreenImage(int n)
{
    LwFloatMatrix image(n, n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            // A bright ring with a ripple and some empty (0) pixels.
            const double d = std::hypot(c - 0.47 * n, r - 0.52 * n) / n;
            const float v = float(1000.0 * std::exp(-40.0 * (d - 0.3) * (d - 0.3)) *
                                  (1.0 + 0.1 * std::sin(c * 0.37 + r * 0.11)));
            image(c, r) = ((c * 7 + r * 13) % 31 == 0) ? 0.0f : v;
        }
    return image;
}

class ThreadScope
{
public:
    explicit ThreadScope(benchmark::State& state, int argument) : saved_(omp_get_max_threads())
    {
        const int threads = state.range(argument) > 0 ? int(state.range(argument)) : omp_get_num_procs();
        omp_set_num_threads(threads);
        state.counters["threads"] = threads;
    }
    ~ThreadScope() { omp_set_num_threads(saved_); }

private:
    int saved_;
};

// Arguments: keep the map (0/1), threads.
void BM_AzimuthalAverage(benchmark::State& state)
{
    const LwFloatMatrix image = ScreenImage(2048);
    const bool keepMap = state.range(0) != 0;
    ThreadScope threads(state, 1);
    LwMatrixOperator op;
    LwLongMatrix kept;
    for (auto _ : state) {
        LwLongMatrix fresh;
        LwLongMatrix& map = keepMap ? kept : fresh;
        LwFloatMatrix average = op.AverageAlongAzimuthal(image, 963.4f, 1064.7f, true, map);
        benchmark::DoNotOptimize(average.Buffer());
    }
}

// Arguments: window (3 or 5), threads.
void BM_MedianFilter(benchmark::State& state)
{
    const LwFloatMatrix image = ScreenImage(2048);
    const int pix = int(state.range(0));
    ThreadScope threads(state, 1);
    LwMatrixOperator op;
    for (auto _ : state) {
        LwFloatMatrix median = op.MedianFilter(image, true, pix);
        benchmark::DoNotOptimize(median.Buffer());
    }
}

// Arguments: image size, threads.
void BM_CorrelationAlongAzimuthal(benchmark::State& state)
{
    const LwFloatMatrix image = ScreenImage(int(state.range(0)));
    ThreadScope threads(state, 1);
    LwMatrixOperator op;
    for (auto _ : state) {
        LwFloatMatrix correlation = op.CorrelationAlongAzimuthal(image, true);
        benchmark::DoNotOptimize(correlation.Buffer());
    }
}

// Arguments: threads.
void BM_RotateImage(benchmark::State& state)
{
    const LwFloatMatrix image = ScreenImage(2048);
    ThreadScope threads(state, 0);
    for (auto _ : state) {
        LwFloatMatrix turned = LwMatrixOperator::RotateImage(image, 0.3);
        benchmark::DoNotOptimize(turned.Buffer());
    }
}

}  // namespace

BENCHMARK(BM_AzimuthalAverage)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"keep_map", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_MedianFilter)
    ->ArgsProduct({{3, 5}, {1, 0}})
    ->ArgNames({"pix", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CorrelationAlongAzimuthal)
    ->ArgsProduct({{256, 512}, {1, 0}})
    ->ArgNames({"size", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RotateImage)
    ->ArgsProduct({{1, 0}})
    ->ArgNames({"threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
