// One iteration of the hologram reconstruction (MEM mode): density maximum,
// forward transform, fit and RMS error, back-projection, MEM correction and
// the real-space filter, on an n^3 grid spanning +-1 nm (densities inside
// the 1 nm sphere), 5000 directions, one hologram item, two elements, on one
// thread and on all threads OpenMP offers. The counter "checksum" (sum of the
// calculated hologram and the gradients) must be the same for every thread
// count.
//
// Arguments: points per axis, threads (0 = omp_get_num_procs()).
#include "pattern/LwCalcMemCorrection.h"
#include "pattern/LwCalcMemWork.h"
#include "pattern/LwDocCalcMem.h"

#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <random>

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

}  // namespace

BENCHMARK_MAIN();
