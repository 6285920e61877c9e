#include "imageops/LwComplexFunctions.h"

#include <cmath>

LDouble PowerOfMinusOne(int n)
{
    return (n % 2 == 0) ? LDouble(1) : LDouble(-1);
}

LComplex PowerOfI(int n)
{
    // The remainder taken in 0..3, so that negative powers follow i^-1 = -i.
    switch (((n % 4) + 4) % 4) {
    case 0: return LComplex(1, 0);
    case 1: return LComplex(0, 1);
    case 2: return LComplex(-1, 0);
    default: return LComplex(0, -1);
    }
}

LComplex ComplexExp(const LComplex& z)
{
    const LDouble e = std::exp(z.real());
    return LComplex(e * std::cos(z.imag()), e * std::sin(z.imag()));
}

void CartesianToSpherical(const LDouble& x, const LDouble& y, const LDouble& z, LDouble& r, LDouble& theta,
                          LDouble& phi)
{
    r = std::sqrt(x * x + y * y + z * z);
    if (r == 0) {
        theta = 0;
        phi = 0;
        return;
    }
    theta = std::acos(z / r);
    phi = (x == 0 && y == 0) ? LDouble(0) : std::atan2(y, x);
}

void SphericalToCartesian(const LDouble& r, const LDouble& theta, const LDouble& phi, LDouble& x, LDouble& y,
                          LDouble& z)
{
    const LDouble t = r * std::sin(theta);
    x = t * std::cos(phi);
    y = t * std::sin(phi);
    z = r * std::cos(theta);
}
