// The multiple-scattering calculation on fcc copper clusters around an
// emitter at a lattice site: every site within 4.5 A (43 atoms) or 6.8 A
// (135 atoms), 500 eV, a p_z emitted wave, phase shifts for twelve l values
// (a model set decaying with l, outer radius 1.3 A), EPS 0.01 as the console
// program uses it. Each method on one thread and on every core.
//
// BM_Hemisphere is the scattering step of a Cu(001) surface cluster: the
// emitter in the third layer and every site within 7.7 A of it below the
// surface (156 atoms), the example's phase shifts (examples/copper, twelve l
// values at 500 eV), a p_z emitter, EPS 0.01; each method on 1 and 8 threads.
//
//   build/benchmarks/bench_doc_scattering
//   build/benchmarks/bench_doc_scattering --benchmark_filter=Hemisphere --benchmark_repetitions=3
//
// On a machine that other work keeps busy, the all-core figures depend on
// OpenMP's idle threads spinning; OMP_WAIT_POLICY=passive makes them yield.

#include "core/LwBarnFile.h"
#include "core/LwNotifyTerminate.h"
#include "physics/LwClusterAtom.h"
#include "physics/LwDocFinalState.h"
#include "physics/LwDocScattering.h"
#include "physics/LwDocScatteringPhaseShift.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr double kLattice = 3.615e-10;  // copper, m
constexpr double kEnergy = 500;  // eV

// Every fcc site within `radius` of the origin whose height z is at most
// `top` (m).
LwStructure FccCluster(double radius, double top = 1.0)
{
    LwStructure atoms;
    const int n = static_cast<int>(std::ceil(2 * radius / kLattice)) + 1;
    for (int i = -n; i <= n; ++i)
        for (int j = -n; j <= n; ++j)
            for (int k = -n; k <= n; ++k) {
                if ((i + j + k) % 2 != 0)
                    continue;  // fcc sites: integer half-lattice coordinates of even sum
                const double x = i * kLattice / 2, y = j * kLattice / 2, z = k * kLattice / 2;
                if (x * x + y * y + z * z > radius * radius || z > top)
                    continue;
                LwClusterAtom atom;
                atom.Position_[0] = x;
                atom.Position_[1] = y;
                atom.Position_[2] = z;
                atom.Name_ = "Cu";
                atom.Atom_ = "Cu";
                atoms.push_back(atom);
            }
    return atoms;
}

LwDocScatteringPhaseShift CopperPhaseShifts()
{
    LwDocScatteringPhaseShift phase;
    LwPhaseShiftEntry entry;
    entry.AtomName = "Cu";
    entry.AtomElement = "Cu";
    entry.Ek_eV = kEnergy;
    const int L = 12;
    entry.TVector.Create(L);
    for (int l = 0; l < L; ++l) {
        const double delta = 1.2 * std::exp(-0.35 * l);
        entry.TVector[l] = std::exp(LComplex(0, 2 * delta)) - LComplex(1, 0);
    }
    entry.LnX = {std::log(0.5e-10), std::log(1.3e-10)};
    phase.ListScatteringPhaseShift.push_back(entry);
    return phase;
}

// Standard output goes to /dev/null while the calculation prints its
// progress lines.
class QuietStdout
{
public:
    QuietStdout()
    {
        std::cout.flush();
        std::fflush(stdout);
        saved_ = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        std::cout.flush();
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
    }

private:
    int saved_;
};

// The scattering step of `structure` by `method` on `threads` threads, p_z
// emitter at kEnergy, once per benchmark iteration.
void RunCalculation(benchmark::State& state, const LwStructure& structure,
                    const LwDocScatteringPhaseShift& phase, LwLong method, int threads)
{
    LwEmitterEntry emitted;
    emitted.Ek = kEnergy;
    emitted.coeff.SetSizeZero(2);
    emitted.coeff(1, 0) = LComplex(1, 0);
    const std::vector<LwEmitterEntry> waves = {emitted};
    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);
    for (auto _ : state) {
        LwCluster cluster = {structure};
        LwDocScattering doc;
        doc.Version = method;
        doc.EPS = 0.01;
        LwNotifyTerminateThreadCalculation never;
        QuietStdout quiet;
        doc.Calculate(never, cluster, waves, phase);
        benchmark::DoNotOptimize(doc.ListScatteringData.data());
    }
    omp_set_num_threads(saved);
    // How much of the pass can run atom-parallel: the dependency levels, and
    // those of a single atom (which parallelise their re-expansion instead).
    LwCluster cluster = {structure};
    LwDocScattering doc;
    QuietStdout quiet;
    const std::vector<std::vector<LwLong>> levels =
        LwDocScattering::DependencyLevels(method, doc.AddScatteringData(cluster, waves, phase), phase);
    std::size_t alone = 0;
    for (const std::vector<LwLong>& level : levels)
        alone += level.size() == 1 ? 1 : 0;
    state.counters["levels"] = static_cast<double>(levels.size());
    state.counters["lone_atoms"] = static_cast<double>(alone);
    state.counters["atoms"] = static_cast<double>(structure.size());
    state.counters["threads"] = threads;
}

// Arguments: cluster radius (0.1 A), method, threads (0: every core).
void BM_Calculate(benchmark::State& state)
{
    const int threads = state.range(2) > 0 ? static_cast<int>(state.range(2)) : omp_get_num_procs();
    RunCalculation(state, FccCluster(state.range(0) * 1e-11), CopperPhaseShifts(),
                   static_cast<LwLong>(state.range(1)), threads);
}

// Arguments: method, threads.
void BM_Hemisphere(benchmark::State& state)
{
    // Emitter in the third layer: the surface lies two layer spacings above.
    const LwStructure structure = FccCluster(7.7e-10, kLattice + 1e-12);
    LwDocScatteringPhaseShift phase;
    {
        LwBarnFile file(LW_EXAMPLE_DIR "/phaseshift.xml_ph", "r");
        phase.LoadSave(file);
    }
    RunCalculation(state, structure, phase, static_cast<LwLong>(state.range(0)),
                   static_cast<int>(state.range(1)));
}

void Configurations(benchmark::internal::Benchmark* b)
{
    for (int radius : {45, 68})
        for (int method : {0, 2, 1})
            for (int threads : {1, 0})
                b->Args({radius, method, threads});
}
}  // namespace

BENCHMARK(BM_Calculate)
    ->Apply(Configurations)
    ->ArgNames({"radius_0.1A", "method", "threads"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK(BM_Hemisphere)
    ->ArgsProduct({{LwDocScattering::kSingleScattering, LwDocScattering::kMultipleScattering,
                    LwDocScattering::kSlowMultipleScattering},
                   {1, 8}})
    ->ArgNames({"method", "threads"})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

BENCHMARK_MAIN();
