#pragma once
// Associated Legendre functions, their normalisation and the complex
// spherical harmonics, for every l < L at one direction.
//
// Conventions: angles in radians; P(l, m) = P_l^|m|(cos theta) without the
// Condon-Shortley phase and with P(l, -m) = P(l, m);
// N(l, m) = sqrt((2l+1)/2 * (l-|m|)!/(l+|m|)!), times (-1)^m for m > 0;
// Y_lm(theta, phi) = N(l, m) P(l, m) e^{i m phi} / sqrt(2 pi), the orthonormal
// harmonics with the Condon-Shortley phase, Y_{l,-m} = (-1)^m conj(Y_lm).
//
// The normalisation cache is an LwLmDoubleArray owned by the caller: it is
// rebuilt for L when a call asks for more l values than it holds and is only
// read otherwise, so threads may share a cache once it covers their largest L.
//
// No factorial is formed; the recurrences reach L of 150 in double and well
// beyond 1000 in the extended type. Past that the diagonal P(m, m) =
// (2m-1)!! sin^m(theta) overflows or N(l, l) underflows, and the functions
// throw an LwError (never return inf or NaN).
//
// L = 0 fails with "Illegal l value"; callers pass L >= 1.

#include "core/LwTypes.h"
#include "physics/LwLmArray.h"

void CalcAssociatedLegendre(LwLmDoubleArray& out, LwLong L, LDouble theta);
void CalcLegendreNormalization(LwLmDoubleArray& out, LwLong L);
void CalcNormalizedLegendre(LwLmDoubleArray& cache, LwLmDoubleArray& out, LwLong L, LDouble theta);
void CalcSphericalHarmonics(LwLmDoubleArray& cache, LwLmComplexArray& out, LwLong L, LDouble theta,
                            LDouble phi);

// The message of the overflow guard above.
extern const char* const kLegendreOrderTooHigh;
