#pragma once
// Small numeric helpers in LDouble and LComplex: signs and powers of i, the
// complex exponential, and the change between Cartesian and spherical
// coordinates (theta polar angle from +z in [0, pi], phi azimuth from +x in
// (-pi, pi], radians).
//
// The first stored element of a matrix is GetBuffer (LwMatrixTemplates.h),
// null for a matrix without elements.

#include "core/LwTypes.h"

// (-1)^n: 1 for even n, -1 for odd n, negative n included.
LDouble PowerOfMinusOne(int n);
// i^n for every integer n (i^-1 = -i).
LComplex PowerOfI(int n);
// exp(z) = exp(Re z) (cos Im z, sin Im z).
LComplex ComplexExp(const LComplex& z);
// r = |(x, y, z)|; at the origin theta = phi = 0; on the z axis phi = 0.
void CartesianToSpherical(const LDouble& x, const LDouble& y, const LDouble& z, LDouble& r, LDouble& theta,
                          LDouble& phi);
void SphericalToCartesian(const LDouble& r, const LDouble& theta, const LDouble& phi, LDouble& x, LDouble& y,
                          LDouble& z);
