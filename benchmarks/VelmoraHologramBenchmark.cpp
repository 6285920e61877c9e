// velmora's X-ray fluorescence hologram of a cluster of n atoms on a 1 degree
// equidistant-cylindrical image (360 x 181 pixels, every pixel a direction),
// with anomalous terms and Debye-Waller damping on (the slowest term), on one
// thread and on all threads OpenMP offers. ns_per_term is the wall time per
// atom-pixel term.
//
// Arguments: number of atoms (the emitter included), threads (0 =
// omp_get_num_procs()); 2 and 4 threads show the scaling in between.
//
// ScatteringPatternMatrix: the main window's scattering-pattern matrix with
// the form's defaults (Cu, 15 keV, 1 to 10 A in steps of 0.02 A: 451
// holograms of a pair of atoms on 1025 points), the same code the button
// runs; argument: threads (0 = omp_get_num_procs()).
#include "pattern/LwDocPattern.h"
#include "apps/velmora/engine/HologramCalculation.h"
#include "apps/velmora/engine/LwDocPatternVelmora.h"
#include "apps/velmora/engine/ScatteringPatternMatrix.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

namespace {

std::string ShippedTable()
{
    std::ifstream in(LW_VELMORA_TABLE, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// User and system time of the whole process, all threads, in seconds.
double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

LwCluster MakeCluster(int atoms)
{
    LwStructure s;
    for (int n = 0; n < atoms; ++n) {
        LwClusterAtom a;
        a.Atom_ = n % 3 ? "Fe" : "O";
        if (n > 0) {
            // Spread over a ball of about 2 nm radius.
            const double r = 2e-9 * std::cbrt((n + 0.5) / atoms);
            const double z = 1 - 2 * std::fmod(0.618034 * n, 1.0);
            const double phi = 2.399963 * n;
            a.Position_[0] = r * std::sqrt(1 - z * z) * std::cos(phi);
            a.Position_[1] = r * std::sqrt(1 - z * z) * std::sin(phi);
            a.Position_[2] = r * z;
        }
        s.push_back(a);
    }
    return {s};
}

void Hologram(benchmark::State& state)
{
    const int atoms = static_cast<int>(state.range(0));
    const int threads = state.range(1) == 0 ? omp_get_num_procs() : static_cast<int>(state.range(1));
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable, ShippedTable());
    calc.AtomicWeights.assign(104, 50.0);
    calc.ElementMap["Fe"] = {"Fe", -1.2, 3.4, 470};
    calc.ElementMap["O"] = {"O", 0.05, 0.03, 600};
    calc.Temperature_K = 300;
    calc.SetPhotonEnergy_eV(10000);
    const LwCluster cluster = MakeCluster(atoms);

    LwDocPattern_EquidistantCylindrical doc;
    doc.Resolution_deg_ = 1.0;
    doc.SetRecordSelection(1, true);
    doc.InitSphericalMap();
    const double terms = static_cast<double>(doc.Grid.X.ElementCount()) * (atoms - 1);

    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);
    const double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        calc.Run(doc, cluster);
        benchmark::DoNotOptimize(doc.Grid.Planes[0].Buffer());
    }
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    omp_set_num_threads(saved);
    state.counters["threads"] = threads;
    // The processor time of all threads: against the one-thread run it shows
    // how much more work the threads do together, apart from the time they
    // wait for a core on a busy machine.
    state.counters["all_threads_cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["ns_per_term"] = benchmark::Counter(
        terms * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void ScatteringPatternMatrix(benchmark::State& state)
{
    const int threads = state.range(0) == 0 ? omp_get_num_procs() : static_cast<int>(state.range(0));
    HologramCalculation calc;
    LoadAsfTable(calc.AsfTable, ShippedTable());
    LwDocPattern_CosZ doc;
    const ScatteringMatrixInputs in;
    const int distances = RadialCount(in);

    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);
    for (auto _ : state) {
        const LwFloatMatrix image = CalculateScatteringPatternMatrix(calc, doc, in);
        benchmark::DoNotOptimize(image.Buffer());
    }
    omp_set_num_threads(saved);
    state.counters["threads"] = threads;
    state.counters["distances"] = distances;
    state.counters["ms_per_distance"] = benchmark::Counter(
        distances * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(ScatteringPatternMatrix)
    ->ArgNames({"threads"})
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK(Hologram)
    ->ArgNames({"atoms", "threads"})
    ->Args({1000, 1})
    ->Args({1000, 0})
    ->Args({5000, 1})
    ->Args({5000, 2})
    ->Args({5000, 4})
    ->Args({5000, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
