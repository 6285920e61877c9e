#pragma once
// Real spherical harmonics, orthonormal over the unit sphere, for every
// 0 <= l < L and -l <= m <= l at one direction:
//   Y(l, 0)  = sqrt((2l+1)/(4 pi)) P_l(cos theta)
//   Y(l, m)  = sqrt((2l+1)/(2 pi) (l-m)!/(l+m)!) P_l^m(cos theta) cos(m phi)
//   Y(l, -m) = sqrt((2l+1)/(2 pi) (l-m)!/(l+m)!) P_l^m(cos theta) sin(m phi)
// for 1 <= m <= l, with P_l^m the associated Legendre function without the
// (-1)^m phase: cosine type for m > 0, sine type for m < 0, no phase factor.
// theta is the polar angle from the axis and phi the azimuth, in radians.
//
// `cache` holds the Legendre normalisation factors (LwSphericalHarmonics.h):
// the caller owns it, an empty array is a valid cache, and it is rebuilt only
// when a call asks for a larger L, so one cache serves all directions.
// `out` is resized to L and every entry written, entry (l, m) at l*l + l + m.
//
// Errors (LwError): L < 0 "Error" (out untouched); L = 0 "Illegal l value";
// "Cannot allocate memory".

#include "core/LwTypes.h"
#include "physics/LwLmArray.h"

// The factors 1/sqrt(2 pi) (m = 0) and 1/sqrt(pi) (m != 0) of the harmonics,
// to the precision of the extended type. Code that builds the same values by
// its own recurrences uses these so that its results are bit-identical.
constexpr LDouble kRealHarmonicsInvSqrt2Pi = static_cast<LDouble>(0.398942280401432677940L);
constexpr LDouble kRealHarmonicsInvSqrtPi = static_cast<LDouble>(0.564189583547756286948L);

void CalcRealSphericalHarmonics(LwLmDoubleArray& cache, LwLmDoubleArray& out, int L, LDouble theta,
                                LDouble phi);
