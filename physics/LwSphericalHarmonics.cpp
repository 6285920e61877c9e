#include "physics/LwSphericalHarmonics.h"

#include <cmath>
#include <limits>

const char* const kLegendreOrderTooHigh = "Legendre functions overflow: L too large";

namespace {
// Position of (l, m) in an (l,m) array; the loops below check their ranges
// once through LwLmArray::Index instead of at every element.
inline LwLong At(LwLong l, LwLong m)
{
    return l * (l + 1) + m;
}

// |P_l^m(x)| <= sqrt((l+m)!/(l-m)!) <= sqrt((2l)!) on [-1, 1]; for l <= 85
// that is below 1e154, so neither the values nor the products of the
// recurrence (factors below 2L) can overflow a double. Larger tables are
// scanned once for an overflow.
constexpr LwLong kLegendreAlwaysFiniteL = 86;
}  // namespace

void CalcAssociatedLegendre(LwLmDoubleArray& out, LwLong L, LDouble theta)
{
    out.SetSize(L);
    out[out.Index(0, 0)] = 1;
    LDouble* P = out.Data();

    const LDouble x = std::cos(theta);
    // sin(theta), not sqrt(1 - x^2): keeps full relative accuracy near the
    // poles and is negative for theta in (pi, 2 pi).
    const LDouble s = std::sin(theta);

    for (LwLong m = 0; m + 1 < L; ++m)
        P[At(m + 1, m + 1)] = static_cast<LDouble>(2 * m + 1) * s * P[At(m, m)];
    for (LwLong m = 0; m + 1 < L; ++m)
        P[At(m + 1, m)] = static_cast<LDouble>(2 * m + 1) * x * P[At(m, m)];
    for (LwLong l = 2; l < L; ++l) {
        const LDouble a = static_cast<LDouble>(2 * l - 1) * x;
        for (LwLong m = 0; m + 2 <= l; ++m)
            P[At(l, m)] = (a * P[At(l - 1, m)] - static_cast<LDouble>(l - 1 + m) * P[At(l - 2, m)]) /
                          static_cast<LDouble>(l - m);
    }
    for (LwLong l = 1; l < L; ++l)
        for (LwLong m = -l; m < 0; ++m)
            P[At(l, m)] = P[At(l, -m)];

    if (L > kLegendreAlwaysFiniteL) {
        const LwLong n = out.Size();
        for (LwLong i = 0; i < n; ++i)
            if (!std::isfinite(P[i])) {
                out.SetSize(0);
                throw LwError(kLegendreOrderTooHigh);
            }
    }
}

void CalcLegendreNormalization(LwLmDoubleArray& out, LwLong L)
{
    out.SetSizeZero(L);
    out[out.Index(0, 0)] = 1;
    LDouble* N = out.Data();

    // Diagonal: N(j+1, -(j+1)) = N(j, -j) / sqrt((2j+2)(2j+1)).
    for (LwLong j = 0; j + 1 < L; ++j)
        N[At(j + 1, -(j + 1))] =
            std::sqrt(1 / (static_cast<LDouble>(2 * j + 2) * static_cast<LDouble>(2 * j + 1))) * N[At(j, -j)];
    // Upward in l at fixed m = -k: N(l+1, -k) = sqrt((l-k+1)/(l+k+1)) N(l, -k).
    for (LwLong l = 0; l + 1 < L; ++l)
        for (LwLong k = 0; k <= l; ++k)
            N[At(l + 1, -k)] =
                std::sqrt(static_cast<LDouble>(l - k + 1) / static_cast<LDouble>(l + k + 1)) * N[At(l, -k)];

    // The smallest factor, sqrt(1/(2l)!) at l = L-1, must still be a normal
    // number: below that it loses its digits and then becomes 0. A table
    // that fails is left empty, so no half-built cache is ever used.
    if (std::fabs(N[At(L - 1, -(L - 1))]) < std::numeric_limits<LDouble>::min()) {
        out.SetSize(0);
        throw LwError(kLegendreOrderTooHigh);
    }

    for (LwLong l = 0; l < L; ++l) {
        const LDouble f = std::sqrt(static_cast<LDouble>(2 * l + 1) * static_cast<LDouble>(0.5));
        for (LwLong k = 0; k <= l; ++k)
            N[At(l, -k)] *= f;
    }
    for (LwLong l = 1; l < L; ++l)
        for (LwLong m = 1; m <= l; ++m)
            N[At(l, m)] = (m % 2 != 0) ? -N[At(l, -m)] : N[At(l, -m)];
}

void CalcNormalizedLegendre(LwLmDoubleArray& cache, LwLmDoubleArray& out, LwLong L, LDouble theta)
{
    if (L > cache.GetL())
        CalcLegendreNormalization(cache, L);
    CalcAssociatedLegendre(out, L, theta);
    const LDouble* N = cache.Data();
    LDouble* P = out.Data();
    const LwLong n = out.Size();
    for (LwLong i = 0; i < n; ++i)
        P[i] *= N[i];
}

void CalcSphericalHarmonics(LwLmDoubleArray& cache, LwLmComplexArray& out, LwLong L, LDouble theta,
                            LDouble phi)
{
    // One Legendre table per thread, reused from call to call: the harmonics
    // are evaluated at every sampling point of the scattering calculation.
    thread_local LwLmDoubleArray legendre;
    CalcNormalizedLegendre(cache, legendre, L, theta);
    const LDouble* Pn = legendre.Data();

    out.SetSize(L);
    LComplex* Y = out.Data();
    const LDouble c = 1 / std::sqrt(static_cast<LDouble>(6.283185307179586));

    for (LwLong l = 0; l < L; ++l)
        Y[At(l, 0)] = LComplex(Pn[At(l, 0)] * c, 0);
    for (LwLong m = 1; m < L; ++m) {
        const LDouble a = static_cast<LDouble>(m) * phi;
        const LDouble C = std::cos(a) * c;
        const LDouble S = std::sin(a) * c;
        for (LwLong l = m; l < L; ++l) {
            Y[At(l, m)] = Pn[At(l, m)] * LComplex(C, S);
            Y[At(l, -m)] = Pn[At(l, -m)] * LComplex(C, -S);
        }
    }
}
