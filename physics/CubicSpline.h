#pragma once
// Interpolating cubic spline through tabulated points (x_i, f_i).
//
// The spline is described by its second derivatives f2_i at the grid points;
// between two points it is the cubic that matches f and f2 at both ends, so
// f, f' and f'' are continuous across the grid. The grid must increase
// strictly and hold at least two points.

#include <vector>

// End derivatives above this value select a natural end (second derivative 0
// at that end) instead of a clamped one.
constexpr double kSplineNaturalEnd = 9.9e29;

// Second derivatives of the spline through (x_i, f_i). yp1 and ypn are the
// first derivatives at x_0 and x_{n-1}, or values above kSplineNaturalEnd for
// natural ends. f2 is resized to n. The tridiagonal system is solved by one
// forward sweep and one back substitution.
// Throws LwError when the grid holds fewer than two points or x and f differ
// in length.
void CalcSplineSecondDerivatives(double yp1, double ypn, const std::vector<double>& x,
                                 const std::vector<double>& f, std::vector<double>& f2);

// Value of the spline at x. The interval [x_lo, x_hi] is found by bisection;
// outside the grid the end interval's cubic is extrapolated.
// Throws LwError when the grid holds fewer than two points or the three
// vectors differ in length.
double SplineInterpolate(double x, const std::vector<double>& grid, const std::vector<double>& f,
                         const std::vector<double>& f2);
