// One iteration of the hologram reconstruction (MEM mode): density maximum,
// forward transform, fit and RMS error, back-projection, MEM correction and
// the real-space filter, on an n^3 grid spanning +-1 nm (densities inside
// the 1 nm sphere), 5000 directions, one hologram item, two elements, on one
// thread and on all threads OpenMP offers. The counter "checksum" (sum of the
// calculated hologram and the gradients) must be the same for every thread
// count.
//
// Arguments: points per axis, threads (0 = omp_get_num_procs()).
//
// FccIterations: the MEM iterations of an fcc copper emitter (a = 3.61 A,
// grid step a / 8, the 42 sites of the first three shells), its holograms
// of 2000 directions computed from the sites through the same tables, 41^3
// points: two items with random tables, or one item with the copper tables
// of the example (500 eV, see CopperTable). One benchmark iteration is `loops` MEM iterations from
// the uniform start, as the job runs them (forward transform, fit, back-
// projection, MEM step, retry on a rise); the time per MEM iteration is the
// counter "s_per_loop", that of its forward transform "forward_s_per_loop"
// (iterations 1 on; iteration 0 has none). The forward transforms follow the
// job's schedule: the points below the cut-off enter at their densities of
// the last full transform, and a full transform comes every few iterations,
// after a restore and in the last iteration. Counters: "on_sites", how many
// of the 42 largest densities lie on sites; "near_sites", the share of the
// density within 0.5 A of a site; "skipped", the share of the points inside
// the cut-off sphere that the next forward transform leaves out. The ratio
// trades "near_sites" (compare with the row of ratio 0, every point in every
// transform) for "forward_s_per_loop". Arguments: CutoffRatio x 1e16,
// threads, tables (0 random, 1 copper), MEM iterations (`loops`). The ratio 5e-14 reproduces the cut-off as it
// was when the threshold CutoffRatio x max(V R), R in metres (here 1e-4 x
// about 5e-10 m), was compared with V: only the points of density 0 outside
// the sphere are left out.
#include "core/LwBarnFile.h"
#include "pattern/LwDocScatteringPatternMatrix.h"
#include "pattern/reconstruction/LwCalcMemCorrection.h"
#include "pattern/reconstruction/LwCalcMemWork.h"
#include "pattern/reconstruction/LwDocCalcMem.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

void BuildDocument(LwDocCalcMem& d, int n)
{
    std::mt19937 rng(17);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<float> uni(-0.5f, 0.5f);
    LwRealSpaceData& r = d.RealSpace_;
    const float step = 2e-9f / static_cast<float>(n - 1);
    LwRealSpaceGrid& g = r.Grid_;
    g.Dx_ = step;
    g.XMin_ = g.YMin_ = g.ZMin_ = -step * static_cast<float>(n / 2);
    g.XMax_ = g.YMax_ = g.ZMax_ = step * static_cast<float>(n / 2);
    g.XCount_ = g.YCount_ = g.ZCount_ = n;
    g.NElement_ = 2;
    r.CreateFromGrid();

    const int directions = 5000;
    LwKSpaceData& k = d.KSpace_;
    k.NPoint_ = directions;
    k.Ux_.Create(directions);
    k.Uy_.Create(directions);
    k.Uz_.Create(directions);
    LwFloatMatrix exp(1, directions), zero(1, directions);
    zero.SetZero();
    for (int q = 0; q < directions; ++q) {
        const double v[3] = {gauss(rng), gauss(rng), gauss(rng)};
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        k.Ux_[q] = static_cast<float>(v[0] / len);
        k.Uy_[q] = static_cast<float>(v[1] / len);
        k.Uz_[q] = static_cast<float>(v[2] / len);
        exp[q] = uni(rng);
    }
    k.NList_ = 1;
    k.E_ = {1000.0f};
    k.Exp_ = {exp};
    k.Cal_ = {zero};
    k.Err_ = {zero};
    k.ForwardGradient_ = {zero};

    LwScatteringPattern& s = d.ScatteringPattern_;
    s.Z_N_ = 181;
    s.R_N_ = 175;
    s.R_Min_ = 0.0f;
    s.R_Step_ = 1e-11f;
    s.Ek_eV_ = {1000.0f};
    s.Pattern_.assign(1, std::vector<LwFloatMatrix>());
    for (int e = 0; e < 2; ++e) {
        LwFloatMatrix p(s.R_N_, s.Z_N_);
        for (int i = 0; i < p.ElementCount(); ++i)
            p.Buffer()[i] = uni(rng);
        s.Pattern_[0].push_back(p);
    }
    s.InitTransposed();
    NormalizeDensity(r.Density_, r);
}

void ReconstructionIteration(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int threads = state.range(1) > 0 ? static_cast<int>(state.range(1)) : omp_get_num_procs();
    omp_set_num_threads(threads);
    LwDocCalcMem d;
    BuildDocument(d, n);
    LwCalcMemWork w(d);
    w.CheckTransformLimits();
    double checksum = 0;
    for (auto _ : state) {
        LwRealSpaceData& r = d.RealSpace_;
        for (LwFloatMatrix& c : d.KSpace_.Cal_)
            c.SetZero();
        w.CalcMaxDensity();
        w.ConvertRToK(LwCalcMemWork::Source::Densities);
        w.FitHolograms(false);
        w.CalcRmsError();
        for (LwFloatMatrix& g : r.Gradient_)
            g.SetZero();
        w.ConvertKToR();
        checksum = 0;
        for (int q = 0; q < d.KSpace_.NPoint_; ++q)
            checksum += d.KSpace_.Cal_[0][q];
        for (const LwFloatMatrix& g : r.Gradient_)
            for (int p = 0; p < g.ElementCount(); ++p)
                checksum += g.Buffer()[p];
        CorrectByMEM(d);
        w.FilterRSpace(r.Density_, r);
    }
    state.counters["threads"] = threads;
    state.counters["checksum"] = checksum;
}

BENCHMARK(ReconstructionIteration)
    ->Args({41, 1})
    ->Args({41, 2})
    ->Args({41, 4})
    ->Args({41, 0})
    ->Args({81, 1})
    ->Args({81, 0})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The copper tables: the interference term (T - D - S) / max D of the
// example's Cu emitter (examples/copper: emitted wave and phase shifts at
// 500 eV) and one Cu scatterer at distance r on the z axis, without thermal
// damping; rows r = rMin + k rStep, columns cos = -1 ... 1 in zn equal steps
// (the reconstruction's column of cosine c is (c + 1)(zn / 2) rounded).
LwFloatMatrix CopperTable(double rMin, double rStep, int rn, int zn)
{
    LwDocScatteringPhaseShift phase;
    LwDocFinalState emitted;
    {
        LwBarnFile file(LW_EXAMPLE_DIR "/phaseshift.xml_ph", "r");
        phase.LoadSave(file);
    }
    {
        LwBarnFile file(LW_EXAMPLE_DIR "/emitter.xml_emt", "r");
        emitted.LoadSave(file);
    }
    LwDocScattering scattering;
    LwDocFluctuation fluctuation;
    fluctuation.IsUseUisoInCluster_ = true;
    LwDebye debye;
    LwDocScatteringPatternMatrix m;
    m.PDocScattering_ = &scattering;
    m.PDocScatteringPhaseShift_ = &phase;
    m.PDocFinalState_ = &emitted;
    m.PDocFluctuation_ = &fluctuation;
    m.PDebye_ = &debye;
    m.PhaseShiftSelect_.assign(phase.ListScatteringPhaseShift.size(), false);
    m.PhaseShiftSelect_.at(0) = true;
    m.RMin_ = rMin;
    m.RStep_ = rStep;
    m.RCount_ = rn;
    m.CosCount_ = zn;
    // Each distance is a small calculation: on one thread the re-expansion
    // spends no time waking a team.
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    const auto t0 = std::chrono::steady_clock::now();
    m.CalcPattern();
    omp_set_num_threads(threads);
    std::fprintf(stderr, "copper tables: %g s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    // Divided by the largest direct intensity: the emitted wave has nodes
    // where D itself is 0.
    LDouble dMax = 0;
    for (int e = 0; e < rn; ++e)
        for (int c = 0; c < zn; ++c)
            dMax = std::max(dMax, m.IntensityDirect_(e, c));
    LwFloatMatrix t(rn, zn);
    for (int e = 0; e < rn; ++e)
        for (int c = 0; c < zn; ++c)
            t(e, c) = static_cast<float>(
                (m.IntensityTotal_(e, c) - m.IntensityDirect_(e, c) - m.IntensityScattered_(e, c)) / dMax);
    return t;
}

struct FccCase
{
    LwDocCalcMem doc;
    std::vector<int> sites;
};

// copper: the tables of CopperTable (one item, 500 eV, rows from 0.4 A),
// else random tables (two items).
void BuildFccCase(FccCase& c, bool copper)
{
    constexpr int n = 41;
    constexpr float a = 3.61e-10f;
    const float step = a / 8.0f;
    std::mt19937 rng(23);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<float> uni(-0.5f, 0.5f);
    LwDocCalcMem& d = c.doc;
    LwRealSpaceData& r = d.RealSpace_;
    LwRealSpaceGrid& g = r.Grid_;
    g.Dx_ = step;
    g.XMin_ = g.YMin_ = g.ZMin_ = -step * static_cast<float>(n / 2);
    g.XMax_ = g.YMax_ = g.ZMax_ = step * static_cast<float>(n / 2);
    g.XCount_ = g.YCount_ = g.ZCount_ = n;
    g.NElement_ = 1;
    g.CutoffRadius_ = 8e-10f;
    r.CreateFromGrid();
    // fcc sites (a / 2)(i, j, k), i + j + k even, within 5 A, emitter excluded.
    for (int k = -3; k <= 3; ++k)
        for (int j = -3; j <= 3; ++j)
            for (int i = -3; i <= 3; ++i) {
                const int s2 = i * i + j * j + k * k;
                if (s2 == 0 || (i + j + k) % 2 != 0 || s2 > 6)
                    continue;
                c.sites.push_back(((4 * k + n / 2) * n + 4 * j + n / 2) * n + 4 * i + n / 2);
            }

    const int directions = 2000, items = copper ? 1 : 2;
    LwKSpaceData& kd = d.KSpace_;
    kd.NPoint_ = directions;
    kd.Ux_.Create(directions);
    kd.Uy_.Create(directions);
    kd.Uz_.Create(directions);
    for (int q = 0; q < directions; ++q) {
        const double v[3] = {gauss(rng), gauss(rng), gauss(rng)};
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        kd.Ux_[q] = static_cast<float>(v[0] / len);
        kd.Uy_[q] = static_cast<float>(v[1] / len);
        kd.Uz_[q] = static_cast<float>(v[2] / len);
    }
    LwScatteringPattern& s = d.ScatteringPattern_;
    s.Z_N_ = 181;
    s.R_N_ = copper ? 156 : 160;
    s.R_Min_ = copper ? 4e-11f : 0.0f;
    s.R_Step_ = 1e-11f;
    s.Ek_eV_ = copper ? std::vector<float>{500.0f} : std::vector<float>{600.0f, 800.0f};
    s.Pattern_.assign(items, std::vector<LwFloatMatrix>());
    kd.NList_ = items;
    kd.E_ = s.Ek_eV_;
    LwFloatMatrix zero(1, directions);
    zero.SetZero();
    for (int i = 0; i < items; ++i) {
        LwFloatMatrix p(s.R_N_, s.Z_N_);
        if (copper)
            p = CopperTable(s.R_Min_, s.R_Step_, s.R_N_, s.Z_N_);
        else
            for (int x = 0; x < p.ElementCount(); ++x)
                p.Buffer()[x] = uni(rng);
        s.Pattern_[i].push_back(p);
        // The measured hologram: the table entry of every site, summed in
        // double, with the table indexing of the transforms.
        LwFloatMatrix exp(1, directions);
        const int zh = s.Z_N_ / 2;
        for (int q = 0; q < directions; ++q) {
            double sum = 0.0;
            for (int site : c.sites) {
                const int ir = static_cast<int>((r.R_[site] - s.R_Min_) / s.R_Step_ + 0.5);
                const double cosine = static_cast<double>(kd.Ux_[q]) * r.Ux_[site] +
                                      static_cast<double>(kd.Uy_[q]) * r.Uy_[site] +
                                      static_cast<double>(kd.Uz_[q]) * r.Uz_[site];
                const int idx =
                    std::min(std::max(static_cast<int>((cosine + 1.0) * zh + 0.5), 0), s.Z_N_ - 1);
                sum += p(ir, idx);
            }
            exp[q] = static_cast<float>(sum);
        }
        kd.Exp_.push_back(exp);
        kd.Cal_.push_back(zero);
        kd.Err_.push_back(zero);
        kd.ForwardGradient_.push_back(zero);
    }
    s.InitTransposed();
}

void FccIterations(benchmark::State& state)
{
    const float cutoff = static_cast<float>(static_cast<double>(state.range(0)) * 1e-16);
    const int threads = state.range(1) > 0 ? static_cast<int>(state.range(1)) : omp_get_num_procs();
    const int loops = static_cast<int>(state.range(3));
    omp_set_num_threads(threads);
    FccCase start;
    BuildFccCase(start, state.range(2) != 0);
    double onSites = 0, nearSites = 0, skipped = 0, seconds = 0, forward = 0;
    for (auto _ : state) {
        state.PauseTiming();
        FccCase c = start;
        LwDocCalcMem& d = c.doc;
        LwRealSpaceData& r = d.RealSpace_;
        LwCalcMemWork w(d);
        w.CheckTransformLimits();
        d.CutoffRatio_ = cutoff;
        NormalizeDensity(r.Density_, r);
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        double best = 1e100;
        float lambda = 1.0f;
        LwVectorList backup;
        bool refreshNext = false;
        d.AutoSave_ = 0;
        for (int loop = 0; loop < loops; ++loop) {
            d.Lambda_ = lambda;
            NormalizeDensity(r.Density_, r);
            for (LwFloatMatrix& cal : d.KSpace_.Cal_)
                cal.SetZero();
            w.CalcMaxDensity();
            // As the job: full transforms on its schedule and after a restore,
            // the last iteration full as well.
            const bool full = loop != 0 && (refreshNext || w.FullForwardDue(loop) || loop == loops - 1);
            const bool skippedBefore = w.SkippedAny();
            refreshNext = false;
            if (loop != 0) {
                const auto f0 = std::chrono::steady_clock::now();
                w.ConvertRToK(LwCalcMemWork::Source::Densities,
                              full ? LwCalcMemWork::Cutoff::Refresh : LwCalcMemWork::Cutoff::Reuse);
                forward += std::chrono::duration<double>(std::chrono::steady_clock::now() - f0).count();
            }
            w.FitHolograms(false);
            const double error = w.CalcRmsError();
            for (LwFloatMatrix& g : r.Gradient_)
                g.SetZero();
            w.ConvertKToR();
            if (!(best > error)) {
                if (!backup.empty()) {
                    r.Density_ = backup;
                    refreshNext = true;
                }
                if (full && skippedBefore && loop > 1)
                    best = error;
                lambda = static_cast<float>(static_cast<double>(lambda) * 0.9);
                d.Lambda_ = lambda;
            } else {
                best = error;
                backup = r.Density_;
            }
            CorrectByMEM(d);
            w.FilterRSpace(r.Density_, r);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.PauseTiming();
        const LwFloatMatrix& v = r.Density_[0];
        std::vector<int> order(static_cast<std::size_t>(v.ElementCount()));
        for (std::size_t p = 0; p < order.size(); ++p)
            order[p] = static_cast<int>(p);
        const std::size_t m = c.sites.size();
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(m), order.end(),
                          [&](int x, int y) { return v.Buffer()[x] > v.Buffer()[y]; });
        onSites = 0;
        for (std::size_t i = 0; i < m; ++i)
            onSites += std::count(c.sites.begin(), c.sites.end(), order[i]) > 0 ? 1 : 0;
        // Share of the density within 0.5 A of a site (grid step a / 8 = 0.45 A:
        // the site points and their six neighbours).
        double all = 0.0, near = 0.0;
        for (int p = 0; p < v.ElementCount(); ++p) {
            all += v.Buffer()[p];
            const double x = r.Ux_[p] * r.R_[p], y = r.Uy_[p] * r.R_[p], z = r.Uz_[p] * r.R_[p];
            for (int site : c.sites) {
                const double dx = x - r.Ux_[site] * r.R_[site], dy = y - r.Uy_[site] * r.R_[site],
                             dz = z - r.Uz_[site] * r.R_[site];
                if (dx * dx + dy * dy + dz * dz <= 0.25e-20) {
                    near += v.Buffer()[p];
                    break;
                }
            }
        }
        nearSites = near / all;
        w.CalcMaxDensity();
        const float threshold = d.CutoffRatio_ * w.DensityPeak_;
        // Share of the points inside the cut-off sphere (density not 0).
        const auto inside =
            std::count_if(v.Buffer(), v.Buffer() + v.ElementCount(), [](float x) { return x != 0.0f; });
        const auto below = std::count_if(v.Buffer(), v.Buffer() + v.ElementCount(),
                                         [&](float x) { return x != 0.0f && threshold > x; });
        skipped = static_cast<double>(below) / static_cast<double>(std::max<std::ptrdiff_t>(inside, 1));
        state.ResumeTiming();
    }
    state.counters["threads"] = threads;
    state.counters["on_sites"] = onSites;
    state.counters["sites"] = static_cast<double>(start.sites.size());
    state.counters["near_sites"] = nearSites;
    state.counters["skipped"] = skipped;
    state.counters["s_per_loop"] = seconds / (static_cast<double>(state.iterations()) * loops);
    state.counters["forward_s_per_loop"] = forward / (static_cast<double>(state.iterations()) * (loops - 1));
}

BENCHMARK(FccIterations)
    ->Args({0, 1, 0, 12})
    ->Args({500, 1, 0, 12})
    ->Args({1000000000000, 1, 0, 12})
    ->Args({100000000000000, 1, 0, 12})
    ->Args({0, 0, 0, 12})
    ->Args({500, 0, 0, 12})
    ->Args({1000000000000, 0, 0, 12})
    ->Args({100000000000000, 0, 0, 12})
    ->Args({0, 0, 1, 60})
    ->Args({1000000000000, 0, 1, 60})
    ->Args({100000000000000, 0, 1, 60})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
