// Spherical-harmonics expansion of a 1 degree equidistant-cylindrical image
// (360 x 181 pixels, the whole sphere): the plain expansion (every harmonic
// up to L at every pixel, one thread by design), the degree-by-degree
// projection (per-pixel work on the OpenMP threads) and the degree-by-degree
// least-squares fit (one thread by design), for L = 20, 60, 120, on one thread
// and on all threads OpenMP offers.
//
// All three should grow as pixels x L^2: the counter "ns_per_pixel_L2" (wall
// time / (pixels L^2)) stays roughly flat across L when they do.
//
// Arguments: operation (0 Expand, 1 ExpandByDegree, 2 FitByDegree), L,
// threads (0 = omp_get_num_procs()).
#include "imageops/SphericalHarmonicsImage.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>

namespace {

LwFloatMatrix TestImage()
{
    // A smooth positive pattern with structure at every scale up to about
    // 30 degrees, no pixel exactly 0.
    LwFloatMatrix image(360, 181);
    for (int y = 0; y < 181; ++y)
        for (int x = 0; x < 360; ++x) {
            const double theta = y * M_PI / 180, phi = x * M_PI / 180;
            image(x, y) = static_cast<float>(2.0 + std::cos(3 * theta) * std::sin(2 * phi) +
                                             0.3 * std::cos(12 * theta + 5 * phi));
        }
    return image;
}

void SphericalHarmonicsExpansion(benchmark::State& state)
{
    const int operation = static_cast<int>(state.range(0));
    const int L = static_cast<int>(state.range(1));
    const int threads = state.range(2) == 0 ? omp_get_num_procs() : static_cast<int>(state.range(2));
    const LwFloatMatrix image = TestImage();
    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);

    SphericalHarmonicsImage unit;
    LwLmDoubleArray c;
    LwFloatMatrix residual;
    for (auto _ : state) {
        if (operation == 0)
            unit.Expand(c, L, image, "EquidistantCylindrical");
        else if (operation == 1)
            unit.ExpandByDegree(c, L, image, "EquidistantCylindrical");
        else
            unit.FitByDegree(c, residual, L, image, "EquidistantCylindrical");
        benchmark::DoNotOptimize(c.Data());
    }
    omp_set_num_threads(saved);
    const double work = 360.0 * 181.0 * L * L;
    state.counters["threads"] = threads;
    state.counters["ns_per_pixel_L2"] = benchmark::Counter(
        work * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Arguments(benchmark::internal::Benchmark* b)
{
    for (int operation : {0, 1, 2})
        for (int L : {20, 60, 120})
            for (int threads : {1, 0})
                b->Args({operation, L, threads});
}

}  // namespace

BENCHMARK(SphericalHarmonicsExpansion)
    ->Apply(Arguments)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

BENCHMARK_MAIN();
