// Re-expansion of a scattered wave about an atom: the hot loop of the
// multiple-scattering calculation. The wave is a sum of S outgoing sources,
// each with L l-values of coefficients, on shells 4.5 to 8 Angstrom from the
// atom, at 500 eV and the accuracy the console program uses (EPS 0.01).
// The outer sampling sphere lies at k r of about 1.5 L (3.9 Angstrom for
// L = 30 at 500 eV); the expansion only holds inside the nearest source, so
// the sources stay outside it.
//
// Parallel efficiency: run once with OMP_NUM_THREADS=1 and once with the
// default (all cores) and compare the real times:
//   OMP_NUM_THREADS=1 build/benchmarks/bench_wave_reexpansion
//   build/benchmarks/bench_wave_reexpansion
// The CPU column is the CPU time of the whole process (all threads), so its
// ratio to the one-thread time shows the work the threads add, also on a
// machine too busy for the real times to show the speed-up. On a shared
// machine OMP_WAIT_POLICY=passive keeps idle threads from spinning.
#include "physics/LwPartialWaveSource.h"
#include "physics/LwVectorFreeElectron.h"
#include "physics/LwWaveReexpansion.h"
#include "physics/LwWaveVectorFreeElectron.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <cstddef>

namespace {

LwVectorFreeElectron MakeWave(LwLong L, int sources)
{
    LwVectorFreeElectron wave;
    wave.Sources().resize(std::size_t(sources));
    for (int s = 0; s < sources; ++s) {
        LwPartialWaveSource& source = wave.Sources()[std::size_t(s)];
        LwLmComplexArray& c = source.Outgoing();
        c.SetSizeZero(L);
        for (LwLong p = 0; p < c.Size(); ++p) {
            // Amplitudes that fall off with l, as scattered waves do.
            const LwLong l = LwLong(std::sqrt(double(p)));
            c[p] = LComplex(std::sin(0.7 * p + s), std::cos(1.3 * p - s)) / LDouble(1 + l);
        }
        // Spread over the sphere (golden-angle spiral) and over 4.5 ... 8 A.
        const double z = 1.0 - 2.0 * (s + 0.5) / sources;
        const double rho = std::sqrt(1.0 - z * z);
        const double phi = 2.399963229728653 * s;
        const double r = (4.5 + 3.5 * (s % 4) / 3.0) * 1e-10;
        source.SetPosition(r * rho * std::cos(phi), r * rho * std::sin(phi), r * z);
    }
    wave.SetKineticEnergy(500.0);
    return wave;
}

void BM_ExpandToSource(benchmark::State& state)
{
    const LwLong L = LwLong(state.range(0));
    const int sources = int(state.range(1));
    LwVectorFreeElectron wave = MakeWave(L, sources);
    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&wave);
    LwWaveReexpansion calc;
    calc.SetEPS(0.01);
    calc.SetSize_l(L);
    LwPartialWaveSource target;
    for (auto _ : state) {
        calc.ExpandToSource(target, adapter);
        benchmark::DoNotOptimize(target.Outgoing().Data());
    }
    state.counters["threads"] = omp_get_max_threads();
    state.counters["iterations_n"] = calc.GetIteration();
    state.counters["directions"] = calc.GetPointCount();
}

}  // namespace

BENCHMARK(BM_ExpandToSource)
    ->ArgsProduct({{10, 20, 30}, {1, 8, 32}})
    ->ArgNames({"L", "sources"})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK_MAIN();
