#include "MuffinTinPhaseShift.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "physics/LwSphericalBesselTable.h"

#include <cmath>

namespace example {
namespace {
// e^2 / (4 pi eps0) in eV m, and the Bohr radius in m.
constexpr double kCoulomb = 1.4399645e-9;
constexpr double kBohrRadius = 0.52917721e-10;

// Moliere's fit of the Thomas-Fermi screening function.
constexpr double kMoliereA[3] = {0.35, 0.55, 0.10};
constexpr double kMoliereBeta[3] = {0.3, 1.2, 6.0};

// m_e e / hbar^2, as in the radial equation (1 / (eV m^2)).
constexpr double kMassChargeOverHbar2 = LwConst::ElectronMassTimesCharge_kgC / LwConst::HbarSquared_J2s2;

double ScreeningLength(int z)
{
    return 0.88534 * kBohrRadius / std::cbrt(double(z));
}

// A vector of n elements indexed from 1, as the radial equation wants it.
LwLDoubleMatrix StateVector(int n)
{
    LwLDoubleMatrix v(n);
    v.RowBegin = 1;
    v.SetZero();
    return v;
}
}  // namespace

double MoliereAtomicPotential(int z, double r)
{
    const double b = ScreeningLength(z);
    double phi = 0;
    for (int i = 0; i < 3; ++i)
        phi += kMoliereA[i] * std::exp(-kMoliereBeta[i] * r / b);
    return -z * kCoulomb / r * phi;
}

// <V>(r) = 1/(2 r d) * integral from |d - r| to d + r of t V_atom(t) dt, and
// t V_atom(t) is a sum of exponentials, so the integral is closed. For
// r -> 0 the average tends to V_atom(d); below r = 1e-6 d that limit is
// returned, so that the difference of two nearly equal exponentials is not
// divided by a vanishing r.
double NeighbourSphericalAverage(int z, double d, double r)
{
    if (r < 1e-6 * d)
        return MoliereAtomicPotential(z, d);
    const double b = ScreeningLength(z);
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double s = kMoliereBeta[i] / b;
        sum += kMoliereA[i] / s * (std::exp(-s * std::fabs(d - r)) - std::exp(-s * (d + r)));
    }
    return -z * kCoulomb * sum / (2 * r * d);
}

LwAtomicPotentialTable MakeMuffinTinTable(int z, const std::vector<double>& neighbourDistances, double rMin,
                                          double rMuffinTin, int points)
{
    if (points < 2 || !(rMin > 0) || !(rMuffinTin > rMin))
        throw LwError("muffin-tin table needs two points and 0 < rMin < rMuffinTin");
    auto crystal = [&](double r) {
        double v = MoliereAtomicPotential(z, r);
        for (double d : neighbourDistances)
            v += NeighbourSphericalAverage(z, d, r);
        return v;
    };
    const double zero = crystal(rMuffinTin);
    LwAtomicPotentialTable table;
    const double x0 = std::log(rMin);
    const double x1 = std::log(rMuffinTin);
    for (int i = 0; i < points; ++i) {
        // The last point is the sphere radius itself, not a rounded sum.
        const double x = i == points - 1 ? x1 : x0 + (x1 - x0) * i / (points - 1);
        const double r = i == points - 1 ? rMuffinTin : std::exp(x);
        table.x.push_back(x);
        table.a.push_back(r);
        table.b.push_back(crystal(r) - zero);
    }
    return table;
}

double WaveNumber(double energy)
{
    return std::sqrt(2.0 * kMassChargeOverHbar2 * energy);
}

RadialSolutions IntegrateRadialEquation(LwDiffEqFunc& equation, const std::vector<double>& grid, int L,
                                        int stepsPerInterval)
{
    if (L < 1 || stepsPerInterval < 1 || grid.size() < 2)
        throw LwError("radial integration needs L >= 1, one step per interval and two grid points");
    LDouble xStart = 0, value = 0, derivative = 0, step = 0;
    equation.GetInitialValues(xStart, value, derivative, step);
    if (xStart != LDouble(grid[0]))
        throw LwError("the grid must start at the equation's starting point");

    const int n = 2 * L;
    LwLDoubleMatrix y = StateVector(n);
    for (int l = 0; l < L; ++l) {
        y[2 * l + 1] = value;
        y[2 * l + 2] = derivative;
    }
    RadialSolutions out;
    out.g.assign(L, std::vector<double>(grid.size()));
    out.dg.assign(L, std::vector<double>(grid.size()));
    auto store = [&](std::size_t point) {
        for (int l = 0; l < L; ++l) {
            out.g[l][point] = double(y[2 * l + 1]);
            out.dg[l][point] = double(y[2 * l + 2]);
        }
    };
    store(0);

    LwLDoubleMatrix k1 = StateVector(n), k2 = StateVector(n), k3 = StateVector(n), k4 = StateVector(n),
                    t = StateVector(n);
    // t = y + h k, element by element (both indexed from 1).
    auto advance = [&](const LwLDoubleMatrix& k, LDouble h) {
        for (int i = 1; i <= n; ++i)
            t[i] = y[i] + h * k[i];
    };
    for (std::size_t p = 0; p + 1 < grid.size(); ++p) {
        const LDouble h = (LDouble(grid[p + 1]) - LDouble(grid[p])) / stepsPerInterval;
        for (int s = 0; s < stepsPerInterval; ++s) {
            // The interval's last step ends exactly on the next grid point.
            const LDouble x = s == 0 ? LDouble(grid[p]) : LDouble(grid[p]) + s * h;
            const LDouble xEnd = s + 1 == stepsPerInterval ? LDouble(grid[p + 1]) : x + h;
            const LDouble hs = xEnd - x;
            equation.GetDerivatives(x, y, k1);
            advance(k1, hs / 2);
            equation.GetDerivatives(x + hs / 2, t, k2);
            advance(k2, hs / 2);
            equation.GetDerivatives(x + hs / 2, t, k3);
            advance(k3, hs);
            equation.GetDerivatives(xEnd, t, k4);
            for (int i = 1; i <= n; ++i)
                y[i] += hs / 6 * (k1[i] + 2 * k2[i] + 2 * k3[i] + k4[i]);
        }
        store(p + 1);
    }
    return out;
}

std::vector<double> PhaseShiftsFromMatching(const std::vector<double>& g, const std::vector<double>& dg,
                                            double k, double radius)
{
    const int L = int(g.size());
    const double x = k * radius;
    // j_l and y_l for l = 0 ... L at positions 1 ... L + 1.
    std::vector<double> j(L + 2), y(L + 2);
    LwSphericalBesselTable::Compute(L, x, j, y);
    std::vector<double> delta(L);
    for (int l = 0; l < L; ++l) {
        const double numerator = dg[l] * j[l + 1] + g[l] * x * j[l + 2];
        const double denominator = dg[l] * y[l + 1] + g[l] * x * y[l + 2];
        // atan of the quotient, in (-pi/2, pi/2]; a zero denominator is pi/2.
        double d = std::atan2(numerator, denominator);
        if (d > LwConst::Pi / 2)
            d -= LwConst::Pi;
        else if (d <= -LwConst::Pi / 2)
            d += LwConst::Pi;
        delta[l] = d;
    }
    return delta;
}
}  // namespace example
