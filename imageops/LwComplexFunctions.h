#pragma once
// Small numeric helpers in LDouble and LComplex for the image operations: the
// complex exponential here, and (from core/LwSphericalCoordinates.h, under the
// same names) signs and powers of i and the change between Cartesian and
// spherical coordinates (theta polar angle from +z in [0, pi], phi azimuth
// from +x in (-pi, pi], radians).
//
// The first stored element of a matrix is GetBuffer (LwMatrixTemplates.h),
// null for a matrix without elements.

#include "core/LwSphericalCoordinates.h"
#include "core/LwTypes.h"

// exp(z) = exp(Re z) (cos Im z, sin Im z).
LComplex ComplexExp(const LComplex& z);
