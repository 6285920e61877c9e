#pragma once
// Scattering phase shifts of a muffin-tin atom, as the example generator
// computes them for its phase-shift document.
//
// Potential. The potential energy of an electron near a neutral atom of
// atomic number Z is taken from the Thomas-Fermi model with Moliere's fit of
// the screening function,
//     V_atom(r) = -Z e^2 / (4 pi eps0 r) * sum_i a_i exp(-beta_i r / b),
//     (a_i) = (0.35, 0.55, 0.10), (beta_i) = (0.3, 1.2, 6.0),
//     b = 0.88534 a_0 Z^(-1/3),
// and the crystal potential inside the muffin-tin sphere of one atom is
// built as Mattheiss does: V_atom plus the spherical average of V_atom of
// every neighbour, shifted so that it is 0 at the sphere's radius (the
// muffin-tin zero is taken as the potential on the sphere). Exchange is not
// included.
//
// Radial equation. LwLnAtomicPotentialC gives the right-hand side of
//     g_l'' = r^2 (2 m_e e / hbar^2) (V - E) g_l - (2l + 1) g_l'
// on x = ln r (primes d/dx), with R_l = r^l g_l the radial function. The
// integrator below starts with g = 1, g' = 0 at the first grid point and
// takes the classical fourth-order Runge-Kutta method with a fixed number of
// steps per grid interval. Outside the sphere, R_l = cos(delta_l) j_l(kr) -
// sin(delta_l) y_l(kr); matching the logarithmic derivative at the last grid
// point gives
//     tan delta_l = (g_l' j_l(kR) + g_l kR j_{l+1}(kR))
//                 / (g_l' y_l(kR) + g_l kR y_{l+1}(kR)).
//
// Units: r in metres, potentials and energies in eV, k in 1/m, phase shifts
// in radians in (-pi/2, pi/2].

#include "physics/LwAtomicPotentialTable.h"
#include "physics/LwDiffEqFunc.h"

#include <vector>

namespace example {
// The screened potential energy of one neutral atom (eV) at r > 0 (m).
double MoliereAtomicPotential(int z, double r);

// The spherical average over the sphere of radius r >= 0 about the origin of
// the potential energy of an atom at distance d > 0 from the origin (eV).
double NeighbourSphericalAverage(int z, double d, double r);

// The muffin-tin table of an atom whose neighbours sit at the given
// distances (one entry per neighbour, m): `points` grid points, uniform in
// ln r, from rMin to the sphere radius rMuffinTin (the last point), natural
// spline ends.
LwAtomicPotentialTable MakeMuffinTinTable(int z, const std::vector<double>& neighbourDistances, double rMin,
                                          double rMuffinTin, int points);

// Wave number (1/m) of an electron of kinetic energy e (eV), with the
// constants of the radial equation: k^2 = 2 m_e e E / hbar^2.
double WaveNumber(double energy);

// g_l and g_l' = dg_l/dx for l = 0 ... L-1 at every point of `grid`.
struct RadialSolutions
{
    std::vector<std::vector<double>> g;  // [l][grid point]
    std::vector<std::vector<double>> dg;  // [l][grid point]
};

// Integrates the equation from its initial values over the increasing
// `grid`, whose first point must be the equation's starting point, with
// `stepsPerInterval` Runge-Kutta steps across each grid interval.
RadialSolutions IntegrateRadialEquation(LwDiffEqFunc& equation, const std::vector<double>& grid, int L,
                                        int stepsPerInterval);

// delta_l for l = 0 ... L-1 from g_l and g_l' at the matching radius (m),
// for the wave number k (1/m).
std::vector<double> PhaseShiftsFromMatching(const std::vector<double>& g, const std::vector<double>& dg,
                                            double k, double radius);
}  // namespace example
