#include "physics/LwFarFieldSum.h"

#include "core/LwError.h"
#include "core/LwSimdMath.h"
#include "core/LwSphericalCoordinates.h"
#include "physics/LwSphericalHarmonics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

// Per-thread scratch of Evaluate.
struct Scratch
{
    LwLmDoubleArray normalization;
    LwLmComplexArray Y;
    std::vector<LDouble> y, d, sumRe, sumIm, factor;
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
#if defined(__GNUC__) && defined(__x86_64__)
#define LW_SOURCE_LOOP_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define LW_SOURCE_LOOP_CLONES
#endif

// The row sums of `blocks` (1 or 2) consecutive blocks of sources:
// re[j] + i im[j] = the sum over q, in row order, of source j's coefficients
// of row q times y[q].
#if defined(__GNUC__) && !(defined(LW_EXTENDED_LDOUBLE) && LW_EXTENDED_LDOUBLE)
// Four lanes in one vector of the compiler's vector extension. Two blocks at
// once keep eight independent sums in flight, enough to hide the latency of
// the multiply-adds; each sum still runs over the rows in order.
using Lanes4 = double __attribute__((vector_size(32)));
// The same, read from and written to any double address.
using UnalignedLanes4 = double __attribute__((vector_size(32), aligned(8), may_alias));
static_assert(kBlock == 8, "a block is two vectors of four lanes");

LW_SOURCE_LOOP_CLONES void BlockRowSums(const double* t, const double* y, LwLong rows, int blocks, double* re,
                                        double* im)
{
    // A row of a block is four vectors: real parts of lanes 0-3 and 4-7,
    // imaginary parts of lanes 0-3 and 4-7.
    const UnalignedLanes4* a = reinterpret_cast<const UnalignedLanes4*>(t);
    const UnalignedLanes4* b = a + rows * 4;  // the second block
    UnalignedLanes4* sumRe = reinterpret_cast<UnalignedLanes4*>(re);
    UnalignedLanes4* sumIm = reinterpret_cast<UnalignedLanes4*>(im);
    const Lanes4 zero = {0, 0, 0, 0};
    if (blocks == 2) {
        Lanes4 r0 = zero, r1 = zero, i0 = zero, i1 = zero, r2 = zero, r3 = zero, i2 = zero, i3 = zero;
        for (LwLong q = 0; q < rows; ++q, a += 4, b += 4) {
            const double yq = y[q];
            r0 += a[0] * yq;
            r1 += a[1] * yq;
            i0 += a[2] * yq;
            i1 += a[3] * yq;
            r2 += b[0] * yq;
            r3 += b[1] * yq;
            i2 += b[2] * yq;
            i3 += b[3] * yq;
        }
        sumRe[2] = r2;
        sumRe[3] = r3;
        sumIm[2] = i2;
        sumIm[3] = i3;
        sumRe[0] = r0;
        sumRe[1] = r1;
        sumIm[0] = i0;
        sumIm[1] = i1;
        return;
    }
    Lanes4 r0 = zero, r1 = zero, i0 = zero, i1 = zero;
    for (LwLong q = 0; q < rows; ++q, a += 4) {
        const double yq = y[q];
        r0 += a[0] * yq;
        r1 += a[1] * yq;
        i0 += a[2] * yq;
        i1 += a[3] * yq;
    }
    sumRe[0] = r0;
    sumRe[1] = r1;
    sumIm[0] = i0;
    sumIm[1] = i1;
}
#else
void BlockRowSums(const LDouble* t, const LDouble* y, LwLong rows, int blocks, LDouble* re, LDouble* im)
{
    for (int b = 0; b < blocks; ++b, re += kBlock, im += kBlock) {
        std::fill(re, re + kBlock, LDouble(0));
        std::fill(im, im + kBlock, LDouble(0));
        for (LwLong q = 0; q < rows; ++q, t += 2 * kBlock)
            for (int lane = 0; lane < kBlock; ++lane) {
                re[lane] += t[lane] * y[q];
                im[lane] += t[kBlock + lane] * y[q];
            }
    }
}
#endif

// e^{i phase} for every source, times exp(a + b d) where the group has it.
LW_SOURCE_LOOP_CLONES void PhaseAndFactor(const LwFarFieldSum::Group& g, LDouble k, Scratch& s)
{
    const int n = g.stride;
    const LDouble* d = s.d.data();
    LDouble* re = s.sumRe.data();
    LDouble* im = s.sumIm.data();
    LDouble* f = s.factor.data();
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

// The far-field sum of one group in the direction u = (ux, uy, uz), whose
// real harmonic vector is y.
LComplex SumGroup(const LwFarFieldSum::Group& g, const LDouble* y, LDouble ux, LDouble uy, LDouble uz,
                  LDouble k, Scratch& s)
{
    if (g.count == 0 || g.L == 0)
        return LComplex(0, 0);
    const int n = g.stride;
    Grow(s.d, n);
    Grow(s.sumRe, n);
    Grow(s.sumIm, n);
    Grow(s.factor, n);
    LDouble* d = s.d.data();
    LDouble* re = s.sumRe.data();
    LDouble* im = s.sumIm.data();
    {
        const LDouble* px = g.x.data();
        const LDouble* py = g.y.data();
        const LDouble* pz = g.z.data();
        // Added in the order y, x, z, as the per-source sum does.
#pragma omp simd
        for (int j = 0; j < n; ++j)
            d[j] = uy * py[j] + ux * px[j] + uz * pz[j];
    }
    const LwLong rows = g.L * g.L;
    for (int b = 0; b < n; b += 2 * kBlock) {
        const int blocks = std::min(2, (n - b) / kBlock);
        BlockRowSums(g.rows.data() + static_cast<std::size_t>(b) * rows * 2, y, rows, blocks, re + b, im + b);
    }
    PhaseAndFactor(g, k, s);
    // Summed in source order.
    LComplex sum(0, 0);
    for (int j = 0; j < g.count; ++j)
        sum += LComplex(re[j], im[j]);
    return sum;
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
    const double meanFreePath = wave.GetMeanFreePath_m();
    FillGroup(scattered_, sources, 1, sources.size(), usedL, k_, false, u0,
              meanFreePath > 0 ? 2.0 / meanFreePath : 0);
}

LwFarFieldSum::Amplitudes LwFarFieldSum::Evaluate(LDouble theta, LDouble phi) const
{
    const LwLong L = std::max(direct_.L, scattered_.L);
    if (L == 0)
        return {LComplex(0, 0), LComplex(0, 0)};

    thread_local Scratch s;
    CalcSphericalHarmonics(s.normalization, s.Y, L, theta, phi);
    // The real harmonic vector: Re Y_lm at (l, m), Im Y_lm at (l, -m).
    Grow(s.y, static_cast<std::size_t>(L) * L);
    const LComplex* Y = s.Y.Data();
    LDouble* y = s.y.data();
    for (LwLong l = 0; l < L; ++l) {
        y[At(l, 0)] = Y[At(l, 0)].real();
        for (LwLong m = 1; m <= l; ++m) {
            y[At(l, m)] = Y[At(l, m)].real();
            y[At(l, -m)] = Y[At(l, m)].imag();
        }
    }
    const LDouble uy = std::sin(theta) * std::sin(phi), ux = std::sin(theta) * std::cos(phi),
                  uz = std::cos(theta);
    return {SumGroup(direct_, y, ux, uy, uz, k_, s), SumGroup(scattered_, y, ux, uy, uz, k_, s)};
}
