// The free-electron wave: energy and mean free path, sums over the sources,
// far-field amplitudes with thermal and attenuation factors, re-centring.
#include "physics/LwSphericalHarmonics.h"
#include "physics/LwVectorFreeElectron.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

namespace {
LwPartialWaveSource Source(LwLong L, LDouble x, LDouble y, LDouble z, double u = 0)
{
    LwPartialWaveSource s;
    s.SetPosition(x, y, z);
    s.SetU(u);
    s.Outgoing().SetSize(L);
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m)
            s.Outgoing()(l, m) = LComplex(0.5 + 0.1 * m, 0.3 * l - 0.2) / LDouble(l + 1);
    return s;
}

// Emitter at the origin and three scatterers, 200 eV.
LwVectorFreeElectron Wave()
{
    LwVectorFreeElectron w;
    w.Sources().push_back(Source(4, 0, 0, 0, 2e-23));
    w.Sources().push_back(Source(3, 2.5e-10, 0, 0, 5e-23));
    w.Sources().push_back(Source(5, -1e-10, 2e-10, 1.5e-10, 3e-23));
    w.Sources().push_back(Source(2, 0, 0, -3e-10, 4e-23));
    w.SetKineticEnergy(200);
    return w;
}

LDouble Dot(LDouble theta, LDouble phi, const LwPartialWaveSource& s)
{
    return std::sin(theta) * std::cos(phi) * s.X() + std::sin(theta) * std::sin(phi) * s.Y() +
           std::cos(theta) * s.Z();
}

LDouble Length(const LwPartialWaveSource& s)
{
    return std::sqrt(s.X() * s.X() + s.Y() * s.Y() + s.Z() * s.Z());
}

constexpr double kTight = 1e-14;
}  // namespace

TEST(LwVectorFreeElectron, NewWaveHasNoEnergy)
{
    LwVectorFreeElectron w;
    EXPECT_EQ(w.GetKineticEnergy(), -15000);
    EXPECT_EQ(w.GetMeanFreePath_m(), 0);
    EXPECT_EQ(w.GetMaxL(), 0);
    EXPECT_EQ(BareTextOf([&] { w.GetValueRThetaPhi(1e-10, 0.1, 0.1); }), "Kinetic Energy is not defined");
    EXPECT_EQ(w.GetValueXYZ(1e-10, 0, 0), LComplex(0, 0));
    EXPECT_EQ(w.GetFarFieldDirect(0.3, 0.2), LComplex(0, 0));
    EXPECT_EQ(w.GetFarFieldScattered(0.3, 0.2, 0), LComplex(0, 0));
}

TEST(LwVectorFreeElectron, EnergyReachesEverySource)
{
    LwVectorFreeElectron w = Wave();
    w.SetKineticEnergy(350);
    LwPartialWaveSource reference;
    reference.SetKineticEnergy(350);
    for (const LwPartialWaveSource& s : w.Sources()) {
        EXPECT_EQ(s.GetKineticEnergy(), 350);
        EXPECT_EQ(s.GetWaveNumber(), reference.GetWaveNumber());
    }
    EXPECT_EQ(w.GetMaxL(), 5);
}

TEST(LwVectorFreeElectron, MeanFreePathMustNotBeNegative)
{
    LwVectorFreeElectron w;
    w.SetMeanFreePath_m(1e-9);
    EXPECT_EQ(ErrorText([&] { w.SetMeanFreePath_m(-1e-10); }),
              "LwVectorFreeElectron::SetMeanFreePath_m():ERROR length_meter <0");
    EXPECT_EQ(w.GetMeanFreePath_m(), 1e-9);
    w.SetMeanFreePath_m(0);
    EXPECT_EQ(w.GetMeanFreePath_m(), 0);
}

TEST(LwVectorFreeElectron, ValueIsTheSumOfTheSources)
{
    const LwVectorFreeElectron w = Wave();
    const LDouble x = 1.3e-10, y = -0.6e-10, z = 0.9e-10;
    LComplex sum(0, 0);
    for (const LwPartialWaveSource& s : w.Sources())
        sum += s.GetValueXYZ(x, y, z);
    EXPECT_EQ(w.GetValueXYZ(x, y, z), sum);

    const LDouble r = 2e-10, theta = 1.2, phi = 2.6;
    LComplex sumPolar(0, 0);
    for (const LwPartialWaveSource& s : w.Sources())
        sumPolar += s.GetValueRThetaPhi(r, theta, phi);
    EXPECT_EQ(w.GetValueRThetaPhi(r, theta, phi), sumPolar);
    EXPECT_NEAR(std::abs(w.GetValueRThetaPhi(r, theta, phi) -
                         w.GetValueXYZ(r * std::sin(theta) * std::cos(phi),
                                       r * std::sin(theta) * std::sin(phi), r * std::cos(theta))),
                0, 1e-12 * std::abs(sumPolar));
}

TEST(LwVectorFreeElectron, ThermalFactorIsOneForwardAndDampsBackward)
{
    LwPartialWaveSource s = Source(1, 0, 0, 2e-10);
    const double k = 7e10, u = 3e-23;
    const LComplex t0(0.4, -1.1);
    struct Case
    {
        double d;
        double expected;
    };
    const Case cases[] = {
        {2e-10, 1.0},  // on the line of sight
        {-2e-10, std::exp(-2 * k * k * u)},  // behind the emitter
        {0.0, std::exp(-k * k * u)},  // at right angles
    };
    for (const Case& c : cases) {
        LComplex t = t0;
        const LComplex result = CalcThermalFactor(t, s, u, k, c.d);
        EXPECT_EQ(result, t);
        EXPECT_NEAR(static_cast<double>(std::abs(t / t0)), c.expected, kTight) << "d=" << c.d;
        EXPECT_NEAR(static_cast<double>(std::arg(t / t0)), 0, kTight) << "d=" << c.d;
    }
    LComplex t = t0;
    CalcThermalFactor(t, s, 0, k, -2e-10);  // no displacement
    EXPECT_EQ(t, t0);
    LwPartialWaveSource atOrigin = Source(1, 0, 0, 0);
    CalcThermalFactor(t, atOrigin, u, k, 0);  // no distance
    EXPECT_EQ(t, t0);
}

TEST(LwVectorFreeElectron, FarFieldOfOneSourceHasNoScatteredPart)
{
    LwVectorFreeElectron w;
    w.Sources().push_back(Source(3, 0, 0, 0));
    w.SetKineticEnergy(200);
    EXPECT_EQ(w.GetFarFieldScattered(0.4, 0.5, 0), LComplex(0, 0));
    EXPECT_NE(w.GetFarFieldDirect(0.4, 0.5), LComplex(0, 0));
}

TEST(LwVectorFreeElectron, FarFieldIsTheSumOfTheTerms)
{
    // Without displacement and attenuation: the plain sum of the sources'
    // terms, each referred to the origin by its own phase.
    LwVectorFreeElectron w = Wave();
    for (LwPartialWaveSource& s : w.Sources())
        s.SetU(0);
    const LDouble theta = 0.8, phi = -1.7;
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, w.GetMaxL(), theta, phi);
    const double k = w.Sources()[0].GetWaveNumber();
    LComplex scattered(0, 0);
    for (std::size_t j = 1; j < w.Sources().size(); ++j)
        scattered +=
            w.Sources()[j].GetFarFieldTerm(Y, k, static_cast<double>(Dot(theta, phi, w.Sources()[j])));
    const LComplex direct = w.Sources()[0].GetFarFieldTerm(Y, k, 0);

    EXPECT_NEAR(std::abs(w.GetFarFieldScattered(theta, phi, 0) - scattered), 0, kTight * std::abs(scattered));
    EXPECT_NEAR(std::abs(w.GetFarFieldScattered(theta, phi, 7) - scattered), 0, kTight * std::abs(scattered));
    EXPECT_NEAR(std::abs(w.GetFarFieldDirect(theta, phi) - direct), 0, kTight * std::abs(direct));
    EXPECT_NEAR(std::abs(w.GetFarFieldAmplitude(theta, phi, 0) - (direct + scattered)), 0,
                kTight * std::abs(direct + scattered));
}

TEST(LwVectorFreeElectron, FarFieldCarriesThermalAndAttenuationFactors)
{
    LwVectorFreeElectron w = Wave();
    const double lambda = 6e-10;
    w.SetMeanFreePath_m(lambda);
    const LDouble theta = 2.3, phi = 0.4;
    const double k = w.Sources()[0].GetWaveNumber();
    const double u0 = w.Sources()[0].GetU();
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, w.GetMaxL(), theta, phi);
    LComplex expected(0, 0);
    for (std::size_t j = 1; j < w.Sources().size(); ++j) {
        const LwPartialWaveSource& s = w.Sources()[j];
        const double d = static_cast<double>(Dot(theta, phi, s));
        const double r = static_cast<double>(Length(s));
        const double debyeWaller = std::exp(-(1 - d / r) * k * k * (s.GetU() + u0));
        const double attenuation = std::exp(-r / (2 * lambda));  // intensity exp(-r / lambda)
        expected += s.GetFarFieldTerm(Y, k, d) * LDouble(debyeWaller * attenuation);
    }
    EXPECT_NEAR(std::abs(w.GetFarFieldScattered(theta, phi, 0) - expected), 0, 1e-13 * std::abs(expected));
    // The emitter sits at the origin: its own term is undamped.
    EXPECT_NEAR(std::abs(w.GetFarFieldDirect(theta, phi) - w.Sources()[0].GetFarFieldTerm(Y, k, 0)), 0,
                kTight);
}

TEST(LwVectorFreeElectron, TooSmallLFails)
{
    const LwVectorFreeElectron w = Wave();
    EXPECT_EQ(ErrorText([&] { w.GetFarFieldScattered(0.5, 0.5, 3); }), "Illegal l value");
}

TEST(LwVectorFreeElectron, RecentreDescribesTheWaveAboutAnAtom)
{
    LwVectorFreeElectron w = Wave();
    w.SetMeanFreePath_m(8e-10);
    w.Sources()[3].SetPosition(-1e-10, 2e-10, 1.5e-10);  // at the place of source 2
    w.Sources()[1].SetKineticEnergy(10);  // re-applied from the wave
    LwVectorFreeElectron out;
    w.Recentre(out, 2);
    EXPECT_EQ(out.GetKineticEnergy(), 200);
    EXPECT_EQ(out.GetMeanFreePath_m(), 8e-10);
    ASSERT_EQ(out.Sources().size(), 2u);  // sources 0 and 1; 2 itself and 3 dropped
    EXPECT_EQ(out.Sources()[0].X(), 1e-10);
    EXPECT_EQ(out.Sources()[0].Y(), -2e-10);
    EXPECT_EQ(out.Sources()[0].Z(), -1.5e-10);
    EXPECT_EQ(out.Sources()[1].X(), LDouble(2.5e-10) - LDouble(-1e-10));
    EXPECT_EQ(out.Sources()[1].Outgoing().GetL(), 3);
    EXPECT_EQ(out.Sources()[1].GetKineticEnergy(), 200);
    // The field is the same field, seen from the new origin.
    const LDouble x = 0.7e-10, y = 0.2e-10, z = -0.4e-10;
    const LComplex before = w.Sources()[0].GetValueXYZ(x, y, z) + w.Sources()[1].GetValueXYZ(x, y, z);
    const LComplex after = out.GetValueXYZ(x + 1e-10, y - 2e-10, z - 1.5e-10);
    EXPECT_NEAR(std::abs(after - before), 0, 1e-12 * std::abs(before));
}

TEST(LwVectorFreeElectron, RecentreOutsideTheListFailsAfterReapplyingTheEnergy)
{
    LwVectorFreeElectron w = Wave();
    w.Sources()[0].SetKineticEnergy(10);
    LwVectorFreeElectron out;
    EXPECT_EQ(BareTextOf([&] { w.Recentre(out, 4); }), "index error");
    EXPECT_EQ(BareTextOf([&] { w.Recentre(out, -1); }), "index error");
    EXPECT_EQ(w.Sources()[0].GetKineticEnergy(), 200);
}
