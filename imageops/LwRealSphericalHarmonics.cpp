#include "imageops/LwRealSphericalHarmonics.h"

#include "physics/LwSphericalHarmonics.h"

#include <cmath>

void CalcRealSphericalHarmonics(LwLmDoubleArray& cache, LwLmDoubleArray& out, int L, LDouble theta,
                                LDouble phi)
{
    const LDouble kInvSqrt2Pi = kRealHarmonicsInvSqrt2Pi;
    const LDouble kInvSqrtPi = kRealHarmonicsInvSqrtPi;

    // Pn(l, m) = N(l, m) P(l, m). The entries with m < 0 carry no (-1)^m and
    // serve both the cosine and the sine type. One table per thread, reused
    // from direction to direction.
    thread_local LwLmDoubleArray legendre;
    CalcNormalizedLegendre(cache, legendre, L, theta);
    const LDouble* Pn = legendre.Data();

    out.SetSizeZero(L);
    LDouble* Y = out.Data();
    for (int l = 0; l < L; ++l)
        Y[l * l + l] = Pn[l * l + l] * kInvSqrt2Pi;
    for (int m = 1; m < L; ++m) {
        const LDouble a = static_cast<LDouble>(m) * phi;
        const LDouble c = std::cos(a) * kInvSqrtPi;
        const LDouble s = std::sin(a) * kInvSqrtPi;
        for (int l = m; l < L; ++l) {
            const LDouble p = Pn[l * l + l - m];
            Y[l * l + l + m] = p * c;
            Y[l * l + l - m] = p * s;
        }
    }
}
