#pragma once
// Cartesian and spherical coordinates, and the integer powers of i and -1
// that come with spherical waves.
//
// Angles are in radians: theta is the polar angle from +z in [0, pi], phi the
// azimuth from +x in (-pi, pi]. On the z axis phi = 0; at the origin
// theta = phi = 0.
//
// The conversions are templates on the floating type (double or LDouble);
// the type is taken from the output arguments, so literals such as 1 may be
// passed as inputs. All functions are pure and safe to call concurrently.

#include "core/LwTypes.h"

#include <algorithm>
#include <cmath>

namespace LwDetail {
// Keeps a parameter out of template argument deduction.
template <class T>
struct NonDeduced
{
    using type = T;
};
}  // namespace LwDetail

// Polar angle and azimuth of a unit vector. z is clamped to [-1, 1]: a unit
// vector built in floating point may overshoot by an ulp, and acos would then
// give NaN.
template <class Real>
void UnitVectorToPolarAngles(typename LwDetail::NonDeduced<Real>::type x,
                             typename LwDetail::NonDeduced<Real>::type y,
                             typename LwDetail::NonDeduced<Real>::type z, Real& theta, Real& phi)
{
    theta = std::acos(std::clamp(z, Real(-1), Real(1)));
    phi = (x == 0 && y == 0) ? Real(0) : std::atan2(y, x);
}

// r = |(x, y, z)| and the direction's angles; z / r is clamped as above.
template <class Real>
void CartesianToSpherical(typename LwDetail::NonDeduced<Real>::type x,
                          typename LwDetail::NonDeduced<Real>::type y,
                          typename LwDetail::NonDeduced<Real>::type z, Real& r, Real& theta, Real& phi)
{
    r = std::sqrt(x * x + y * y + z * z);
    if (r == 0) {
        theta = 0;
        phi = 0;
        return;
    }
    UnitVectorToPolarAngles<Real>(x, y, z / r, theta, phi);
}

// x = r sin(theta) cos(phi), y = r sin(theta) sin(phi), z = r cos(theta).
template <class Real>
void SphericalToCartesian(typename LwDetail::NonDeduced<Real>::type r,
                          typename LwDetail::NonDeduced<Real>::type theta,
                          typename LwDetail::NonDeduced<Real>::type phi, Real& x, Real& y, Real& z)
{
    const Real t = r * std::sin(theta);
    x = t * std::cos(phi);
    y = t * std::sin(phi);
    z = r * std::cos(theta);
}

// (-1)^n: 1 for even n, -1 for odd n, negative n included.
LDouble PowerOfMinusOne(int n);
// i^n for every integer n (i^-1 = -i), exact.
LComplex PowerOfI(int n);
// (-i)^n: 1, -i (with a negative-zero real part, as -(0 + 1i) has), -1, i
// for n = 0, 1, 2, 3 modulo 4. A negative n gives the true power as well
// ((-i)^-1 = i).
LComplex PowerOfMinusI(int n);
