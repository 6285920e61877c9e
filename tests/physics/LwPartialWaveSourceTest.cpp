// Partial-wave sources: values near and far, checked against sums built from
// Boost.Math's spherical Hankel functions and harmonics, and the far-field
// limit of the near field.
#include "physics/LwPartialWaveSource.h"
#include "physics/LwSphericalHarmonics.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/hankel.hpp>
#include <boost/math/special_functions/spherical_harmonic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>

namespace {
using Ref = long double;
using RefComplex = std::complex<Ref>;
constexpr double kAgreement = 1e-12;

// A source at `position` (m) with 100 eV and a few non-zero coefficients of
// every l < L (deterministic, of mixed sign and phase).
LwPartialWaveSource MakeSource(LwLong L, LwLong incomingL, LDouble x, LDouble y, LDouble z)
{
    LwPartialWaveSource s;
    s.SetKineticEnergy(100);
    s.SetPosition(x, y, z);
    s.Outgoing().SetSize(L);
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m)
            s.Outgoing()(l, m) =
                LComplex(std::cos(1.3 * l + 0.4 * m), std::sin(0.7 * l - 0.9 * m)) / LDouble(l + 1);
    s.Incoming().SetSize(incomingL);
    for (LwLong l = 0; l < incomingL; ++l)
        for (LwLong m = -l; m <= l; ++m)
            s.Incoming()(l, m) = LComplex(0.3 * m - 0.1, 0.2 * l) / LDouble(l + 2);
    return s;
}

// sum_lm (c_lm h+_l(kr) + d_lm h-_l(kr)) Y_lm(theta, phi), from Boost in long double.
RefComplex ReferenceValue(const LwPartialWaveSource& s, Ref r, Ref theta, Ref phi)
{
    const Ref kr = static_cast<Ref>(s.GetWaveNumber()) * r;
    RefComplex sum = 0;
    auto add = [&](const LwLmComplexArray& a, bool outgoing) {
        for (LwLong l = 0; l < a.GetL(); ++l) {
            const RefComplex h =
                outgoing ? boost::math::sph_hankel_1<Ref>(l, kr) : boost::math::sph_hankel_2<Ref>(l, kr);
            for (LwLong m = -l; m <= l; ++m)
                sum += RefComplex(a(l, m).real(), a(l, m).imag()) * h *
                       boost::math::spherical_harmonic<Ref>(l, m, theta, phi);
        }
    };
    add(s.Outgoing(), true);
    add(s.Incoming(), false);
    return sum;
}

Ref RelativeError(const LComplex& ours, const RefComplex& ref)
{
    return std::abs(RefComplex(ours.real(), ours.imag()) - ref) / std::abs(ref);
}
}  // namespace

TEST(LwPartialWaveSource, NewSourceIsEmpty)
{
    LwPartialWaveSource s;
    EXPECT_EQ(s.GetKineticEnergy(), 0);
    EXPECT_EQ(s.GetWaveNumber(), 0);
    EXPECT_FALSE(s.IsPlaneWave());
    EXPECT_TRUE(s.PlaneWaveVector().IsEmpty());
    EXPECT_EQ(s.GetU(), 0);
    EXPECT_EQ(s.GetAtomicNumber(), 0);
    EXPECT_EQ(s.Outgoing().GetL(), 0);
    EXPECT_EQ(s.Incoming().GetL(), 0);
    ASSERT_EQ(s.Position().VectorSize(), 3);
    EXPECT_EQ(s.X(), 0);
    EXPECT_EQ(s.Y(), 0);
    EXPECT_EQ(s.Z(), 0);
}

TEST(LwPartialWaveSource, WaveNumberOfTheKineticEnergy)
{
    // k [1/Angstrom] = 0.51232 sqrt(E [eV]) for a free electron.
    LwPartialWaveSource s;
    for (double e : {1000.0, 100.0, 30.0}) {
        s.SetKineticEnergy(e);
        EXPECT_EQ(s.GetKineticEnergy(), e);
        EXPECT_NEAR(s.GetWaveNumber() * Reference::Angstrom_m / (0.51232 * std::sqrt(e)), 1.0, 1e-4)
            << "E=" << e;
    }
    s.SetKineticEnergy(1000);
    EXPECT_NEAR(s.GetWaveNumber(), 1.62e11, 0.01e11);
}

TEST(LwPartialWaveSource, UnsetEnergyThrowsTheBareText)
{
    LwPartialWaveSource s = MakeSource(2, 0, 0, 0, 0);
    s.SetKineticEnergy(-1);
    const std::string text = "Kinetic energy is not deined";
    EXPECT_EQ(BareTextOf([&] { s.GetValueLocal(1e-10, 0.1, 0.2); }), text);
    EXPECT_EQ(BareTextOf([&] { s.GetValueRelative(1e-10, 0, 0); }), text);
    EXPECT_EQ(BareTextOf([&] { s.GetValueXYZ(1e-10, 0, 0); }), text);
    EXPECT_EQ(BareTextOf([&] { s.GetValueRThetaPhi(1e-10, 0.1, 0.2); }), text);
}

TEST(LwPartialWaveSource, NearFieldAgreesWithHankelSums)
{
    struct Case
    {
        LwLong L, incomingL;
        double r;  // m
        double theta, phi;
    };
    const Case cases[] = {
        {6, 6, 2.5e-10, 0.9, 2.1},  // both parts, same L: one sum
        {6, 3, 2.5e-10, 2.2, -0.4},  // parts of different L
        {3, 0, 1.0e-10, 0.3, 0.8},  // outgoing only
        {1, 0, 4.0e-10, 1.4, 0.0},  {12, 12, 0.05e-10, 1.0, 1.0},  // small k r: large Neumann values
        {20, 0, 30e-10, 1.9, 3.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("L=" + std::to_string(c.L) + "/" + std::to_string(c.incomingL) +
                     " r=" + std::to_string(c.r));
        const LwPartialWaveSource s = MakeSource(c.L, c.incomingL, 0, 0, 0);
        EXPECT_LT(static_cast<double>(RelativeError(s.GetValueLocal(c.r, c.theta, c.phi),
                                                    ReferenceValue(s, c.r, c.theta, c.phi))),
                  kAgreement);
    }
}

// The quick route of GetValueAtOffset (outgoing part only: upward Hankel
// recurrence, Cartesian harmonics) against Boost, at offsets on and off the
// axes, near the k r cut-off and far out; sources it does not serve (an
// incoming part, a plane wave, an n_l that would overflow) give exactly what
// GetValueRelative gives.
TEST(LwPartialWaveSource, ValueAtOffsetAgreesWithHankelSums)
{
    const double k = MakeSource(1, 0, 0, 0, 0).GetWaveNumber();
    struct Case
    {
        LwLong L;
        double x, y, z;  // m
    };
    const Case cases[] = {
        {12, 1.1e-10, -0.7e-10, 2.0e-10},  // the scattering step's L
        {12, 0, 0, 3.0e-10},  // +z axis: phi = 0
        {12, 0, 0, -2.0e-10},  // -z axis
        {12, -2.5e-10, 0, 0},  // equator, phi = pi
        {5, 0.0015 / k, 0, 0},  // just above the k r cut-off
        {1, 0.3e-10, 0.2e-10, 0.1e-10},
        {20, 40e-10, -25e-10, 10e-10},  // far out: k r of several hundred
        {40, 0.8e-10, 0.6e-10, -0.4e-10},  // l well above k r
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("L=" + std::to_string(c.L) + " at (" + std::to_string(c.x) + ", " + std::to_string(c.y) +
                     ", " + std::to_string(c.z) + ")");
        const LwPartialWaveSource s = MakeSource(c.L, 0, 0, 0, 0);
        const Ref r = std::sqrt(Ref(c.x) * c.x + Ref(c.y) * c.y + Ref(c.z) * c.z);
        const Ref theta = std::acos(Ref(c.z) / r);
        const Ref phi = std::atan2(Ref(c.y), Ref(c.x));
        EXPECT_LT(static_cast<double>(
                      RelativeError(s.GetValueAtOffset(c.x, c.y, c.z), ReferenceValue(s, r, theta, phi))),
                  kAgreement);
    }

    const LDouble x = 0.9e-10, y = -0.4e-10, z = 1.3e-10;
    const LwPartialWaveSource both = MakeSource(6, 3, 0, 0, 0);
    EXPECT_EQ(both.GetValueAtOffset(x, y, z), both.GetValueRelative(x, y, z));
    LwPartialWaveSource plane = MakeSource(1, 0, 0, 0, 0);
    LwLDoubleMatrix direction;
    direction.Create(3);
    direction[0] = 0.2;
    direction[1] = -0.5;
    direction[2] = 1.0;
    plane.SetPlaneWave(direction, LComplex(0.6, -0.3));
    EXPECT_EQ(plane.GetValueAtOffset(x, y, z), plane.GetValueRelative(x, y, z));
    // k r = 0.002 and l up to 59: n_59 is far beyond the marker.
    const LwPartialWaveSource high = MakeSource(60, 0, 0, 0, 0);
    EXPECT_EQ(high.GetValueAtOffset(0.002 / k, 0, 0), high.GetValueRelative(0.002 / k, 0, 0));
    EXPECT_EQ(high.GetValueAtOffset(0.0009 / k, 0, 0), LComplex(0, 0));  // below the cut-off
}

TEST(LwPartialWaveSource, ZeroCoefficientsAreSkippedWithoutChangingTheSum)
{
    LwPartialWaveSource s = MakeSource(4, 2, 0, 0, 0);
    for (LwLong m = -3; m <= 3; m += 2)
        s.Outgoing()(3, m) = 0;
    s.Incoming()(1, 0) = 0;
    EXPECT_LT(static_cast<double>(
                  RelativeError(s.GetValueLocal(3e-10, 1.1, 0.6), ReferenceValue(s, 3e-10, 1.1, 0.6))),
              kAgreement);
}

TEST(LwPartialWaveSource, VanishesAtItsCentre)
{
    const LwPartialWaveSource s = MakeSource(3, 0, 0, 0, 0);
    const double k = s.GetWaveNumber();
    EXPECT_EQ(s.GetValueLocal(0.0009 / k, 0.5, 0.5), LComplex(0, 0));  // k r = 0.0009
    EXPECT_NE(s.GetValueLocal(0.0011 / k, 0.5, 0.5), LComplex(0, 0));
    EXPECT_EQ(s.GetValueLocal(0, 0.5, 0.5), LComplex(0, 0));
    EXPECT_EQ(s.GetValueRelative(0, 0, 0), LComplex(0, 0));
    LwPartialWaveSource none;
    none.SetKineticEnergy(100);
    EXPECT_EQ(none.GetValueLocal(1e-10, 0.5, 0.5), LComplex(0, 0));  // no coefficients
}

TEST(LwPartialWaveSource, PlaneWave)
{
    LwPartialWaveSource s;
    s.SetKineticEnergy(500);
    LwLDoubleMatrix direction(3);
    direction[0] = 1;
    direction[1] = -2;
    direction[2] = 2;  // length 3
    const LComplex amplitude(0.5, -0.25);
    s.SetPlaneWave(direction, amplitude);
    ASSERT_TRUE(s.IsPlaneWave());
    const double k = s.GetWaveNumber();
    EXPECT_NEAR(s.PlaneWaveVector()[0], k / 3, 1e-15 * k);
    EXPECT_NEAR(s.PlaneWaveVector()[1], -2 * k / 3, 1e-15 * k);
    EXPECT_EQ(s.Outgoing().GetL(), 1);
    EXPECT_EQ(s.Outgoing()(0, 0), amplitude);

    EXPECT_EQ(s.GetValueRelative(0, 0, 0), amplitude);
    EXPECT_EQ(s.GetValueLocal(0, 0.3, 0.3), amplitude);
    // c_00 e^{i K.r} at a point, and the same point in spherical coordinates.
    const double x = 1.1e-10, y = 0.4e-10, z = -0.7e-10;
    const Ref phase = static_cast<Ref>(k) * (x - 2 * y + 2 * z) / 3;
    const RefComplex expected =
        RefComplex(amplitude.real(), amplitude.imag()) * std::exp(RefComplex(0, phase));
    EXPECT_LT(static_cast<double>(RelativeError(s.GetValueRelative(x, y, z), expected)), 1e-13);
    const Ref r = std::sqrt(Ref(x) * x + Ref(y) * y + Ref(z) * z);
    EXPECT_LT(
        static_cast<double>(RelativeError(s.GetValueLocal(r, std::acos(z / r), std::atan2(y, x)), expected)),
        1e-13);
}

TEST(LwPartialWaveSource, PointsAreTakenRelativeToThePosition)
{
    const LDouble sx = 0.8e-10, sy = -1.2e-10, sz = 0.5e-10;
    const LwPartialWaveSource s = MakeSource(5, 2, sx, sy, sz);
    const LDouble x = 2.1e-10, y = 0.3e-10, z = -1.6e-10;
    const LComplex relative = s.GetValueRelative(x - sx, y - sy, z - sz);
    const Ref rx = x - sx, ry = y - sy, rz = z - sz;
    const Ref r = std::sqrt(rx * rx + ry * ry + rz * rz);
    EXPECT_LT(static_cast<double>(
                  RelativeError(relative, ReferenceValue(s, r, std::acos(rz / r), std::atan2(ry, rx)))),
              kAgreement);
    EXPECT_LT(static_cast<double>(
                  RelativeError(s.GetValueXYZ(x, y, z), RefComplex(relative.real(), relative.imag()))),
              1e-14);
    // The same absolute point given as (r, theta, phi) about the origin.
    const Ref R = std::sqrt(Ref(x) * x + Ref(y) * y + Ref(z) * z);
    EXPECT_LT(static_cast<double>(RelativeError(s.GetValueRThetaPhi(R, std::acos(z / R), std::atan2(y, x)),
                                                RefComplex(relative.real(), relative.imag()))),
              1e-13);
}

TEST(LwPartialWaveSource, NearFieldTendsToTheFarFieldTerm)
{
    // Far away along u the outgoing wave is F e^{ikR}/(kR) with F the far-field
    // term; the corrections are of order (l(l+1) + (k|s|)^2)/(kR), so the
    // error must be below that at kR = 1e4 and fall tenfold at kR = 1e5.
    const LwLong L = 5;
    const LDouble sx = 0.3e-10, sy = 0.2e-10, sz = -0.25e-10;
    const LwPartialWaveSource s = MakeSource(L, 0, sx, sy, sz);
    const double k = s.GetWaveNumber();
    const LDouble theta = 0.7, phi = 1.9;
    const LDouble ux = std::sin(theta) * std::cos(phi), uy = std::sin(theta) * std::sin(phi),
                  uz = std::cos(theta);
    const double d = static_cast<double>(ux * sx + uy * sy + uz * sz);

    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, L, theta, phi);
    const LComplex F = s.GetFarFieldTerm(Y, k, d);
    ASSERT_GT(std::abs(F), 0.1);

    auto error = [&](double kR) {
        const LDouble R = kR / k;
        const LComplex near = s.GetValueXYZ(R * ux, R * uy, R * uz);
        const LComplex far = F * std::exp(LComplex(0, kR)) / LDouble(kR);
        return static_cast<double>(std::abs(near - far) / std::abs(far));
    };
    const double ks2 = k * k * static_cast<double>(sx * sx + sy * sy + sz * sz);
    const double e4 = error(1e4), e5 = error(1e5);
    EXPECT_LT(e4, (L * (L + 1) + ks2) / 1e4);
    EXPECT_GT(e4, 0);
    EXPECT_NEAR(e5 / e4, 0.1, 0.03);
}

TEST(LwPartialWaveSource, MovingASourceMultipliesItsTermByThePhase)
{
    const LwPartialWaveSource s = MakeSource(4, 0, 0, 0, 0);
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, 4, 1.2, -0.3);
    const double k = s.GetWaveNumber();
    const LComplex atOrigin = s.GetFarFieldTerm(Y, k, 0);
    for (double d : {1e-10, -2.7e-10, 5e-9}) {
        const LComplex moved = s.GetFarFieldTerm(Y, k, d);
        const LComplex ratio = moved / atOrigin;
        EXPECT_NEAR(static_cast<double>(std::abs(ratio - std::exp(LComplex(0, -k * d)))), 0, 1e-13)
            << "d=" << d;
    }
    // The term itself: sum_l (-i)^{l+1} sum_m c_lm Y_lm.
    RefComplex expected = 0;
    for (LwLong l = 0; l < 4; ++l)
        for (LwLong m = -l; m <= l; ++m)
            expected += std::pow(RefComplex(0, -1), l + 1) *
                        RefComplex(s.Outgoing()(l, m).real(), s.Outgoing()(l, m).imag()) *
                        boost::math::spherical_harmonic<Ref>(l, m, 1.2L, -0.3L);
    EXPECT_LT(static_cast<double>(RelativeError(atOrigin, expected)), kAgreement);
}

TEST(LwPartialWaveSource, FarFieldTermNeedsHarmonicsOfEveryL)
{
    const LwPartialWaveSource s = MakeSource(4, 0, 0, 0, 0);
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, 3, 1.2, -0.3);
    EXPECT_EQ(ErrorText([&] { s.GetFarFieldTerm(Y, s.GetWaveNumber(), 0); }), "Illegal l value");
}

TEST(LwPartialWaveSource, CopyCarriesEveryField)
{
    LwPartialWaveSource s = MakeSource(3, 2, 1e-10, 2e-10, 3e-10);
    s.SetU(4e-22);
    s.SetAtomicNumber(29);
    s.GetValueLocal(1e-10, 0.2, 0.3);  // grows the cache
    LwPartialWaveSource copy(s);
    LwPartialWaveSource assigned;
    assigned = s;
    for (const LwPartialWaveSource* c : {&copy, &assigned}) {
        EXPECT_EQ(c->GetKineticEnergy(), 100);
        EXPECT_EQ(c->GetWaveNumber(), s.GetWaveNumber());
        EXPECT_EQ(c->GetU(), 4e-22);
        EXPECT_EQ(c->GetAtomicNumber(), 29);
        EXPECT_EQ(c->Outgoing().GetL(), 3);
        EXPECT_EQ(c->Incoming()(1, -1), s.Incoming()(1, -1));
        EXPECT_EQ(c->Z(), s.Z());
        EXPECT_NE(c->Outgoing().Data(), s.Outgoing().Data());
        EXPECT_EQ(c->GetValueLocal(2e-10, 1.0, 2.0), s.GetValueLocal(2e-10, 1.0, 2.0));
    }
}
