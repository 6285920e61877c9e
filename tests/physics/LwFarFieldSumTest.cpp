// The far-field sums of many directions against the per-source evaluation of
// LwVectorFreeElectron (GetFarFieldDirect, GetFarFieldScattered), which takes
// every source's harmonics and factors apart, on random directions.
#include "core/LwError.h"
#include "physics/LwFarFieldSum.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

// A source with L^2 coefficients of varied phase and size, none of them 0.
LwPartialWaveSource Source(LwLong L, double x, double y, double z, double u, int seed)
{
    LwPartialWaveSource s;
    s.SetPosition(x, y, z);
    s.SetU(u);
    s.Outgoing().SetSize(L);
    for (LwLong k = 0; k < s.Outgoing().Size(); ++k)
        s.Outgoing()[k] =
            LComplex(std::cos(0.7 * k + seed), std::sin(1.3 * k - 2.0 * seed)) / LDouble(1 + k % 7);
    return s;
}

// Bound of every term's size: the sum of the coefficients' moduli (|Y_lm|
// stays below 1 for the l used here), times the largest thermal and
// attenuation factor, 1.
double Scale(const LwVectorFreeElectron& w, std::size_t first)
{
    double sum = 0;
    for (std::size_t j = first; j < w.Sources().size(); ++j)
        for (LwLong k = 0; k < w.Sources()[j].Outgoing().Size(); ++k)
            sum += std::abs(w.Sources()[j].Outgoing()[k]);
    return sum;
}

// Roundings of the sums over up to a few hundred terms, of the phase k d
// (k d up to ~300) and of the exponentials; the worst seen is a few epsilons.
constexpr double kRelTol = 64 * std::numeric_limits<double>::epsilon();

struct Case
{
    const char* name;
    int scatterers;
    double spread_m;  // scatterers within this distance of the emitter
    double u;  // U of every source (m^2)
    double meanFreePath_m;
    bool emitterOffOrigin;  // the direct wave's own thermal factor and phase
    LwLong L;  // the l range asked for (0 = the largest)
};

const Case kCases[] = {
    {"plain sum", 20, 1e-9, 0, 0, false, 0},
    {"thermal factor", 20, 1e-9, 8e-23, 0, false, 0},
    {"thermal factor and attenuation", 60, 1.5e-9, 8e-23, 1.2e-9, false, 0},
    {"emitter off the origin, with U", 5, 6e-10, 1.2e-22, 0, true, 0},
    {"l range above every source", 9, 8e-10, 5e-23, 2e-9, false, 9},
    {"far scatterers, large phases", 30, 2.5e-9, 3e-23, 0, false, 0},
};

LwVectorFreeElectron MakeWave(const Case& c)
{
    std::mt19937 random(17);
    std::uniform_real_distribution<double> unit(-1, 1);
    LwVectorFreeElectron w;
    const double e = c.emitterOffOrigin ? 3e-10 : 0;
    w.Sources().push_back(Source(3, e, -0.5 * e, 0.25 * e, c.u, 0));
    for (int j = 1; j <= c.scatterers; ++j) {
        // L from 1 to 8: rows of the shorter sources are padded with zeros.
        const LwLong L = 1 + j % 8;
        double x, y, z;
        do {
            x = unit(random);
            y = unit(random);
            z = unit(random);
        } while (x * x + y * y + z * z > 1);
        w.Sources().push_back(
            Source(L, c.spread_m * x, c.spread_m * y, c.spread_m * z, c.u * (1 + 0.1 * j), j));
    }
    // A scatterer at the origin has no thermal factor (|r| = 0).
    w.Sources().push_back(Source(2, 0, 0, 0, c.u, 99));
    w.SetKineticEnergy(500);
    w.SetMeanFreePath_m(c.meanFreePath_m);
    return w;
}

}  // namespace

TEST(LwFarFieldSum, AgreesWithThePerSourceSumsOnRandomDirections)
{
    std::mt19937 random(5);
    std::uniform_real_distribution<double> cosTheta(-1, 1), phi(-3.2, 3.2);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const LwVectorFreeElectron w = MakeWave(c);
        const LwFarFieldSum sum(w, c.L);
        const double directScale = Scale(w, 0) - Scale(w, 1);
        const double scatteredScale = Scale(w, 1);
        double worst = 0;
        for (int n = 0; n < 300; ++n) {
            // The poles and the equator exactly, then random directions.
            const double theta = n == 0   ? 0
                                 : n == 1 ? Reference::Pi
                                 : n == 2 ? Reference::Pi / 2
                                          : std::acos(cosTheta(random));
            const double p = phi(random);
            const LwFarFieldSum::Amplitudes a = sum.Evaluate(theta, p);
            const LComplex direct = w.GetFarFieldDirect(theta, p);
            const LComplex scattered = w.GetFarFieldScattered(theta, p, c.L);
            const double eDirect = std::abs(a.direct - direct) / directScale;
            const double eScattered = std::abs(a.scattered - scattered) / scatteredScale;
            ASSERT_LE(eDirect, kRelTol) << "direct, theta " << theta << " phi " << p;
            ASSERT_LE(eScattered, kRelTol) << "scattered, theta " << theta << " phi " << p;
            worst = std::max({worst, eDirect, eScattered});
        }
        // The comparison means something: the thermal factors (down to
        // e^-16 behind the emitter) leave amplitudes far above the tolerance.
        EXPECT_GT(std::abs(w.GetFarFieldScattered(1.0, 0.5, c.L)), 1e-4 * scatteredScale);
        RecordProperty(std::string("worst error in epsilons, ") + c.name,
                       std::to_string(worst / std::numeric_limits<double>::epsilon()));
    }
}

TEST(LwFarFieldSum, TwoDirectionsAtOnceGiveEachDirectionsOwnResult)
{
    // The pattern evaluates pixels in pairs: a pixel must not depend on its
    // partner, bit for bit, or the images would depend on the pairing.
    const LwVectorFreeElectron w = MakeWave(kCases[2]);
    const LwFarFieldSum sum(w, 0);
    std::mt19937 random(8);
    std::uniform_real_distribution<double> theta(0, 3.14), phi(-3.1, 3.1);
    for (int n = 0; n < 50; ++n) {
        const LDouble t[2] = {theta(random), theta(random)}, p[2] = {phi(random), phi(random)};
        LwFarFieldSum::Amplitudes both[2];
        sum.Evaluate(t, p, both);
        for (int k = 0; k < 2; ++k) {
            const LwFarFieldSum::Amplitudes one = sum.Evaluate(t[k], p[k]);
            ASSERT_EQ(both[k].direct, one.direct) << "pair " << n << ", direction " << k;
            ASSERT_EQ(both[k].scattered, one.scattered) << "pair " << n << ", direction " << k;
        }
    }
}

TEST(LwFarFieldSum, EmptyWavesAndSmallLRanges)
{
    // No sources: both amplitudes 0.
    const LwFarFieldSum none(LwVectorFreeElectron{}, 0);
    EXPECT_EQ(none.Evaluate(0.4, 0.2).direct, LComplex(0, 0));
    EXPECT_EQ(none.Evaluate(0.4, 0.2).scattered, LComplex(0, 0));

    // The emitter alone: no scattered wave, the direct one as before.
    LwVectorFreeElectron alone;
    alone.Sources().push_back(Source(2, 0, 0, 0, 1e-22, 3));
    alone.SetKineticEnergy(300);
    const LwFarFieldSum one(alone, 0);
    EXPECT_EQ(one.Evaluate(0.4, 0.2).scattered, LComplex(0, 0));
    EXPECT_NEAR(std::abs(one.Evaluate(0.4, 0.2).direct - alone.GetFarFieldDirect(0.4, 0.2)), 0, 1e-15);

    // An emitter without coefficients has no direct wave; the scatterers'
    // sum still runs over their l range.
    LwVectorFreeElectron silent = alone;
    silent.Sources()[0].Outgoing().SetSize(0);
    silent.Sources().push_back(Source(3, 1e-10, 2e-10, -3e-10, 0, 4));
    silent.SetKineticEnergy(300);
    const LwFarFieldSum quiet(silent, 0);
    EXPECT_EQ(quiet.Evaluate(1.1, -0.7).direct, LComplex(0, 0));
    EXPECT_NEAR(std::abs(quiet.Evaluate(1.1, -0.7).scattered - silent.GetFarFieldScattered(1.1, -0.7, 0)), 0,
                1e-14);

    // An l range below a scatterer's L fails, as every direction of the
    // per-source sum does; the emitter's L does not count.
    EXPECT_THROW(LwFarFieldSum(silent, 2), LwError);
    EXPECT_THROW(silent.GetFarFieldScattered(1.1, -0.7, 2), LwError);
    silent.Sources()[0].Outgoing().SetSize(6);
    EXPECT_NO_THROW(LwFarFieldSum(silent, 3));
}
