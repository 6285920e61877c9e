// The radial Schroedinger equation on x = ln r: its right-hand side against
// the equation written out here, and phase shifts from integrating it (with a
// classical RK4 written here) against the free wave and the analytic square
// well.
#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "physics/LwAtomicPotentialTable.h"
#include "physics/LwDiffEqFunc.h"
#include "physics/LwLnAtomicPotentialC.h"
#include "PotentialTestTables.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/bessel.hpp>
#include <boost/math/special_functions/bessel_prime.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Reference::ElementaryCharge_C;
using Reference::Hbar_Js;
using Reference::TwiceElectronMass_kg;

// 2 m_e (V - E) / hbar^2 in 1/m^2 for energies in eV.
double TwoMassOverHbarSquared(double energyEv)
{
    return TwiceElectronMass_kg * ElementaryCharge_C * energyEv / (Hbar_Js * Hbar_Js);
}

// A state vector with positions 1 .. n.
LwLDoubleMatrix StateVector(int n)
{
    LwLDoubleMatrix v;
    v.Create(n);
    v.RowBegin = 1;
    v.SetZero();
    return v;
}

// Classical fourth-order Runge-Kutta over [xFrom, xTo] in `steps` equal steps.
void IntegrateRk4(LwDiffEqFunc& f, LwLDoubleMatrix& y, LDouble xFrom, LDouble xTo, int steps)
{
    const int n = y.VectorSize();
    LwLDoubleMatrix k1 = StateVector(n), k2 = StateVector(n), k3 = StateVector(n), k4 = StateVector(n);
    LwLDoubleMatrix t = StateVector(n);
    const LDouble h = (xTo - xFrom) / steps;
    for (int s = 0; s < steps; ++s) {
        const LDouble x = xFrom + s * h;
        f.GetDerivatives(x, y, k1);
        for (int i = 1; i <= n; ++i)
            t[i] = y[i] + h / 2 * k1[i];
        f.GetDerivatives(x + h / 2, t, k2);
        for (int i = 1; i <= n; ++i)
            t[i] = y[i] + h / 2 * k2[i];
        f.GetDerivatives(x + h / 2, t, k3);
        for (int i = 1; i <= n; ++i)
            t[i] = y[i] + h * k3[i];
        f.GetDerivatives(x + h, t, k4);
        for (int i = 1; i <= n; ++i)
            y[i] += h / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
    }
}

// tan of the phase shift of a regular solution R_l whose logarithmic
// derivative at r is (dR/dr)/R = num/den, matched to
// R = j_l(kr) cos(delta) - n_l(kr) sin(delta) of the free region.
double TanPhaseShift(int l, double k, double r, double num, double den)
{
    using namespace boost::math;
    const double kr = k * r;
    return (k * sph_bessel_prime(l, kr) * den - num * sph_bessel(l, kr)) /
           (k * sph_neumann_prime(l, kr) * den - num * sph_neumann(l, kr));
}

// Phase shifts from the integrated state at x = ln r: R_l = r^l g_l gives
// (dR/dr)/R = (l g + g')/(r g) with g' = dg/dx.
std::vector<double> PhaseShiftsFromState(const LwLDoubleMatrix& y, int lCount, double k, double r)
{
    std::vector<double> delta;
    for (int l = 0; l < lCount; ++l) {
        const double g = static_cast<double>(y[2 * l + 1]);
        const double gp = static_cast<double>(y[2 * l + 2]);
        delta.push_back(std::atan(TanPhaseShift(l, k, r, l * g + gp, r * g)));
    }
    return delta;
}

}  // namespace

TEST(LwLnAtomicPotentialC, InitialValuesPrepareTheSpline)
{
    LwLnAtomicPotentialC eq;
    LDouble x0 = 7, value = 7, derivative = 7, step = 7;
    try {
        eq.GetInitialValues(x0, value, derivative, step);
        ADD_FAILURE() << "no error without a table";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "Error");
    }
    EXPECT_EQ(x0, 7);

    LwAtomicPotentialTable table = CoulombTable(29.0, 1e-14, 2e-10, 30);
    eq.table = &table;
    eq.GetInitialValues(x0, value, derivative, step);
    EXPECT_EQ(x0, static_cast<LDouble>(table.x[0]));
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(derivative, 0.0);
    EXPECT_EQ(step, static_cast<LDouble>(table.x[1] - table.x[0]));
    EXPECT_EQ(table.f.size(), table.b.size());
    EXPECT_EQ(table.f2.size(), table.b.size());

    LwAtomicPotentialTable onePoint = CoulombTable(29.0, 1e-14, 2e-10, 1);
    eq.table = &onePoint;
    EXPECT_THROW(eq.GetInitialValues(x0, value, derivative, step), LwError);
}

TEST(LwLnAtomicPotentialC, DerivativesNeedAPreparedTable)
{
    LwLnAtomicPotentialC eq;
    LwLDoubleMatrix y = StateVector(4);
    LwLDoubleMatrix dydx = StateVector(4);
    EXPECT_THROW(eq.GetDerivatives(-25.0, y, dydx), LwError);
    LwAtomicPotentialTable table = CoulombTable(29.0, 1e-14, 2e-10, 30);
    eq.table = &table;
    EXPECT_THROW(eq.GetDerivatives(-25.0, y, dydx), LwError);
}

// g_l'' = r^2 (2 m_e e / hbar^2)(V - E) g_l - (2l + 1) g_l' for every pair,
// below, inside and beyond the tabulated atom.
TEST(LwLnAtomicPotentialC, DerivativesAreTheRadialEquation)
{
    const double z = 29.0;
    LwAtomicPotentialTable table = CoulombTable(z, 1e-14, 2e-10, 60);
    LwLnAtomicPotentialC eq;
    eq.table = &table;
    eq.E = 120.0;
    LDouble x0, value, derivative, step;
    eq.GetInitialValues(x0, value, derivative, step);

    const int pairs = 4;
    LwLDoubleMatrix y = StateVector(2 * pairs);
    for (int i = 1; i <= 2 * pairs; ++i)
        y[i] = std::sin(1.7 * i) * (1.0 + i);
    const struct
    {
        const char* where;
        double r;
        double v;
    } cases[] = {
        {"below the grid", 5e-15, table.b[0]},
        {"near the nucleus", 3.3e-14, CoulombPotential(z, 3.3e-14)},
        {"inside", 7.7e-12, CoulombPotential(z, 7.7e-12)},
        {"outer shell", 1.9e-10, CoulombPotential(z, 1.9e-10)},
        {"beyond the atom", 4e-10, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        LwLDoubleMatrix dydx = StateVector(2 * pairs);
        eq.GetDerivatives(std::log(c.r), y, dydx);
        const double r = std::exp(std::log(c.r));
        for (int l = 0; l < pairs; ++l) {
            const LDouble g = y[2 * l + 1];
            const LDouble gp = y[2 * l + 2];
            const double expected = r * r * TwoMassOverHbarSquared(c.v - eq.E) * static_cast<double>(g) -
                                    (2 * l + 1) * static_cast<double>(gp);
            EXPECT_EQ(dydx[2 * l + 1], gp) << "l = " << l;
            EXPECT_NEAR(static_cast<double>(dydx[2 * l + 2]), expected,
                        1e-11 * (std::fabs(expected) + std::fabs(gp)))
                << "l = " << l;
        }
    }
}

// V = E leaves only the first-derivative term; an odd trailing entry of the
// state belongs to no pair and is left alone.
TEST(LwLnAtomicPotentialC, PotentialEqualToTheEnergyLeavesTheDampingTerm)
{
    LwAtomicPotentialTable table = SquareWellTable(35.0, 1e-13, 1e-10, 20);
    LwLnAtomicPotentialC eq;
    eq.table = &table;
    eq.E = 35.0;
    LDouble x0, value, derivative, step;
    eq.GetInitialValues(x0, value, derivative, step);

    LwLDoubleMatrix y = StateVector(7);
    for (int i = 1; i <= 7; ++i)
        y[i] = 0.5 * i - 1.25;
    LwLDoubleMatrix dydx = StateVector(7);
    dydx[7] = 99.0;
    eq.GetDerivatives(x0 - 2.0, y, dydx);  // below the grid V is b_0 = E exactly
    for (int l = 0; l < 3; ++l) {
        EXPECT_EQ(dydx[2 * l + 1], y[2 * l + 2]);
        EXPECT_EQ(dydx[2 * l + 2], -(2 * l + 1) * y[2 * l + 2]);
    }
    EXPECT_EQ(dydx[7], 99.0);
}

// Without a potential the regular solution is the free wave j_l(kr): every
// phase shift is 0. In a square well of radius a the interior solution is
// j_l(K r) with K^2 = 2 m_e (E - V0)/hbar^2, and matching its logarithmic
// derivative at a gives tan(delta_l).
TEST(LwLnAtomicPotentialC, PhaseShiftsOfFreeWaveAndSquareWell)
{
    const double rFirst = 1e-14;
    const double radius = 1e-10;
    const double rMatch = 3e-10;
    const int lCount = 5;
    const struct
    {
        const char* name;
        double depth;  // eV, V0 inside the well
        double energy;  // eV
    } cases[] = {
        {"no potential", 0.0, 50.0},
        {"attractive well", -20.0, 50.0},
        {"deep well, slow electron", -30.0, 5.0},
        {"repulsive step below the energy", 15.0, 50.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LwAtomicPotentialTable table = SquareWellTable(c.depth, rFirst, radius, 300);
        LwLnAtomicPotentialC eq;
        eq.table = &table;
        eq.E = c.energy;
        LDouble x0, value, derivative, step;
        eq.GetInitialValues(x0, value, derivative, step);
        LwLDoubleMatrix y = StateVector(2 * lCount);
        for (int l = 0; l < lCount; ++l) {
            y[2 * l + 1] = value;
            y[2 * l + 2] = derivative;
        }
        // Up to the edge of the well (stopping just short of it, where the
        // table's potential ends), then through the free region; steps of
        // an eighth of the grid spacing.
        const LDouble xEdge = table.x.back();
        const int insideSteps = 8 * static_cast<int>(table.x.size() - 1);
        IntegrateRk4(eq, y, x0, xEdge - 1e-12, insideSteps);
        const LDouble xMatch = std::log(rMatch);
        IntegrateRk4(eq, y, xEdge, xMatch, static_cast<int>(std::ceil((xMatch - xEdge) / (step / 8))));

        const double k = std::sqrt(TwoMassOverHbarSquared(c.energy));
        const double kIn = std::sqrt(TwoMassOverHbarSquared(c.energy - c.depth));
        const std::vector<double> delta =
            PhaseShiftsFromState(y, lCount, k, static_cast<double>(std::exp(xMatch)));
        for (int l = 0; l < lCount; ++l) {
            using namespace boost::math;
            const double expected = std::atan(TanPhaseShift(
                l, k, radius, kIn * sph_bessel_prime(l, kIn * radius), sph_bessel(l, kIn * radius)));
            if (c.depth == 0.0) {
                EXPECT_EQ(expected, 0.0);
            }
            // Phase shifts are defined modulo pi. The RK4 steps (h·kr up to
            // 0.06 at the matching radius) leave errors of about 5e-8.
            EXPECT_NEAR(std::sin(delta[l] - expected), 0.0, 1e-6)
                << "l = " << l << ", delta = " << delta[l] << ", expected " << expected;
        }
    }
}
