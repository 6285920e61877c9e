// Associated Legendre functions, their normalisation and Y_lm, checked
// against Boost.Math evaluated in long double, closed forms, symmetries and
// orthonormality by quadrature.
#include "physics/LwSphericalHarmonics.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <boost/math/special_functions/spherical_harmonic.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <string>
#include <vector>

namespace {
using Ref = long double;
using RefComplex = std::complex<Ref>;

// Y_lm carries 1/sqrt(2 pi) from a double constant: double precision at
// best, in either build. The Legendre values alone follow LDouble.
constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr LDouble kLegendreEps = std::numeric_limits<LDouble>::epsilon();
// The recurrences over l <= 60 lose about three digits at worst.
constexpr double kAgreement = 1e-12;
// Below this the reference is outside the normal range of double: our values
// may underflow to 0 there.
constexpr Ref kUnderflow = 1e-290L;
constexpr LwLong kMaxL = 61;  // l <= 60

RefComplex BoostY(LwLong l, LwLong m, Ref theta, Ref phi)
{
    return boost::math::spherical_harmonic<Ref>(static_cast<unsigned>(l), m, theta, phi);
}

// Near a zero of Y_lm the relative error is meaningless; the recurrence in l
// errs relative to the local size of the functions of the same m, which the
// neighbours l - 1, l + 1 give (their zeros interlace with those of l).
Ref LocalScale(LwLong l, LwLong m, Ref theta)
{
    Ref scale = std::abs(BoostY(l, m, theta, 0));
    if (l - 1 >= std::abs(m))
        scale = std::max(scale, std::abs(BoostY(l - 1, m, theta, 0)));
    scale = std::max(scale, std::abs(BoostY(l + 1, m, theta, 0)));
    return scale;
}

const double kThetas[] = {1e-6, 1e-3, 0.3, 1.0, 1.5707963267948966, 2.0, 2.5, 3.14159, 3.1415926535897931};
const double kPhis[] = {0.0, 0.7, -2.2, 4.0};
}  // namespace

TEST(LwSphericalHarmonics, AgreesWithBoostUpToL60)
{
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    for (double theta : kThetas)
        for (double phi : kPhis) {
            CalcSphericalHarmonics(cache, Y, kMaxL, theta, phi);
            double worst = 0;
            std::string worstCase = "none";
            for (LwLong l = 0; l < kMaxL; ++l)
                for (LwLong m = -l; m <= l; ++m) {
                    const RefComplex ref = BoostY(l, m, theta, phi);
                    const RefComplex ours(Y(l, m).real(), Y(l, m).imag());
                    if (std::abs(ref) < kUnderflow) {
                        EXPECT_LT(std::abs(ours), 1e-280) << "l=" << l << " m=" << m;
                        continue;
                    }
                    const double err = static_cast<double>(std::abs(ours - ref) / LocalScale(l, m, theta));
                    if (err > worst) {
                        worst = err;
                        worstCase = "l=" + std::to_string(l) + " m=" + std::to_string(m);
                    }
                }
            EXPECT_LT(worst, kAgreement) << "theta=" << theta << " phi=" << phi << " worst at " << worstCase;
        }
}

TEST(LwSphericalHarmonics, NormalizedLegendreAgreesWithBoost)
{
    // N(l, m) P(l, m)(cos theta) = sqrt(2 pi) Y_lm(theta, 0).
    LwLmDoubleArray cache, Pn;
    for (double theta : kThetas) {
        CalcNormalizedLegendre(cache, Pn, kMaxL, theta);
        for (LwLong l = 0; l < kMaxL; ++l)
            for (LwLong m = -l; m <= l; ++m) {
                const Ref ref = std::sqrt(2 * Reference::PiLong) * BoostY(l, m, theta, 0).real();
                if (std::abs(ref) < kUnderflow)
                    continue;
                const Ref err = std::abs(static_cast<Ref>(Pn(l, m)) - ref) /
                                (std::sqrt(2 * Reference::PiLong) * LocalScale(l, m, theta));
                ASSERT_LT(static_cast<double>(err), kAgreement)
                    << "theta=" << theta << " l=" << l << " m=" << m;
            }
    }
}

TEST(LwSphericalHarmonics, NormalizationMatchesTheFactorialFormula)
{
    // Independent of the recursion: (l-|m|)!/(l+|m|)! through lgamma.
    LwLmDoubleArray N;
    CalcLegendreNormalization(N, kMaxL);
    for (LwLong l = 0; l < kMaxL; ++l)
        for (LwLong m = -l; m <= l; ++m) {
            const LwLong a = std::abs(m);
            Ref ref = std::sqrt((2 * l + 1) / 2.0L *
                                std::exp(std::lgamma(Ref(l - a + 1)) - std::lgamma(Ref(l + a + 1))));
            if (m > 0 && m % 2 != 0)
                ref = -ref;
            EXPECT_NEAR(static_cast<double>((N(l, m) - ref) / ref), 0, 1e-13) << "l=" << l << " m=" << m;
        }
}

TEST(LwSphericalHarmonics, OrthonormalOverTheSphere)
{
    // Gauss-Legendre in cos(theta) (n nodes are exact to degree 2n-1) times
    // the trapezoidal rule in phi (exact for |m - m'| < number of points).
    constexpr LwLong L = 16;
    constexpr int nTheta = L + 1;
    constexpr int nPhi = 2 * L + 1;
    std::vector<Ref> nodes(nTheta), weights(nTheta);
    for (int i = 0; i < nTheta; ++i) {
        Ref z = std::cos(Reference::PiLong * (i + 0.75L) / (nTheta + 0.5L));
        for (int it = 0; it < 100; ++it) {
            Ref p0 = 1, p1 = z;
            for (int k = 2; k <= nTheta; ++k) {
                const Ref p2 = ((2 * k - 1) * z * p1 - (k - 1) * p0) / k;
                p0 = p1;
                p1 = p2;
            }
            const Ref dp = nTheta * (z * p1 - p0) / (z * z - 1);
            const Ref dz = p1 / dp;
            z -= dz;
            if (std::abs(dz) < 1e-19L) {
                nodes[i] = z;
                weights[i] = 2 / ((1 - z * z) * dp * dp);
                break;
            }
        }
    }

    std::vector<LwLmComplexArray> samples;
    std::vector<Ref> w;
    LwLmDoubleArray cache;
    for (int i = 0; i < nTheta; ++i)
        for (int j = 0; j < nPhi; ++j) {
            samples.emplace_back();
            CalcSphericalHarmonics(cache, samples.back(), L, std::acos(nodes[i]),
                                   2 * Reference::PiLong * j / nPhi);
            w.push_back(weights[i] * 2 * Reference::PiLong / nPhi);
        }
    const LwLong n = L * L;
    for (LwLong a = 0; a < n; ++a)
        for (LwLong b = 0; b < n; ++b) {
            RefComplex sum = 0;
            for (std::size_t s = 0; s < samples.size(); ++s)
                sum += w[s] * RefComplex(samples[s][a].real(), samples[s][a].imag()) *
                       std::conj(RefComplex(samples[s][b].real(), samples[s][b].imag()));
            const Ref expected = (a == b) ? 1 : 0;
            ASSERT_LT(static_cast<double>(std::abs(sum - expected)), 1e-13) << "positions " << a << ", " << b;
        }
}

TEST(LwSphericalHarmonics, PoleAndEquatorValues)
{
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, 12, 0.0, 0.4);
    for (LwLong l = 0; l < 12; ++l)
        for (LwLong m = -l; m <= l; ++m) {
            if (m == 0)
                EXPECT_NEAR(Y(l, 0).real(), std::sqrt((2 * l + 1) / (4 * M_PI)), 4 * kEps) << "l=" << l;
            else
                EXPECT_EQ(std::abs(Y(l, m)), 0) << "l=" << l << " m=" << m;
        }
    EXPECT_NEAR(Y(0, 0).real(), 1 / std::sqrt(4 * M_PI), 2 * kEps);

    CalcSphericalHarmonics(cache, Y, 2, M_PI / 2, 0.0);
    EXPECT_NEAR(Y(1, 1).real(), -std::sqrt(3 / (8 * M_PI)), 4 * kEps);  // Condon-Shortley phase
    EXPECT_NEAR(Y(1, -1).real(), std::sqrt(3 / (8 * M_PI)), 4 * kEps);
    EXPECT_NEAR(Y(1, 1).imag(), 0, 4 * kEps);
}

TEST(LwSphericalHarmonics, NegativeMIsConjugateWithSign)
{
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    CalcSphericalHarmonics(cache, Y, 20, 1.1, -0.9);
    for (LwLong l = 0; l < 20; ++l)
        for (LwLong m = 1; m <= l; ++m) {
            const LComplex expected = ((m % 2) ? LDouble(-1) : LDouble(1)) * std::conj(Y(l, m));
            EXPECT_NEAR(std::abs(Y(l, -m) - expected), 0, 4 * kEps * std::abs(expected))
                << "l=" << l << " m=" << m;
        }
}

TEST(LwSphericalHarmonics, LegendreOfNegativeMEqualsPositiveM)
{
    // No (l-m)!/(l+m)! factor for m < 0; the normalised values then differ
    // by (-1)^m only.
    LwLmDoubleArray P, Pn, cache;
    CalcAssociatedLegendre(P, 15, 0.8);
    CalcNormalizedLegendre(cache, Pn, 15, 0.8);
    for (LwLong l = 0; l < 15; ++l)
        for (LwLong m = 1; m <= l; ++m) {
            EXPECT_EQ(P(l, -m), P(l, m));
            EXPECT_EQ(Pn(l, -m), (m % 2 ? -1 : 1) * Pn(l, m));
        }
    // Closed forms without Condon-Shortley phase: P_1^1 = sin, P_2^1 = 3 cos sin, P_2^2 = 3 sin^2.
    const LDouble s = std::sin(LDouble(0.8)), c = std::cos(LDouble(0.8));
    EXPECT_NEAR(P(1, 1), s, 2 * kLegendreEps);
    EXPECT_NEAR(P(2, 1), 3 * c * s, 8 * kLegendreEps);
    EXPECT_NEAR(P(2, 2), 3 * s * s, 8 * kLegendreEps);
    EXPECT_NEAR(P(2, 0), (3 * c * c - 1) / 2, 8 * kLegendreEps);
}

TEST(LwSphericalHarmonics, SineIsTakenFromThetaBeyondPi)
{
    // For theta in (pi, 2 pi) sin(theta) < 0: P_l^l changes sign with l odd.
    LwLmDoubleArray P;
    CalcAssociatedLegendre(P, 4, 4.0);
    EXPECT_LT(P(1, 1), 0);
    EXPECT_NEAR(P(1, 1), std::sin(LDouble(4.0)), 2 * kLegendreEps);
    EXPECT_GT(P(2, 2), 0);
}

TEST(LwSphericalHarmonics, CacheGrowsOnlyWhenAskedForMore)
{
    LwLmDoubleArray cache, Pn;
    CalcNormalizedLegendre(cache, Pn, 10, 0.5);
    ASSERT_EQ(cache.GetL(), 10);
    const LDouble* buffer = cache.Data();
    CalcNormalizedLegendre(cache, Pn, 4, 0.5);
    EXPECT_EQ(cache.GetL(), 10);
    EXPECT_EQ(cache.Data(), buffer);
    EXPECT_EQ(Pn.GetL(), 4);
    CalcNormalizedLegendre(cache, Pn, 12, 0.5);
    EXPECT_EQ(cache.GetL(), 12);

    // The cached factors are the ones a fresh table holds.
    LwLmDoubleArray fresh;
    CalcLegendreNormalization(fresh, 12);
    for (LwLong k = 0; k < 144; ++k)
        EXPECT_EQ(cache[k], fresh[k]);
}

TEST(LwSphericalHarmonics, ZeroLIsRejected)
{
    LwLmDoubleArray cache, P;
    LwLmComplexArray Y;
    EXPECT_EQ(ErrorText([&] { CalcAssociatedLegendre(P, 0, 0.1); }), "Illegal l value");
    EXPECT_EQ(ErrorText([&] { CalcNormalizedLegendre(cache, P, 0, 0.1); }), "Illegal l value");
    EXPECT_EQ(ErrorText([&] { CalcSphericalHarmonics(cache, Y, 0, 0.1, 0.2); }), "Illegal l value");
}

TEST(LwSphericalHarmonics, OrdersBeyondTheRangeFailInsteadOfOverflowing)
{
    // Independent bounds from lgamma: P(l, l) at the equator is (2l-1)!!,
    // which must stay below the largest value of the type, and the smallest
    // normalisation factor, sqrt(1/(2l)!) before its (2l+1)/2, must stay a
    // normal number.
    const Ref logMin = std::log(static_cast<Ref>(std::numeric_limits<LDouble>::min()));
    const Ref logMax = std::log(static_cast<Ref>(std::numeric_limits<LDouble>::max()));
    auto logDoubleFactorial = [](LwLong l) {  // log (2l-1)!!
        return std::lgamma(Ref(2 * l + 1)) - l * std::log(2.0L) - std::lgamma(Ref(l + 1));
    };
    LwLong lastP = 0, lastN = 0;
    while (logDoubleFactorial(lastP + 1) < logMax)
        ++lastP;
    while (-std::lgamma(Ref(2 * (lastN + 1) + 1)) / 2 > logMin)
        ++lastN;
    SCOPED_TRACE("largest l: " + std::to_string(lastP) + " for P, " + std::to_string(lastN) + " for N");

    LwLmDoubleArray P, N;
    CalcAssociatedLegendre(P, lastP + 1, M_PI / 2);
    for (LwLong k = 0; k < P.Size(); ++k)
        ASSERT_TRUE(std::isfinite(P[k])) << "position " << k;
    EXPECT_NEAR(static_cast<double>(std::log(static_cast<Ref>(P(lastP, lastP))) / logDoubleFactorial(lastP)),
                1.0, 1e-14);
    EXPECT_EQ(ErrorText([&] { CalcAssociatedLegendre(P, lastP + 2, M_PI / 2); }), kLegendreOrderTooHigh);
    EXPECT_EQ(P.GetL(), 0);  // no table of infinities is handed out

    CalcLegendreNormalization(N, lastN + 1);
    EXPECT_NE(N(lastN, lastN), 0);
    EXPECT_EQ(ErrorText([&] { CalcLegendreNormalization(N, lastN + 2); }), kLegendreOrderTooHigh);
    EXPECT_EQ(N.GetL(), 0);  // no half-built cache is left behind

    const LwLong beyond = std::min(lastP, lastN) + 2;
    LwLmDoubleArray cache;
    LwLmComplexArray Y;
    EXPECT_EQ(ErrorText([&] { CalcSphericalHarmonics(cache, Y, beyond, M_PI / 2, 0.0); }),
              kLegendreOrderTooHigh);
    EXPECT_EQ(ErrorText([&] { CalcSphericalHarmonics(cache, Y, beyond + 40, 1.0, 0.0); }),
              kLegendreOrderTooHigh);
}
