#include "physics/LwFarFieldSum.h"

#include "core/LwError.h"
#include "core/LwSimdMath.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwSphericalHarmonics.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace {

// Sources per vector block: the padding makes every source loop run whole
// blocks of 8 doubles (two AVX registers, one AVX-512 register), and the
// sums of one block stay in registers across all rows.
constexpr int kBlock = LwFarFieldSum::Group::kBlock;

// The range of lw_simd::Exp.
constexpr double kFastExpLow = -708, kFastExpHigh = 709;

inline LwLong At(LwLong l, LwLong m)
{
    return l * (l + 1) + m;
}

LDouble Distance(const LwPartialWaveSource& s)
{
    return std::sqrt(s.X() * s.X() + s.Y() * s.Y() + s.Z() * s.Z());
}

// Fills `group` with the sources [first, last) of `sources`, their
// coefficients for l < L, the thermal factor for U_j + uOther (or U_j + U_j
// with ownTwice, the emitter's own) and the attenuation factor g (0 = none).
void FillGroup(LwFarFieldSum::Group& group, const std::vector<LwPartialWaveSource>& sources,
               std::size_t first, std::size_t last, LwLong L, double k, bool ownTwice, double uOther,
               double g)
{
    group.count = static_cast<int>(last - first);
    group.stride = (group.count + kBlock - 1) / kBlock * kBlock;
    group.L = L;
    const std::size_t n = static_cast<std::size_t>(group.stride);
    for (auto* v : {&group.x, &group.y, &group.z, &group.a, &group.b})
        v->assign(n, 0);
    const std::size_t rows = static_cast<std::size_t>(L) * L;
    group.rows.assign(rows * 2 * n, 0);
    group.hasFactor = false;
    group.libraryExp = false;

    for (std::size_t j = 0; j < static_cast<std::size_t>(group.count); ++j) {
        const LwPartialWaveSource& s = sources[first + j];
        group.x[j] = s.X();
        group.y[j] = s.Y();
        group.z[j] = s.Z();

        // exp(-(1 - d/r) k^2 U) exp(-r g) = exp(a + b d).
        const double uSum = ownTwice ? s.GetU() + s.GetU() : s.GetU() + uOther;
        const LDouble r = Distance(s);
        if (uSum > 0 && r > 0) {
            const LDouble c = k * k * uSum;
            group.a[j] -= c;
            group.b[j] = c / r;
        }
        if (g > 0)
            group.a[j] -= r * g;
        group.hasFactor = group.hasFactor || group.a[j] != 0 || group.b[j] != 0;
        // |d| <= |r|: a - |b| r <= a + b d <= a + |b| r.
        const LDouble spread = std::abs(group.b[j]) * r;
        group.libraryExp =
            group.libraryExp || group.a[j] - spread < kFastExpLow || group.a[j] + spread > kFastExpHigh;

        // (-i)^{l+1} (c_lm Y_lm + c_l,-m Y_l,-m)
        //   = (-i)^{l+1} [(c_lm + (-1)^m c_l,-m) Re Y_lm + i (c_lm - (-1)^m c_l,-m) Im Y_lm].
        const LwLmComplexArray& c = s.Outgoing();
        const LComplex* cd = c.Data();
        for (LwLong l = 0; l < c.GetL(); ++l) {
            const LComplex w = PowerOfMinusI(static_cast<int>(l + 1));
            const auto put = [&](LwLong q, LComplex v) {
                const std::size_t at =
                    ((j / kBlock) * rows + static_cast<std::size_t>(q)) * 2 * kBlock + j % kBlock;
                group.rows[at] = v.real();
                group.rows[at + kBlock] = v.imag();
            };
            put(At(l, 0), w * cd[At(l, 0)]);
            for (LwLong m = 1; m <= l; ++m) {
                const LComplex plus = cd[At(l, m)];
                const LComplex minus = m % 2 != 0 ? -cd[At(l, -m)] : cd[At(l, -m)];
                put(At(l, m), w * (plus + minus));
                put(At(l, -m), w * LComplex(0, 1) * (plus - minus));
            }
        }
    }
}

// Per-thread scratch of Evaluate: the harmonics, and per direction of a pair
// the real harmonic vector y, the dot products d and the sums of the sources.
struct DirectionScratch
{
    std::vector<LDouble> y, d, re, im;
};

struct Scratch
{
    LwLmDoubleArray normalization;
    LwLmComplexArray Y;
    DirectionScratch direction[2];
    std::vector<LDouble> factor;
};

template <class T>
void Grow(std::vector<T>& v, std::size_t n)
{
    if (v.size() < n)
        v.resize(n);
}

// The vector clones of the loops over the sources: an AVX2/FMA clone is
// chosen at load time where the processor has it. Every thread runs the same
// clone, so the results do not depend on the thread count.
// A build may define LW_SOURCE_LOOP_CLONES itself (empty: the baseline
// instruction set only, e.g. to test that path on an AVX2 machine).
#if !defined(LW_SOURCE_LOOP_CLONES)
#if defined(__GNUC__) && defined(__x86_64__)
#define LW_SOURCE_LOOP_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define LW_SOURCE_LOOP_CLONES
#endif
#endif

// The row sums of one block of sources in two directions p = 0, 1:
// re_p[j] + i im_p[j] = the sum over q, in row order, of source j's
// coefficients of row q times y_p[q]. Two directions share each load of the
// coefficients, which halves the traffic from the cache, and keep eight
// independent sums in flight, enough to hide the latency of the
// multiply-adds. The sums of one direction do not depend on the other.
#if defined(__GNUC__) && !(defined(LW_EXTENDED_LDOUBLE) && LW_EXTENDED_LDOUBLE)
// Four lanes in one vector of the compiler's vector extension; the same,
// read from and written to any double address.
using Lanes4 = double __attribute__((vector_size(32)));
using UnalignedLanes4 = double __attribute__((vector_size(32), aligned(8), may_alias));
static_assert(kBlock == 8, "a block is two vectors of four lanes");

LW_SOURCE_LOOP_CLONES void BlockRowSums(const double* t, const double* y0, const double* y1, LwLong rows,
                                        double* re0, double* im0, double* re1, double* im1)
{
    // A row of a block is four vectors: real parts of lanes 0-3 and 4-7,
    // imaginary parts of lanes 0-3 and 4-7.
    const UnalignedLanes4* a = reinterpret_cast<const UnalignedLanes4*>(t);
    const Lanes4 zero = {0, 0, 0, 0};
    Lanes4 r0 = zero, r1 = zero, i0 = zero, i1 = zero, s0 = zero, s1 = zero, j0 = zero, j1 = zero;
    for (LwLong q = 0; q < rows; ++q, a += 4) {
        const double u = y0[q], v = y1[q];
        r0 += a[0] * u;
        r1 += a[1] * u;
        i0 += a[2] * u;
        i1 += a[3] * u;
        s0 += a[0] * v;
        s1 += a[1] * v;
        j0 += a[2] * v;
        j1 += a[3] * v;
    }
    const auto store = [](double* p, const Lanes4& lo, const Lanes4& hi) {
        UnalignedLanes4* out = reinterpret_cast<UnalignedLanes4*>(p);
        out[0] = lo;
        out[1] = hi;
    };
    store(re0, r0, r1);
    store(im0, i0, i1);
    store(re1, s0, s1);
    store(im1, j0, j1);
}
#else
void BlockRowSums(const LDouble* t, const LDouble* y0, const LDouble* y1, LwLong rows, LDouble* re0,
                  LDouble* im0, LDouble* re1, LDouble* im1)
{
    std::fill(re0, re0 + kBlock, LDouble(0));
    std::fill(im0, im0 + kBlock, LDouble(0));
    std::fill(re1, re1 + kBlock, LDouble(0));
    std::fill(im1, im1 + kBlock, LDouble(0));
    for (LwLong q = 0; q < rows; ++q, t += 2 * kBlock)
        for (int lane = 0; lane < kBlock; ++lane) {
            re0[lane] += t[lane] * y0[q];
            im0[lane] += t[kBlock + lane] * y0[q];
            re1[lane] += t[lane] * y1[q];
            im1[lane] += t[kBlock + lane] * y1[q];
        }
}
#endif

// e^{i phase} for every source, times exp(a + b d) where the group has it.
LW_SOURCE_LOOP_CLONES void PhaseAndFactor(const LwFarFieldSum::Group& g, LDouble k, DirectionScratch& s,
                                          LDouble* f)
{
    const int n = g.stride;
    const LDouble* d = s.d.data();
    LDouble* re = s.re.data();
    LDouble* im = s.im.data();
    if (g.hasFactor) {
        const LDouble* a = g.a.data();
        const LDouble* b = g.b.data();
        if constexpr (std::is_same_v<LDouble, double>) {
            if (g.libraryExp) {
                for (int j = 0; j < n; ++j)
                    f[j] = std::exp(a[j] + b[j] * d[j]);
            } else {
#pragma omp simd
                for (int j = 0; j < n; ++j)
                    f[j] = lw_simd::Exp(a[j] + b[j] * d[j]);
            }
        } else {
            for (int j = 0; j < n; ++j)
                f[j] = std::exp(a[j] + b[j] * d[j]);
        }
    } else {
        std::fill(f, f + n, LDouble(1));
    }
    // The phase k (-1) d of the per-source sum.
    if constexpr (std::is_same_v<LDouble, double>) {
#pragma omp simd
        for (int j = 0; j < n; ++j) {
            double c, sn;
            lw_simd::SinCos(k * (-1) * d[j], sn, c);
            const double x = re[j], y = im[j];
            re[j] = (x * c - y * sn) * f[j];
            im[j] = (x * sn + y * c) * f[j];
        }
    } else {
        for (int j = 0; j < n; ++j) {
            const LDouble phase = k * (-1) * d[j];
            const LDouble c = std::cos(phase), sn = std::sin(phase);
            const LDouble x = re[j], y = im[j];
            re[j] = (x * c - y * sn) * f[j];
            im[j] = (x * sn + y * c) * f[j];
        }
    }
}

// The far-field sums of one group in two directions u_p = (ux, uy, uz)[p],
// whose real harmonic vectors are in s.direction[p].y.
void SumGroup(const LwFarFieldSum::Group& g, const LDouble (&u)[2][3], LDouble k, Scratch& s,
              LComplex (&sum)[2])
{
    sum[0] = sum[1] = LComplex(0, 0);
    if (g.count == 0 || g.L == 0)
        return;
    const int n = g.stride;
    Grow(s.factor, n);
    for (int p = 0; p < 2; ++p) {
        DirectionScratch& ds = s.direction[p];
        Grow(ds.d, n);
        Grow(ds.re, n);
        Grow(ds.im, n);
        const LDouble* px = g.x.data();
        const LDouble* py = g.y.data();
        const LDouble* pz = g.z.data();
        const LDouble ux = u[p][0], uy = u[p][1], uz = u[p][2];
        LDouble* d = ds.d.data();
        // Added in the order y, x, z, as the per-source sum does.
#pragma omp simd
        for (int j = 0; j < n; ++j)
            d[j] = uy * py[j] + ux * px[j] + uz * pz[j];
    }
    const LwLong rows = g.L * g.L;
    DirectionScratch& s0 = s.direction[0];
    DirectionScratch& s1 = s.direction[1];
    for (int b = 0; b < n; b += kBlock)
        BlockRowSums(g.rows.data() + static_cast<std::size_t>(b) * rows * 2, s0.y.data(), s1.y.data(), rows,
                     s0.re.data() + b, s0.im.data() + b, s1.re.data() + b, s1.im.data() + b);
    for (int p = 0; p < 2; ++p) {
        DirectionScratch& ds = s.direction[p];
        PhaseAndFactor(g, k, ds, s.factor.data());
        // Summed in source order.
        for (int j = 0; j < g.count; ++j)
            sum[p] += LComplex(ds.re[j], ds.im[j]);
    }
}

}  // namespace

LwFarFieldSum::LwFarFieldSum(const LwVectorFreeElectron& wave, LwLong L)
{
    const std::vector<LwPartialWaveSource>& sources = wave.Sources();
    if (sources.empty())
        return;
    const LwPartialWaveSource& s0 = sources[0];
    k_ = s0.GetWaveNumber();
    const double u0 = s0.GetU();
    FillGroup(direct_, sources, 0, 1, s0.Outgoing().GetL(), k_, true, 0, 0);

    if (sources.size() < 2)
        return;
    const LwLong usedL = L >= 1 ? L : wave.GetMaxL();
    for (std::size_t j = 1; j < sources.size(); ++j)
        if (sources[j].Outgoing().GetL() > usedL)
            throw LwError("Illegal l value");
    FillGroup(scattered_, sources, 1, sources.size(), usedL, k_, false, u0,
              AmplitudeAttenuationRate(wave.GetMeanFreePath_m()));
}

LwFarFieldSum::Amplitudes LwFarFieldSum::Evaluate(LDouble theta, LDouble phi) const
{
    const LDouble theta2[2] = {theta, theta}, phi2[2] = {phi, phi};
    Amplitudes a[2];
    Evaluate(theta2, phi2, a);
    return a[0];
}

void LwFarFieldSum::Evaluate(const LDouble (&theta)[2], const LDouble (&phi)[2], Amplitudes (&out)[2]) const
{
    const LwLong L = std::max(direct_.L, scattered_.L);
    if (L == 0) {
        out[0] = out[1] = {LComplex(0, 0), LComplex(0, 0)};
        return;
    }

    thread_local Scratch s;
    LDouble u[2][3];
    for (int p = 0; p < 2; ++p) {
        CalcSphericalHarmonics(s.normalization, s.Y, L, theta[p], phi[p]);
        // The real harmonic vector: Re Y_lm at (l, m), Im Y_lm at (l, -m).
        std::vector<LDouble>& yv = s.direction[p].y;
        Grow(yv, static_cast<std::size_t>(L) * L);
        const LComplex* Y = s.Y.Data();
        LDouble* y = yv.data();
        for (LwLong l = 0; l < L; ++l) {
            y[At(l, 0)] = Y[At(l, 0)].real();
            for (LwLong m = 1; m <= l; ++m) {
                y[At(l, m)] = Y[At(l, m)].real();
                y[At(l, -m)] = Y[At(l, m)].imag();
            }
        }
        u[p][0] = std::sin(theta[p]) * std::cos(phi[p]);
        u[p][1] = std::sin(theta[p]) * std::sin(phi[p]);
        u[p][2] = std::cos(theta[p]);
    }
    LComplex direct[2], scattered[2];
    SumGroup(direct_, u, k_, s, direct);
    SumGroup(scattered_, u, k_, s, scattered);
    for (int p = 0; p < 2; ++p)
        out[p] = {direct[p], scattered[p]};
}
