// Spherical Bessel and Neumann functions, checked against Boost.Math in long
// double, closed forms, the Wronskian identity and the overflow markers.
#include "physics/LwSphericalBesselTable.h"

#include <boost/math/special_functions/bessel.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {
using Ref = long double;
using Hankel = std::vector<std::complex<double>>;

constexpr double kMarker = LwSphericalBesselTable::kNeumannMarker;
constexpr double kEps = std::numeric_limits<double>::epsilon();
// Recurrences over l <= 60 and Boost's own evaluation leave a few hundred ulp.
constexpr double kAgreement = 1e-12;
constexpr LwLong kMaxL = 61;  // l <= 60

Ref BoostJ(LwLong l, Ref x)
{
    return boost::math::sph_bessel<Ref>(static_cast<unsigned>(l), x);
}
Ref BoostN(LwLong l, Ref x)
{
    return boost::math::sph_neumann<Ref>(static_cast<unsigned>(l), x);
}

// j_l and n_l have no zeros below x = l + 1/2: there the error is relative.
// Beyond, near a zero, it is measured against the neighbouring orders, whose
// zeros interlace with those of l.
template <typename F>
Ref Scale(F f, LwLong l, Ref x)
{
    Ref scale = std::fabs(f(l, x));
    if (x > l + 0.5L) {
        scale = std::max(scale, std::fabs(f(l + 1, x)));
        if (l > 0)
            scale = std::max(scale, std::fabs(f(l - 1, x)));
    }
    return scale;
}

// Arguments from 1e-6 to 100: a logarithmic sweep plus values at the
// switch between the series and the closed form.
std::vector<double> Arguments()
{
    std::vector<double> xs;
    for (int k = 0; k <= 64; ++k)
        xs.push_back(1e-6 * std::pow(10.0, 8.0 * k / 64));
    xs.push_back(0.1);
    xs.push_back(std::nextafter(0.1, 0.0));
    xs.push_back(0.5);
    xs.push_back(3.0);
    return xs;
}

// The first order that carries the marker, or L when none does.
LwLong FirstMarkedOrder(const Hankel& h)
{
    for (std::size_t l = 0; l < h.size(); ++l)
        if (h[l].imag() == kMarker)
            return static_cast<LwLong>(l);
    return static_cast<LwLong>(h.size());
}
}  // namespace

TEST(LwSphericalBesselTable, AgreesWithBoostUpToL60)
{
    LwSphericalBesselTable table;
    Hankel h;
    for (double x : Arguments()) {
        table.Set(kMaxL, x);
        table.GetHankelPlus(h);
        ASSERT_EQ(h.size(), static_cast<std::size_t>(kMaxL));
        const LwLong marked = FirstMarkedOrder(h);
        double worstJ = 0, worstN = 0;
        LwLong atJ = -1, atN = -1;
        for (LwLong l = 0; l < kMaxL; ++l) {
            if (l > marked) {
                EXPECT_EQ(h[l].real(), 0) << "x=" << x << " l=" << l;
                EXPECT_EQ(h[l].imag(), kMarker) << "x=" << x << " l=" << l;
                continue;
            }
            const double errJ =
                static_cast<double>(std::fabs(h[l].real() - BoostJ(l, x)) / Scale(BoostJ, l, x));
            if (errJ > worstJ) {
                worstJ = errJ;
                atJ = l;
            }
            if (l == marked) {
                // The marker replaces a value that is at least that large.
                EXPECT_GE(std::fabs(BoostN(l, x)), kMarker * (1 - 1e-12)) << "x=" << x << " l=" << l;
                continue;
            }
            const double errN =
                static_cast<double>(std::fabs(h[l].imag() - BoostN(l, x)) / Scale(BoostN, l, x));
            if (errN > worstN) {
                worstN = errN;
                atN = l;
            }
        }
        EXPECT_LT(worstJ, kAgreement) << "x=" << x << " worst j at l=" << atJ;
        EXPECT_LT(worstN, kAgreement) << "x=" << x << " worst n at l=" << atN;
    }
}

TEST(LwSphericalBesselTable, WronskianHolds)
{
    // j_l n_{l-1} - j_{l-1} n_l = 1/x^2, independent of any reference.
    LwSphericalBesselTable table;
    Hankel h;
    for (double x : Arguments()) {
        table.Set(kMaxL, x);
        table.GetHankelPlus(h);
        const LwLong marked = FirstMarkedOrder(h);
        for (LwLong l = 1; l < marked; ++l) {
            const Ref w = static_cast<Ref>(h[l].real()) * h[l - 1].imag() -
                          static_cast<Ref>(h[l - 1].real()) * h[l].imag();
            ASSERT_NEAR(static_cast<double>(w * x * x), 1.0, kAgreement) << "x=" << x << " l=" << l;
        }
    }
}

TEST(LwSphericalBesselTable, ZeroArgumentCarriesTheMarker)
{
    LwSphericalBesselTable table;
    Hankel plus, minus;
    for (double x : {0.0, 1e-18, 5e-19}) {
        SCOPED_TRACE("x=" + std::to_string(x));
        table.Set(5, x);
        table.GetHankel(plus, minus);
        ASSERT_EQ(plus.size(), 5u);
        EXPECT_EQ(plus[0], std::complex<double>(1, kMarker));  // h+_0 = 1 + 1e55 i
        for (LwLong l = 1; l < 5; ++l) {
            EXPECT_EQ(plus[l], std::complex<double>(0, kMarker));
            EXPECT_EQ(minus[l], std::complex<double>(0, -kMarker));
        }
    }
}

TEST(LwSphericalBesselTable, LowOrdersMatchTheirClosedForms)
{
    // Closed forms evaluated in long double. N = 1 takes the direct
    // evaluation of j_0, j_1 (series below 0.1); larger N the normalised
    // Miller recurrence.
    std::vector<double> j, n;
    for (double x : {0.05, 0.5, 1.7, 40.0})
        for (LwLong N : {1, 2, 8}) {
            SCOPED_TRACE("x=" + std::to_string(x) + " N=" + std::to_string(N));
            j.assign(N + 2, 0.0);
            n.assign(N + 2, 0.0);
            LwSphericalBesselTable::Compute(N, x, j, n);
            const Ref X = x;
            const Ref j0 = std::sin(X) / X;
            const Ref j1 = std::sin(X) / (X * X) - std::cos(X) / X;
            const Ref n0 = -std::cos(X) / X;
            const Ref n1 = -std::cos(X) / (X * X) - std::sin(X) / X;
            EXPECT_LE(std::fabs((j[1] - j0) / j0), 4 * kEps);
            EXPECT_LE(std::fabs((j[2] - j1) / j1), 8 * kEps);
            EXPECT_LE(std::fabs((n[1] - n0) / n0), 4 * kEps);
            EXPECT_LE(std::fabs((n[2] - n1) / n1), 8 * kEps);
            EXPECT_EQ(j[0], 0);  // position 0 is never written
        }
}

TEST(LwSphericalBesselTable, SeriesAndClosedFormMeetAtPointOne)
{
    std::vector<double> below(3), at(3), nBelow(3), nAt(3);
    LwSphericalBesselTable::Compute(1, std::nextafter(0.1, 0.0), below, nBelow);  // power series
    LwSphericalBesselTable::Compute(1, 0.1, at, nAt);  // sin x / x
    EXPECT_NEAR(below[1], at[1], 4 * kEps);
    // j_1 = j_0/x - cos x/x cancels about three digits in the closed form.
    EXPECT_NEAR(below[2] / at[2], 1.0, 1e-13);
    // Through the table: L = 1 hands out j_0 alone.
    LwSphericalBesselTable table;
    std::vector<double> j;
    table.Set(1, 0.1);
    table.GetJ(j);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0], at[1]);
}

TEST(LwSphericalBesselTable, TenAndTwentyOrdersToMachinePrecision)
{
    // The Miller start lies beyond N, so the steep orders l > x are exact too.
    LwSphericalBesselTable table;
    std::vector<double> j;
    table.Set(21, 10.0);
    table.GetJ(j);
    for (LwLong l = 0; l <= 20; ++l)
        EXPECT_LE(static_cast<double>(std::fabs((j[l] - BoostJ(l, 10)) / Scale(BoostJ, l, 10))), 4e-15)
            << "l=" << l;
}

TEST(LwSphericalBesselTable, SmallArgumentOverflowsTheNeumannRecurrence)
{
    LwSphericalBesselTable table;
    Hankel h;
    table.Set(21, 0.001);
    table.GetHankelPlus(h);
    EXPECT_NEAR(h[13].imag() / static_cast<double>(BoostN(13, 0.001L)), 1.0, 1e-13);
    EXPECT_NEAR(h[13].imag(), -7.9e54, 0.01e54);
    for (LwLong l = 14; l <= 20; ++l)
        EXPECT_EQ(h[l].imag(), kMarker) << "l=" << l;
    for (LwLong l = 15; l <= 20; ++l)
        EXPECT_EQ(h[l].real(), 0) << "l=" << l;
    // j_14 from its series, the lower orders downward from it.
    for (LwLong l = 0; l <= 14; ++l)
        EXPECT_NEAR(h[l].real() / static_cast<double>(BoostJ(l, 0.001L)), 1.0, 1e-14) << "l=" << l;
}

TEST(LwSphericalBesselTable, GettersHandOutLValues)
{
    LwSphericalBesselTable table;
    EXPECT_EQ(table.GetLmax(), -1);
    table.Set(1, 2.0);
    EXPECT_EQ(table.GetLmax(), 0);
    EXPECT_EQ(table.GetX(), 2.0);
    std::vector<double> j;
    Hankel plus, minus;
    table.GetJ(j);
    table.GetHankelPlus(plus);
    table.GetHankelMinus(minus);
    ASSERT_EQ(j.size(), 1u);
    ASSERT_EQ(plus.size(), 1u);
    ASSERT_EQ(minus.size(), 1u);
    // h+_0(x) = -i e^{ix} / x; h- is its conjugate.
    const std::complex<double> expected =
        std::complex<double>(0, -1) * std::exp(std::complex<double>(0, 2.0)) / 2.0;
    EXPECT_NEAR(std::abs(plus[0] - expected), 0, 4 * kEps);
    EXPECT_EQ(minus[0], std::conj(plus[0]));

    table.Clear();
    EXPECT_EQ(table.GetLmax(), -1);
    table.GetJ(j);
    EXPECT_TRUE(j.empty());
}

TEST(LwSphericalBesselTable, HankelMinusFlipsTheMarkerSign)
{
    LwSphericalBesselTable table;
    Hankel plus, minus;
    table.Set(12, 1e-4);
    table.GetHankel(plus, minus);
    const LwLong marked = FirstMarkedOrder(plus);
    ASSERT_LT(marked, 12);
    EXPECT_EQ(minus[marked], std::complex<double>(plus[marked].real(), -kMarker));
    Hankel alone;
    table.GetHankelMinus(alone);
    EXPECT_EQ(alone, minus);
}

TEST(LwSphericalBesselTable, ReusedTableGivesTheSameValuesAsAFreshOne)
{
    // One object for many points, L shrinking and growing.
    LwSphericalBesselTable reused;
    std::vector<double> a, b;
    for (LwLong L : {30, 5, 41, 2}) {
        for (double x : {0.02, 7.0, 55.0}) {
            reused.Set(L, x);
            LwSphericalBesselTable fresh;
            fresh.Set(L, x);
            reused.GetJ(a);
            fresh.GetJ(b);
            EXPECT_EQ(a, b) << "L=" << L << " x=" << x;
        }
    }
}

TEST(LwSphericalBesselTable, LargeArgumentsAgreeWithBoost)
{
    // Arguments far beyond any k r of a cluster (a source evaluated metres
    // away) must still give finite, correct values, quickly.
    for (double x : {2.0e3, 1.0e6, 1.0e11}) {
        for (LwLong L : {2, 12, 40}) {
            SCOPED_TRACE("x=" + std::to_string(x) + " L=" + std::to_string(L));
            LwSphericalBesselTable t;
            t.Set(L, x);
            std::vector<std::complex<double>> plus;
            t.GetHankelPlus(plus);
            ASSERT_EQ(plus.size(), static_cast<size_t>(L));
            for (LwLong l = 0; l < L; ++l) {
                const double j = boost::math::sph_bessel(l, x);
                const double n = boost::math::sph_neumann(l, x);
                // Absolute error relative to the amplitude 1/x of both functions.
                EXPECT_NEAR(plus[l].real() * x, j * x, 1e-9) << l;
                EXPECT_NEAR(plus[l].imag() * x, n * x, 1e-9) << l;
            }
        }
    }
}

// The upward recurrence of h+_l against Boost over k r = 0.001 ... 1500 and
// l <= 60: the complex relative error |h - h_ref| / |h_ref| stays small at
// every order it hands out, and it declines exactly where some n_l of the
// requested orders reaches the marker.
TEST(LwSphericalBesselTable, UpwardHankelAgreesWithBoost)
{
    std::vector<double> xs;
    for (int k = 0; k <= 72; ++k)
        xs.push_back(1e-3 * std::pow(10.0, 6.0 * k / 72));  // 0.001 ... 1000
    for (double x : {0.0999, 0.1, 1.0 / 3, 11.5, 60.5, 1234.5678, 1500.0})
        xs.push_back(x);
    double worst = 0;
    double worstX = 0;
    LwLong worstL = -1;
    for (double x : xs) {
        for (LwLong L : {1, 2, 12, kMaxL}) {
            Hankel h(static_cast<std::size_t>(L));
            const bool done = LwSphericalBesselTable::OutgoingHankelUpward(L, x, h.data());
            // |n_l| grows with l: the highest order decides.
            const bool overflows = std::fabs(BoostN(L - 1, x)) >= kMarker * (1 - 1e-12);
            ASSERT_EQ(done, !overflows) << "x=" << x << " L=" << L;
            if (!done)
                continue;
            for (LwLong l = 0; l < L; ++l) {
                const std::complex<Ref> ref(BoostJ(l, x), BoostN(l, x));
                const std::complex<Ref> got(h[std::size_t(l)].real(), h[std::size_t(l)].imag());
                const double err = static_cast<double>(std::abs(got - ref) / std::abs(ref));
                if (err > worst) {
                    worst = err;
                    worstX = x;
                    worstL = l;
                }
            }
        }
    }
    // Each step of the recurrence adds a rounding of the order of eps to a
    // growing solution; 60 steps and Boost's own error stay below 64 eps.
    EXPECT_LT(worst, 64 * kEps) << "worst at x=" << worstX << " l=" << worstL;
    std::printf("upward h+: worst relative error %.3g eps at x=%g l=%ld\n", worst / kEps, worstX,
                static_cast<long>(worstL));

    Hankel h(3);
    EXPECT_FALSE(LwSphericalBesselTable::OutgoingHankelUpward(3, 0.0, h.data()));
    EXPECT_FALSE(LwSphericalBesselTable::OutgoingHankelUpward(3, -1.0, h.data()));
    EXPECT_TRUE(LwSphericalBesselTable::OutgoingHankelUpward(0, 1.0, h.data()));
}
