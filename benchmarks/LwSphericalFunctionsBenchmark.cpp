// One table of Y_lm (all l < L at one direction) and one table of spherical
// Bessel functions (all orders < L at one argument): the two evaluations the
// scattering calculation repeats at every sampling point.
#include "physics/LwSphericalBesselTable.h"
#include "physics/LwSphericalHarmonics.h"

#include <benchmark/benchmark.h>

#include <complex>
#include <vector>

static void BM_SphericalHarmonicsTable(benchmark::State& state)
{
    const LwLong L = static_cast<LwLong>(state.range(0));
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcLegendreNormalization(cache, L);  // the cache is built once per run
    double theta = 0.1;
    for (auto _ : state) {
        CalcSphericalHarmonics(cache, Y, L, theta, 0.7);
        benchmark::DoNotOptimize(Y.Data());
        theta += 1e-4;  // a new direction every time
        if (theta > 3.0)
            theta = 0.1;
    }
}
BENCHMARK(BM_SphericalHarmonicsTable)->Arg(20)->Arg(40);

static void BM_SphericalBesselTable(benchmark::State& state)
{
    const LwLong L = static_cast<LwLong>(state.range(0));
    const double x0 = static_cast<double>(state.range(1));
    LwSphericalBesselTable table;
    std::vector<std::complex<double>> plus, minus;
    double x = x0;
    for (auto _ : state) {
        table.Set(L, x);
        table.GetHankel(plus, minus);
        benchmark::DoNotOptimize(plus.data());
        benchmark::DoNotOptimize(minus.data());
        x += 1e-6;
    }
}
// Arguments k r = 1, 10 and 50: the Miller start lies further out for larger x.
BENCHMARK(BM_SphericalBesselTable)->ArgsProduct({{20, 40}, {1, 10, 50}});

BENCHMARK_MAIN();
