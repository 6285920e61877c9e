// The phase-shift calculation of the example generator: the muffin-tin
// potential's neighbour averages against a quadrature over directions, and
// the radial integration with its matching against the analytic square
// well, the free electron and the Born approximation, with Boost's spherical
// Bessel functions as the independent reference.
#include "physics/LwLnAtomicPotentialC.h"
#include "MuffinTinPhaseShift.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/bessel.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {
constexpr int kCopperZ = 29;
// 2 m_e e / hbar^2 (1 / (eV m^2)), computed from the SI constants.
const double kTwoMassChargeOverHbar2 = Reference::TwiceElectronMass_kg * Reference::ElementaryCharge_C /
                                       (Reference::Hbar_Js * Reference::Hbar_Js);

// delta_l of a table at energy e (eV), matched at the table's last point.
std::vector<double> PhaseShifts(LwAtomicPotentialTable& table, double e, int L, int steps)
{
    LwLnAtomicPotentialC equation;
    equation.table = &table;
    equation.E = e;
    const example::RadialSolutions s = example::IntegrateRadialEquation(equation, table.x, L, steps);
    std::vector<double> g(L), dg(L);
    for (int l = 0; l < L; ++l) {
        g[l] = s.g[l].back();
        dg[l] = s.dg[l].back();
    }
    return example::PhaseShiftsFromMatching(g, dg, example::WaveNumber(e), table.a.back());
}

// A table of constant potential v (eV) from rMin to radius.
LwAtomicPotentialTable ConstantTable(double v, double rMin, double radius, int points)
{
    LwAtomicPotentialTable table;
    for (int i = 0; i < points; ++i) {
        const double x = std::log(rMin) + (std::log(radius) - std::log(rMin)) * i / (points - 1);
        table.x.push_back(x);
        table.a.push_back(i == points - 1 ? radius : std::exp(x));
        table.b.push_back(v);
    }
    table.x.back() = std::log(radius);
    return table;
}

// The difference of two phase shifts modulo pi (they are defined modulo pi).
double PhaseDifference(double a, double b)
{
    double d = std::fmod(a - b, M_PI);
    if (d > M_PI / 2)
        d -= M_PI;
    if (d < -M_PI / 2)
        d += M_PI;
    return d;
}

double SphBessel(int l, double x)
{
    return boost::math::sph_bessel(unsigned(l), x);
}
double SphNeumann(int l, double x)
{
    return boost::math::sph_neumann(unsigned(l), x);
}
// d/dx of z_l(x) = (l / x) z_l - z_{l+1}.
double SphBesselPrime(int l, double x)
{
    return l / x * SphBessel(l, x) - SphBessel(l + 1, x);
}
double SphNeumannPrime(int l, double x)
{
    return l / x * SphNeumann(l, x) - SphNeumann(l + 1, x);
}
}  // namespace

// The closed form of the spherical average against Simpson's rule over the
// cosine of the angle, on spheres up to the muffin-tin radius (half the
// neighbour distance), where the integrand is smooth.
TEST(MuffinTinPhaseShift, NeighbourAverageMatchesQuadratureOverDirections)
{
    const double d = 2.556 * Reference::Angstrom_m;
    for (double r : {1e-4, 0.1, 0.5, 0.9, 1.278}) {
        SCOPED_TRACE(r);
        const double rm = r * Reference::Angstrom_m;
        const int n = 20000;  // even number of Simpson intervals in mu
        double sum = 0;
        for (int i = 0; i <= n; ++i) {
            const double mu = -1 + 2.0 * i / n;
            const double w = (i == 0 || i == n) ? 1 : (i % 2 ? 4 : 2);
            sum +=
                w * example::MoliereAtomicPotential(kCopperZ, std::sqrt(rm * rm + d * d - 2 * rm * d * mu));
        }
        const double quadrature = 0.5 * sum * (2.0 / n) / 3;
        const double closed = example::NeighbourSphericalAverage(kCopperZ, d, rm);
        EXPECT_NEAR(closed, quadrature, 1e-9 * std::fabs(quadrature));
    }
    EXPECT_DOUBLE_EQ(example::NeighbourSphericalAverage(kCopperZ, d, 0),
                     example::MoliereAtomicPotential(kCopperZ, d));
}

// The muffin-tin potential is 0 on the sphere and attractive inside it, and
// r V tends to -Z e^2 / (4 pi eps0) at the nucleus.
TEST(MuffinTinPhaseShift, MuffinTinTableIsZeroOnTheSphere)
{
    const std::vector<double> neighbours(12, 2.556 * Reference::Angstrom_m);
    const LwAtomicPotentialTable table =
        example::MakeMuffinTinTable(kCopperZ, neighbours, 1e-15, 1.278 * Reference::Angstrom_m, 101);
    ASSERT_EQ(table.x.size(), 101u);
    EXPECT_EQ(table.b.back(), 0.0);
    EXPECT_EQ(table.a.back(), 1.278 * Reference::Angstrom_m);
    EXPECT_DOUBLE_EQ(table.x.back(), std::log(1.278 * Reference::Angstrom_m));
    for (std::size_t i = 0; i + 1 < table.b.size(); ++i)
        EXPECT_LT(table.b[i], 0) << "point " << i;
    EXPECT_NEAR(table.a[0] * table.b[0], -kCopperZ * 1.4399645e-9, 1e-4 * kCopperZ * 1.4399645e-9);
}

TEST(MuffinTinPhaseShift, WaveNumberOfTheFreeElectron)
{
    for (double e : {10.0, 500.0, 2000.0})
        EXPECT_NEAR(example::WaveNumber(e), std::sqrt(kTwoMassChargeOverHbar2 * e),
                    1e-6 * std::sqrt(kTwoMassChargeOverHbar2 * e));
}

// Without a potential the solution is the free wave: every delta_l is 0.
TEST(MuffinTinPhaseShift, FreeElectronHasNoPhaseShift)
{
    LwAtomicPotentialTable table = ConstantTable(0, 1e-15, 1.3 * Reference::Angstrom_m, 801);
    const std::vector<double> delta = PhaseShifts(table, 500, 12, 8);
    for (int l = 0; l < 12; ++l)
        EXPECT_NEAR(delta[l], 0, 1e-7) << "l = " << l;
}

// An attractive square well of depth V0 and radius R: inside, R_l =
// j_l(kappa r) with kappa^2 = k^2 + 2 m e V0 / hbar^2, and
//   tan delta_l = (k j_l'(kR) - gamma j_l(kR)) / (k y_l'(kR) - gamma y_l(kR)),
//   gamma = kappa j_l'(kappa R) / j_l(kappa R).
// The equation sees V = 0 at the last grid point itself, so the last
// Runge-Kutta stage of the last step is off by the well's depth: an error of
// first order in the step. Four times as many steps cut it four times, and
// the Richardson combination (4 delta(4n) - delta(n)) / 3 removes it, which
// leaves the error of the integration proper.
TEST(MuffinTinPhaseShift, SquareWellMatchesTheAnalyticPhaseShifts)
{
    const double radius = 1.2 * Reference::Angstrom_m;
    for (double v0 : {20.0, 150.0}) {
        for (double e : {50.0, 500.0}) {
            SCOPED_TRACE(::testing::Message() << "V0 = " << v0 << " eV, E = " << e << " eV");
            LwAtomicPotentialTable table = ConstantTable(-v0, 1e-15, radius, 4001);
            const std::vector<double> coarse = PhaseShifts(table, e, 10, 8);
            const std::vector<double> fine = PhaseShifts(table, e, 10, 32);
            const double k = std::sqrt(kTwoMassChargeOverHbar2 * e);
            const double kappa = std::sqrt(kTwoMassChargeOverHbar2 * (e + v0));
            for (int l = 0; l < 10; ++l) {
                SCOPED_TRACE(l);
                const double gamma = kappa * SphBesselPrime(l, kappa * radius) / SphBessel(l, kappa * radius);
                const double expected =
                    std::atan((k * SphBesselPrime(l, k * radius) - gamma * SphBessel(l, k * radius)) /
                              (k * SphNeumannPrime(l, k * radius) - gamma * SphNeumann(l, k * radius)));
                EXPECT_NEAR(PhaseDifference(fine[l], expected), 0, 4e-4);
                const double extrapolated = fine[l] + PhaseDifference(fine[l], coarse[l]) / 3;
                EXPECT_NEAR(PhaseDifference(extrapolated, expected), 0, 2e-6);
                EXPECT_GT(fine[l], -M_PI / 2);
                EXPECT_LE(fine[l], M_PI / 2);
            }
        }
    }
}

// For high l the electron stays away from the core and the first Born
// approximation holds: tan delta_l = -k (2 m e / hbar^2) * integral of
// V(r) j_l(kr)^2 r^2 dr over the sphere.
TEST(MuffinTinPhaseShift, HighPartialWavesFollowTheBornApproximation)
{
    const double rmt = 3.615 / (2 * std::sqrt(2.0)) * Reference::Angstrom_m;
    const std::vector<double> neighbours(12, 3.615 / std::sqrt(2.0) * Reference::Angstrom_m);
    LwAtomicPotentialTable table = example::MakeMuffinTinTable(kCopperZ, neighbours, 1e-15, rmt, 1201);
    const double e = 500;
    const std::vector<double> delta = PhaseShifts(table, e, 14, 8);
    const double k = std::sqrt(kTwoMassChargeOverHbar2 * e);
    for (int l : {11, 12, 13}) {
        SCOPED_TRACE(l);
        // Simpson's rule in r; the potential from the table's own points
        // would need the spline, so it is rebuilt from its definition.
        const int n = 20000;
        const double zero = example::MoliereAtomicPotential(kCopperZ, rmt) +
                            12 * example::NeighbourSphericalAverage(kCopperZ, neighbours[0], rmt);
        double sum = 0;
        for (int i = 1; i <= n; ++i) {
            const double r = rmt * i / n;
            const double v = example::MoliereAtomicPotential(kCopperZ, r) +
                             12 * example::NeighbourSphericalAverage(kCopperZ, neighbours[0], r) - zero;
            const double jl = SphBessel(l, k * r);
            const double w = (i == n) ? 1 : (i % 2 ? 4 : 2);
            sum += w * v * jl * jl * r * r;
        }
        const double integral = sum * (rmt / n) / 3;
        const double born = std::atan(-k * kTwoMassChargeOverHbar2 * integral);
        EXPECT_GT(delta[l], 0);
        EXPECT_NEAR(delta[l], born, 0.1 * born);
    }
}

// Halving the Runge-Kutta step, or the spacing of the potential's grid,
// leaves the copper phase shifts unchanged to well below the 0.001 degrees
// that matter for a pattern.
TEST(MuffinTinPhaseShift, CopperPhaseShiftsConvergeInStepAndGrid)
{
    const double rmt = 3.615 / (2 * std::sqrt(2.0)) * Reference::Angstrom_m;
    const std::vector<double> neighbours(12, 3.615 / std::sqrt(2.0) * Reference::Angstrom_m);
    LwAtomicPotentialTable table = example::MakeMuffinTinTable(kCopperZ, neighbours, 1e-15, rmt, 1201);
    LwAtomicPotentialTable dense = example::MakeMuffinTinTable(kCopperZ, neighbours, 1e-15, rmt, 2401);
    const std::vector<double> coarse = PhaseShifts(table, 500, 12, 8);
    const std::vector<double> fine = PhaseShifts(table, 500, 12, 16);
    const std::vector<double> denseGrid = PhaseShifts(dense, 500, 12, 8);
    for (int l = 0; l < 12; ++l) {
        EXPECT_NEAR(PhaseDifference(coarse[l], fine[l]), 0, 1e-7) << "l = " << l;
        EXPECT_NEAR(PhaseDifference(coarse[l], denseGrid[l]), 0, 1e-6) << "l = " << l;
    }
}
