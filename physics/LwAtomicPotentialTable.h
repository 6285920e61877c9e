#pragma once
// The tabulated potential of one atom on a logarithmic radial grid.
//
// Grid point i has the radius a_i (m), x_i = ln a_i and the potential b_i
// (eV). The potential is interpolated as r·V(r) on x = ln r: r·V stays finite
// at the nucleus (it tends to -Z·e/(4·pi·eps0)) and is smooth on a
// logarithmic grid, where V itself varies over orders of magnitude.

#include <vector>

class LwAtomicPotentialTable
{
public:
    // End derivatives d(r·V)/dx of the spline at x_0 and x_{n-1}; values
    // above 9.9e29 select natural ends.
    double yp1 = 1e30;
    double ypn = 1e30;
    std::vector<double> a;  // radius r_i (m) per grid point
    std::vector<double> x;  // x_i = ln r_i, strictly increasing
    std::vector<double> b;  // potential V_i (eV)
    std::vector<double> f;  // spline values f_i = r_i·V_i (eV·m), from PrepareSpline
    std::vector<double> f2;  // spline second derivatives, from PrepareSpline

    // Fills f and f2 from a, x and b. Throws LwError when the grid has fewer
    // than two points or a, x and b differ in length.
    void PrepareSpline();

    // Potential (eV) at x = ln r: the first tabulated V below the grid, 0 at
    // and beyond the last grid point (the atom ends there), r·V from the
    // spline divided by r in between. Needs PrepareSpline first (LwError
    // otherwise).
    double GetPotential(double x) const;
};
