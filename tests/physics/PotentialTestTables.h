#pragma once
// Potential tables with known potentials, for the tests of the atomic
// potential and the radial equation.
#include "physics/LwAtomicPotentialTable.h"

#include <cmath>

// n grid points evenly spaced in x = ln r from rFirst to rLast, with the
// potential v(r) (eV) at each; natural spline ends.
template <class Potential>
LwAtomicPotentialTable LogGridTable(double rFirst, double rLast, int n, Potential v)
{
    LwAtomicPotentialTable t;
    for (int i = 0; i < n; ++i) {
        const double x = std::log(rFirst) + (std::log(rLast) - std::log(rFirst)) * i / (n - 1);
        t.x.push_back(x);
        t.a.push_back(std::exp(x));
        t.b.push_back(v(std::exp(x)));
    }
    return t;
}

// Bare Coulomb potential of charge Z: r·V = -Z·e/(4 pi eps0) = -Z·1.44e-9
// eV·m is constant, so the spline of r·V (natural ends) is exact and V must
// come out as -Z·1.44e-9 / r.
inline double CoulombPotential(double z, double r)
{
    return -z * 1.44e-9 / r;
}

inline LwAtomicPotentialTable CoulombTable(double z, double rFirst, double rLast, int n)
{
    return LogGridTable(rFirst, rLast, n, [z](double r) { return CoulombPotential(z, r); });
}

// Square well: V = depth (eV) from rFirst up to the radius, 0 beyond (the
// table ends there). r·V = depth·e^x, whose slope in x is r·V itself, gives
// the clamped end derivatives.
inline LwAtomicPotentialTable SquareWellTable(double depth, double rFirst, double radius, int n)
{
    LwAtomicPotentialTable t = LogGridTable(rFirst, radius, n, [depth](double) { return depth; });
    t.x.back() = std::log(radius);
    t.yp1 = depth * rFirst;
    t.ypn = depth * radius;
    return t;
}
