// Re-expansion of waves about a new centre, checked against closed forms:
// a plane wave (a_lm = 4 pi i^l Y*_lm(k)) and an outgoing s-wave about an
// off-centre point (the addition theorem), with Boost's Y_lm and spherical
// Bessel functions as the independent reference. The result must not depend
// on the number of threads, bit for bit; waves that vanish, never converge
// or fail end in bounded time.

#include "physics/LwPartialWaveSource.h"
#include "physics/LwVectorFreeElectron.h"
#include "physics/LwWaveFunction.h"
#include "physics/LwWaveReexpansion.h"
#include "physics/LwWaveVectorFreeElectron.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/bessel.hpp>
#include <boost/math/special_functions/spherical_harmonic.hpp>
#include <gtest/gtest.h>
#include <omp.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<double>;
constexpr double kEps = std::numeric_limits<double>::epsilon();

struct Vec3
{
    double x, y, z;
};

Vec3 Cartesian(double r, double theta, double phi)
{
    return {r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi), r * std::cos(theta)};
}

Complex RefY(LwLong l, LwLong m, double theta, double phi)
{
    return boost::math::spherical_harmonic<double>(unsigned(l), int(m), theta, phi);
}

// h+_l = j_l + i y_l.
Complex RefHankelPlus(LwLong l, double x)
{
    return {boost::math::sph_bessel(unsigned(l), x), boost::math::sph_neumann(unsigned(l), x)};
}

Complex PowerOfI(LwLong l)
{
    static const Complex powers[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    return powers[l % 4];
}

// e^{i k . r}.
class PlaneWave : public LwWaveFunction
{
public:
    PlaneWave(double k, double theta, double phi) : k_(k), dir_(Cartesian(1.0, theta, phi)) {}
    LComplex GetValue(double r, double theta, double phi) override
    {
        const Vec3 p = Cartesian(r, theta, phi);
        const double phase = k_ * (dir_.x * p.x + dir_.y * p.y + dir_.z * p.z);
        return LComplex(std::cos(phase), std::sin(phase));
    }
    double GetWaveNumber() override { return k_; }
    double GetKineticEnergy() override { return 1234.0; }

private:
    double k_;
    Vec3 dir_;
};

// c h+_0(k |r - d|) Y_00: an outgoing s-wave about the point d.
class ShiftedSWave : public LwWaveFunction
{
public:
    ShiftedSWave(double k, Vec3 d, Complex c) : k_(k), d_(d), c_(c) {}
    LComplex GetValue(double r, double theta, double phi) override
    {
        const Vec3 p = Cartesian(r, theta, phi);
        const double dx = p.x - d_.x, dy = p.y - d_.y, dz = p.z - d_.z;
        const Complex v =
            c_ * RefHankelPlus(0, k_ * std::sqrt(dx * dx + dy * dy + dz * dz)) / std::sqrt(4 * Reference::Pi);
        return LComplex(v.real(), v.imag());
    }
    double GetWaveNumber() override { return k_; }
    double GetKineticEnergy() override { return 500.0; }

private:
    double k_;
    Vec3 d_;
    Complex c_;
};

class ZeroWave : public LwWaveFunction
{
public:
    LComplex GetValue(double, double, double) override { return LComplex(0, 0); }
    double GetWaveNumber() override { return 1e10; }
    double GetKineticEnergy() override { return 100.0; }
};

// A value that changes at random from one direction to the next: no grid
// ever resolves it, so the re-expansion cannot converge.
class NoiseWave : public LwWaveFunction
{
public:
    LComplex GetValue(double r, double theta, double phi) override
    {
        std::uint64_t bits[2];
        std::memcpy(&bits[0], &theta, sizeof(double));
        std::memcpy(&bits[1], &phi, sizeof(double));
        std::uint64_t h = bits[0] * 0x9E3779B97F4A7C15ULL ^ (bits[1] + 0x632BE59BD9B4E019ULL);
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ULL;
        h ^= h >> 32;
        return LComplex(double(h & 0xFFFF) / 65536.0 - 0.5 + r, 0.0);
    }
    double GetWaveNumber() override { return 1e10; }
    double GetKineticEnergy() override { return 100.0; }
};

// Fails at the polar angles theta = (2i + 1) pi / 16, which the grids first
// reach in iteration 7 (64 directions, sampled by the whole team), as a wave
// with a broken source would: with an LwError or with a bare text.
class FailingWave : public PlaneWave
{
public:
    explicit FailingWave(bool bareText) : PlaneWave(1e10, 0.4, 0.2), bareText_(bareText) {}
    LComplex GetValue(double r, double theta, double phi) override
    {
        const double x = theta / Reference::Pi * 16;
        const double nearest = std::round(x);
        if (std::abs(x - nearest) < 1e-9 && std::fmod(nearest, 2.0) == 1.0) {
            if (bareText_)
                throw "wave cannot be evaluated here";
            throw LwError("wave cannot be evaluated here");
        }
        return PlaneWave::GetValue(r, theta, phi);
    }

private:
    bool bareText_;
};

// ||a - b|| / ||b|| over all (l, m).
double RelativeError(const LwLmComplexArray& a, const std::vector<Complex>& b)
{
    double num = 0, den = 0;
    for (std::size_t p = 0; p < b.size(); ++p) {
        const Complex d = Complex(double(a[LwLong(p)].real()), double(a[LwLong(p)].imag())) - b[p];
        num += std::norm(d);
        den += std::norm(b[p]);
    }
    return std::sqrt(num / den);
}

std::vector<Complex> PlaneWaveCoefficients(LwLong L, double theta, double phi)
{
    std::vector<Complex> a;
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m)
            a.push_back(4 * Reference::Pi * PowerOfI(l) * std::conj(RefY(l, m, theta, phi)));
    return a;
}

// Addition theorem, valid inside |r| < |d|:
// h+_0(k|r - d|) = 4 pi sum_lm j_l(kr) h+_l(kd) Y*_lm(d) Y_lm(r).
std::vector<Complex> ShiftedSWaveCoefficients(LwLong L, double k, double d, double theta, double phi,
                                              Complex c)
{
    std::vector<Complex> a;
    for (LwLong l = 0; l < L; ++l)
        for (LwLong m = -l; m <= l; ++m)
            a.push_back(c / std::sqrt(4 * Reference::Pi) * (4 * Reference::Pi) * RefHankelPlus(l, k * d) *
                        std::conj(RefY(l, m, theta, phi)));
    return a;
}

// Runs with the given OpenMP thread count and restores the default after.
LwLmComplexArray Expand(LwWaveReexpansion& calc, LwWaveFunction& wave, int threads)
{
    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);
    try {
        LwLmComplexArray a = calc.CalcCoefficients(wave);
        omp_set_num_threads(saved);
        return a;
    } catch (...) {
        omp_set_num_threads(saved);
        throw;
    }
}

bool BitIdentical(const LwLmComplexArray& a, const LwLmComplexArray& b)
{
    return a.GetL() == b.GetL() &&
           std::memcmp(a.Data(), b.Data(), sizeof(LComplex) * std::size_t(a.Size())) == 0;
}

// Thread counts checked against one thread: a divisor-friendly and an odd one.
const int kThreadCounts[] = {3, 4};

// The convergence test bounds the change between two successive results,
// not the error. The rule's error falls by four whenever the theta step
// halves (every odd iteration), and the extrapolated odd-iteration results
// are far closer than the even ones, so the change is about the error of the
// result returned. Allow a few EPS.
constexpr double kEpsFactor = 4.0;

}  // namespace

struct PlaneWaveCase
{
    LwLong L;
    double theta, phi;
    double eps;
};

TEST(LwWaveReexpansion, PlaneWaveGivesFourPiILConjugateY)
{
    const PlaneWaveCase cases[] = {
        {1, 0.0, 0.0, 1e-5},  // a single sphere at the centre
        {4, 0.3, 1.1, 1e-4},
        {10, 2.2, -0.7, 1e-4},
        {16, 1.0, 2.5, 1e-3},  // two sampling spheres
        {20, Reference::Pi / 2, 0.0, 1e-3},
    };
    for (const PlaneWaveCase& c : cases) {
        SCOPED_TRACE("L = " + std::to_string(c.L) + ", theta = " + std::to_string(c.theta));
        PlaneWave wave(2.5e10, c.theta, c.phi);
        LwWaveReexpansion calc;
        calc.SetEPS(c.eps);
        calc.SetSize_l(c.L);
        const LwLmComplexArray a = Expand(calc, wave, 1);
        ASSERT_EQ(a.GetL(), c.L);
        EXPECT_GE(calc.GetIteration(), 5);
        EXPECT_LT(calc.GetAccuracy(), c.eps);
        EXPECT_LT(RelativeError(a, PlaneWaveCoefficients(c.L, c.theta, c.phi)), kEpsFactor * c.eps);
        EXPECT_EQ(calc.GetPointCount(), 1 << calc.GetIteration());
    }
}

TEST(LwWaveReexpansion, OffCentreSWaveFollowsTheAdditionTheorem)
{
    struct Case
    {
        LwLong L;
        double kd, theta, phi;
        Complex c;
    };
    // The source lies outside every sampling sphere (kr < 1.5 L).
    const Case cases[] = {
        {6, 20.0, 0.0, 0.0, {1, 0}},
        {10, 25.0, 1.2, 0.4, {0.3, -2}},
        {16, 40.0, 2.7, -2.0, {1, 1}},
    };
    const double k = 1.6e11;
    for (const Case& c : cases) {
        SCOPED_TRACE("L = " + std::to_string(c.L));
        const double d = c.kd / k;
        ShiftedSWave wave(k, Cartesian(d, c.theta, c.phi), c.c);
        LwWaveReexpansion calc;
        calc.SetEPS(1e-4);
        calc.SetSize_l(c.L);
        const LwLmComplexArray a = Expand(calc, wave, 1);
        EXPECT_LT(RelativeError(a, ShiftedSWaveCoefficients(c.L, k, d, c.theta, c.phi, c.c)),
                  kEpsFactor * 1e-4);
    }
}

TEST(LwWaveReexpansion, ResultDoesNotDependOnTheThreadCount)
{
    PlaneWave plane(2.5e10, 0.9, 0.3);
    ShiftedSWave swave(1e11, Cartesian(3e-10, 1.3, 2.9), {0.5, 0.25});
    LwWaveFunction* waves[] = {&plane, &swave};
    for (LwWaveFunction* wave : waves)
        for (LwLong L : {3, 12, 25}) {
            SCOPED_TRACE(L);
            LwWaveReexpansion calc;
            calc.SetEPS(1e-3);
            calc.SetSize_l(L);
            const LwLmComplexArray one = Expand(calc, *wave, 1);
            const LwLong iterations = calc.GetIteration();
            for (int threads : kThreadCounts) {
                SCOPED_TRACE(threads);
                const LwLmComplexArray many = Expand(calc, *wave, threads);
                EXPECT_EQ(calc.GetIteration(), iterations);
                EXPECT_TRUE(BitIdentical(one, many));
            }
        }
}

TEST(LwWaveReexpansion, ZeroWaveStopsAtTheFirstTest)
{
    ZeroWave wave;
    LwWaveReexpansion calc;
    calc.SetSize_l(10);
    const LwLmComplexArray a = Expand(calc, wave, 4);
    ASSERT_EQ(a.GetL(), 10);
    for (LwLong p = 0; p < a.Size(); ++p)
        EXPECT_EQ(a[p], LComplex(0, 0));
    EXPECT_EQ(calc.GetIteration(), 5);
}

// The grid doubling is capped: the run ends with an error that names the
// accuracy it did not reach, after a bounded number of directions.
TEST(LwWaveReexpansion, NonConvergingWaveEndsWithAnError)
{
    NoiseWave wave;
    LwWaveReexpansion calc;
    calc.SetEPS(1e-9);
    calc.SetSize_l(2);
    const std::string message = ErrorText([&] { Expand(calc, wave, 4); });
    EXPECT_NE(message.find("EPS=1e-09 not reached"), std::string::npos) << message;
    EXPECT_EQ(calc.GetIteration(), calc.GetIterationLimit() - 1);
    EXPECT_LE(calc.GetIterationLimit(), 40);
}

TEST(LwWaveReexpansion, ErrorInsideTheParallelLoopReachesTheCaller)
{
    for (int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        LwWaveReexpansion calc;
        calc.SetSize_l(6);
        FailingWave wave(false);
        EXPECT_EQ(ErrorText([&] { Expand(calc, wave, threads); }), "wave cannot be evaluated here");
        EXPECT_EQ(calc.GetIteration(), 7);
        FailingWave bare(true);
        EXPECT_EQ(BareTextOf([&] { Expand(calc, bare, threads); }),
                  std::string("wave cannot be evaluated here"));
        // The calculator stays usable.
        PlaneWave plane(2.5e10, 0.4, 0.2);
        calc.SetEPS(1e-4);
        const LwLmComplexArray a = Expand(calc, plane, threads);
        EXPECT_LT(RelativeError(a, PlaneWaveCoefficients(6, 0.4, 0.2)), kEpsFactor * 1e-4);
    }
}

TEST(LwWaveReexpansion, WaveNumberMustBePositive)
{
    struct StandingWave : ZeroWave
    {
        double GetWaveNumber() override { return 0.0; }
    } wave;
    LwWaveReexpansion calc;
    EXPECT_NE(ErrorText([&] { calc.CalcCoefficients(wave); }), "(no error)");
    EXPECT_NE(ErrorText([&] { calc.SetSize_l(0); }), "(no error)");
}

TEST(LwWaveReexpansion, RadiiFollowTheWaveNumberAndL)
{
    LwWaveReexpansion calc;
    EXPECT_EQ(calc.GetSize_l(), 1);
    EXPECT_EQ(calc.GetEPS(), 0.001);
    EXPECT_EQ(calc.GetAccuracy(), -1.0);
    calc.SetSize_l(15);
    PlaneWave slow(1e10, 0.1, 0.1), fast(4e10, 0.1, 0.1);
    calc.CalcCoefficients(slow);
    std::vector<double> radii;
    calc.GetSamplingRadii(radii);
    ASSERT_EQ(radii.size(), 2u);
    const std::vector<double> kr = calc.GetSamplingTable().GetKr();
    EXPECT_EQ(radii[1], kr[1] / 1e10);
    calc.CalcCoefficients(fast);
    calc.GetSamplingRadii(radii);
    EXPECT_EQ(radii[1], kr[1] / 4e10);
    EXPECT_EQ(calc.GetSamplingTable().GetKr(), kr);
}

TEST(LwWaveReexpansion, ExpPhiTableIsEImPhiOverRootTwoPi)
{
    LwLmComplexArray table;
    const double phi = 0.83;
    CalcExpPhiTable(table, 5, phi);
    ASSERT_EQ(table.GetL(), 5);
    for (LwLong l = 0; l < 5; ++l)
        for (LwLong m = -l; m <= l; ++m) {
            const Complex expected = std::polar(1 / std::sqrt(2 * Reference::Pi), m * phi);
            const LComplex v = table(l, m);
            EXPECT_NEAR(double(v.real()), expected.real(), 4 * kEps);
            EXPECT_NEAR(double(v.imag()), expected.imag(), 4 * kEps);
        }
}

// The whole path the scattering loop takes: a free-electron wave re-centred
// on an atom, adapted, re-expanded into a source at the atom.
namespace {

LwVectorFreeElectron AtomAndShiftedSource(const Vec3& atom, const Vec3& source, Complex c, double ek)
{
    LwVectorFreeElectron wave;
    wave.Sources().resize(2);
    wave.Sources()[0].Outgoing().SetSizeZero(2);
    wave.Sources()[0].Outgoing()(1, 0) = LComplex(1, 0);
    wave.Sources()[0].SetPosition(atom.x, atom.y, atom.z);
    wave.Sources()[1].Outgoing().SetSizeZero(1);
    wave.Sources()[1].Outgoing()(0, 0) = LComplex(c.real(), c.imag());
    wave.Sources()[1].SetPosition(source.x, source.y, source.z);
    wave.SetKineticEnergy(ek);
    return wave;
}

}  // namespace

TEST(LwWaveReexpansion, ExpandToSourceMakesTheRegularWaveAboutTheAtom)
{
    const Vec3 atom = {1e-10, -2e-10, 0.5e-10};
    const Vec3 source = {-1.5e-10, 1e-10, 2.5e-10};
    const Complex c(0.7, -0.2);
    LwVectorFreeElectron wave = AtomAndShiftedSource(atom, source, c, 250.0);
    LwVectorFreeElectron incident;
    wave.Recentre(incident, 0);
    ASSERT_EQ(incident.Sources().size(), 1u);

    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&incident);
    LwWaveReexpansion calc;
    calc.SetEPS(1e-4);
    calc.SetSize_l(12);
    LwPartialWaveSource target;
    target.SetPosition(5, 5, 5);
    calc.ExpandToSource(target, adapter);

    EXPECT_EQ(target.GetKineticEnergy(), 250.0);
    EXPECT_EQ(target.GetWaveNumber(), incident.Sources()[0].GetWaveNumber());
    EXPECT_EQ(target.X(), 0.0);
    EXPECT_EQ(target.Y(), 0.0);
    EXPECT_EQ(target.Z(), 0.0);
    ASSERT_EQ(target.Outgoing().GetL(), 12);
    ASSERT_EQ(target.Incoming().GetL(), 12);
    for (LwLong p = 0; p < target.Outgoing().Size(); ++p)
        EXPECT_EQ(target.Outgoing()[p], target.Incoming()[p]);

    // a_lm = 2 c_lm against the addition theorem for d = source - atom.
    const Vec3 d = {source.x - atom.x, source.y - atom.y, source.z - atom.z};
    const double dist = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    const double k = target.GetWaveNumber();
    ASSERT_GT(k * dist, 1.5 * 12) << "the source must lie outside the sampling spheres";
    LwLmComplexArray a;
    a.SetSize(12);
    for (LwLong p = 0; p < a.Size(); ++p)
        a[p] = LDouble(2) * target.Outgoing()[p];
    EXPECT_LT(RelativeError(
                  a, ShiftedSWaveCoefficients(12, k, dist, std::acos(d.z / dist), std::atan2(d.y, d.x), c)),
              kEpsFactor * 1e-4);

    // The target reproduces the incident wave near the atom ...
    for (double r : {0.2e-10, 0.6e-10})
        for (double theta : {0.5, 2.0}) {
            SCOPED_TRACE(r);
            const LComplex expected = incident.GetValueRThetaPhi(r, theta, 1.0);
            const LComplex value = target.GetValueRThetaPhi(r, theta, 1.0);
            EXPECT_LT(std::abs(value - expected), 1e-3 * std::abs(expected));
        }
    // ... and is 0 at k r < 0.001, as every source is.
    EXPECT_EQ(target.GetValueLocal(0.0009 / k, 0.3, 0.3), LComplex(0, 0));
}

TEST(LwWaveReexpansion, PlaneWaveSourceThroughTheAdapter)
{
    LwVectorFreeElectron wave;
    wave.Sources().resize(1);
    wave.SetKineticEnergy(800.0);
    LwLDoubleMatrix direction(3);
    direction[0] = 0.3;
    direction[1] = -0.5;
    direction[2] = 0.8;
    wave.Sources()[0].SetPlaneWave(direction, LComplex(1, 0));
    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&wave);
    LwWaveReexpansion calc;
    calc.SetEPS(1e-4);
    calc.SetSize_l(8);
    const LwLmComplexArray a = calc.CalcCoefficients(adapter);
    const double theta = std::acos(0.8 / std::sqrt(0.98));
    const double phi = std::atan2(-0.5, 0.3);
    EXPECT_LT(RelativeError(a, PlaneWaveCoefficients(8, theta, phi)), kEpsFactor * 1e-4);
}

// Several sources with many coefficients: the realistic hot loop, at one and
// at several threads, bit for bit.
TEST(LwWaveReexpansion, MultiSourceWaveIsThreadCountIndependent)
{
    LwVectorFreeElectron wave;
    const int sources = 5;
    wave.Sources().resize(sources);
    for (int s = 0; s < sources; ++s) {
        LwLmComplexArray& c = wave.Sources()[std::size_t(s)].Outgoing();
        c.SetSizeZero(6);
        for (LwLong p = 0; p < c.Size(); ++p)
            c[p] = LComplex(std::sin(1.0 + p + s), std::cos(2.0 * p - s));
        wave.Sources()[std::size_t(s)].SetPosition(2e-10 * std::cos(s), 3e-10 * std::sin(s), 1e-10 * (s - 2));
    }
    wave.SetKineticEnergy(150.0);
    LwWaveVectorFreeElectron adapter;
    adapter.Attach(&wave);
    LwWaveReexpansion calc;
    calc.SetEPS(1e-2);
    calc.SetSize_l(10);
    const LwLmComplexArray one = Expand(calc, adapter, 1);
    for (int threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        EXPECT_TRUE(BitIdentical(one, Expand(calc, adapter, threads)));
    }
}
