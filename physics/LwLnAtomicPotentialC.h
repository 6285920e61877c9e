#pragma once
// Radial Schroedinger equation of an electron in the potential of one atom,
// on the logarithmic radius x = ln r (r in m, energies in eV).
//
// For each angular momentum l the radial function is written R_l = r^l g_l;
// with primes for d/dx, g_l obeys
//     g_l'' = r^2 (2 m_e e / hbar^2) (V(r) - E) g_l - (2l + 1) g_l',
// which stays regular at the nucleus: the regular solution starts with g_l = 1,
// g_l' = 0 at small r. The state vector holds (g_l, g_l') of l = 0, 1, ... at
// the positions 2l + 1 and 2l + 2 (indices from 1), so one integration
// carries every l at once.

#include "physics/LwAtomicPotentialTable.h"
#include "physics/LwDiffEqFunc.h"

class LwLnAtomicPotentialC : public LwDiffEqFunc
{
public:
    // The tabulated potential; not owned, shared by copies of the owning
    // phase-shift entry. None after construction.
    LwAtomicPotentialTable* table = nullptr;
    // Electron energy (eV) against which V is measured.
    double E = 0.0;

    // dy/dx for every pair (g_l, g_l') of y. y and dydx are vectors indexed
    // from 1; dydx must be at least as long as y. Needs GetInitialValues
    // first, which prepares the spline (LwError otherwise, "Error" without a
    // table).
    void GetDerivatives(LDouble x, const LwLDoubleMatrix& y, LwLDoubleMatrix& dydx) override;

    // Prepares the table's spline, then gives x_start = x_0, value 1,
    // derivative 0 and step x_1 - x_0. Throws LwError "Error" without a
    // table, and the table's error for a grid of fewer than two points.
    void GetInitialValues(LDouble& xStart, LDouble& value, LDouble& derivative, LDouble& step) override;
};
