// The pattern calculation of one record: the far field of n sources with L
// partial waves (L*L coefficients each) summed over every pixel of a 1 degree
// azimuthal-equidistant grid (181 x 181, about 25 700 pixels inside the
// disc), on one thread and on all threads OpenMP offers. 155 and 250 sources
// with L = 12 are the sizes of the copper hemisphere clusters of
// benchmarks/cmd_drev_scaling.sh at 500 eV.
//
// Arguments: number of sources, L, threads (0 = omp_get_num_procs()).
#include "core/LwNotifyTerminate.h"
#include "pattern/LwDocPattern.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>

namespace {

LwVectorFreeElectron MakeWave(int sources, int L)
{
    LwVectorFreeElectron w;
    for (int s = 0; s < sources; ++s) {
        LwPartialWaveSource src;
        // The emitter at the origin, the others spread over a 1 nm cluster
        // below the surface.
        if (s == 0)
            src.SetPosition(0, 0, 0);
        else
            src.SetPosition(5e-10 * std::sin(1.3 * s), 5e-10 * std::cos(0.7 * s), -1e-9 * (s % 17) / 17.0);
        src.Outgoing().SetSizeZero(L);
        for (LwLong k = 0; k < src.Outgoing().Size(); ++k)
            src.Outgoing()[k] = LComplex(std::cos(0.1 * k + s), std::sin(0.3 * k - s)) / (1.0 + k);
        src.SetU(1e-22);
        w.Sources().push_back(src);
    }
    w.SetKineticEnergy(500.0);
    return w;
}

void PatternCalculation(benchmark::State& state)
{
    const int sources = static_cast<int>(state.range(0));
    const int L = static_cast<int>(state.range(1));
    const int threads = state.range(2) == 0 ? omp_get_num_procs() : static_cast<int>(state.range(2));
    const LwVectorFreeElectron wave = MakeWave(sources, L);
    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);

    LwDocPattern_AzimuthalEquidistant doc;
    doc.Resolution_deg_ = 1.0;
    LwNotifyTerminateThreadCalculation never;
    for (auto _ : state) {
        doc.InitSphericalMap();
        doc.SetRotationFromEulerAngles();
        LwLDoubleMatrix theta, phi;
        doc.CalcDirectionAngles(theta, phi);
        doc.PrepareWorkingWave(wave);
        doc.CalcPixelColumns(theta, phi, never, LwDocPattern::SurfaceHeight(wave));
        benchmark::DoNotOptimize(doc.Grid.Planes[0].Buffer());
    }
    omp_set_num_threads(saved);
    state.counters["threads"] = threads;
}

}  // namespace

BENCHMARK(PatternCalculation)
    ->ArgNames({"sources", "L", "threads"})
    ->ArgsProduct({{155, 250}, {12}, {1, 0}})
    ->ArgsProduct({{100, 1000}, {10, 20}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK_MAIN();
