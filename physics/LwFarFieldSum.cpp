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
// blocks of 8 doubles (two AVX registers, one AVX-512 register).
constexpr int kBlock = 8;

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
    group.re.assign(static_cast<std::size_t>(L) * L * n, 0);
    group.im.assign(group.re.size(), 0);
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
                group.re[static_cast<std::size_t>(q) * n + j] = v.real();
                group.im[static_cast<std::size_t>(q) * n + j] = v.imag();
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

// e^{i phase} for every source, times exp(a + b d) where the group has it.
void PhaseAndFactor(const LwFarFieldSum::Group& g, LDouble k, Scratch& s)
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
    std::fill(re, re + n, LDouble(0));
    std::fill(im, im + n, LDouble(0));
    const LwLong rows = g.L * g.L;
    for (LwLong q = 0; q < rows; ++q) {
        const LDouble yq = y[q];
        const LDouble* br = g.re.data() + static_cast<std::size_t>(q) * n;
        const LDouble* bi = g.im.data() + static_cast<std::size_t>(q) * n;
#pragma omp simd
        for (int j = 0; j < n; ++j) {
            re[j] += br[j] * yq;
            im[j] += bi[j] * yq;
        }
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
