// halvane's two heavy operations on synthetic RFA screens, on one thread and
// on all threads OpenMP offers:
//   - the spherical-harmonics background fit (FitBackgroundSh) of 512 x 512
//     and 1024 x 1024 images at degrees 2, 5, 10, 12, with the fit disc
//     filling the image (radius size / 2 - 8); 12 is the highest degree
//     whose equations are well enough conditioned at the default Max angle
//     of 90 degrees;
//   - the screen-edge search of "Adjust Screen" (FindScreenEdge) on 256 x 256
//     and 1024 x 1024 images.
// The traces of the fit go to a logging category switched off here.
//
// Arguments: size, degree (fit only), threads (0 = omp_get_num_procs()).
#include "apps/halvane/engine/RfaParameters.h"

#include <QLoggingCategory>

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>

namespace {

// A screen of radius size / 2 - 8 with a smooth, nowhere-zero face and a
// dark rim.
LwFloatMatrix Screen(int n)
{
    LwFloatMatrix m(n, n);
    const double c = n / 2, radius = n / 2 - 8;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - c, y - c);
            m(x, y) =
                r < radius ? static_cast<float>(100 + 20 * std::cos(x * 0.05) * std::sin(y * 0.03)) : 3.0f;
        }
    return m;
}

int Threads(int64_t requested)
{
    return requested == 0 ? omp_get_num_procs() : static_cast<int>(requested);
}

void FitBackground(benchmark::State& state)
{
    QLoggingCategory::setFilterRules("halvane.fit.debug=false");
    const int n = static_cast<int>(state.range(0));
    RfaParameters p;
    p.Sr_ = n / 2 - 8;
    p.SMargin_ = 2;
    p.Size_l_ = static_cast<int>(state.range(1));
    const LwFloatMatrix image = Screen(n);
    const int threads = Threads(state.range(2));
    omp_set_num_threads(threads);
    for (auto _ : state) {
        LwFloatMatrix background = p.FitBackgroundSh(image);
        benchmark::DoNotOptimize(background.Buffer());
    }
    state.counters["threads"] = threads;
}

void AdjustScreen(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    RfaParameters p;
    p.AdjThres_ = 0.5L;
    const LwFloatMatrix image = Screen(n);
    const int threads = Threads(state.range(1));
    omp_set_num_threads(threads);
    for (auto _ : state) {
        RfaParameters::ScreenEdge edge = p.FindScreenEdge(image);
        benchmark::DoNotOptimize(edge.radius);
    }
    state.counters["threads"] = threads;
}

BENCHMARK(FitBackground)
    ->ArgsProduct({{512, 1024}, {2, 5, 10, 12}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(AdjustScreen)
    ->ArgsProduct({{256, 1024}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
