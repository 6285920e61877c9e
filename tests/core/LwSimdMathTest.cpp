// The branch-free sin, cos and exp against the 80-bit library functions
// (sinl, cosl, expl rounded to double), over the ranges the far-field sums
// use and at the ends of the documented ranges; the worst error in units in
// the last place is reported.
#include "core/LwSimdMath.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

// Error of `value` in units of the last place of the reference. Near a zero
// of sin or cos the absolute error counts, in units of the last place of 1
// times |x|'s own (the reduction by pi/2 is exact to that).
double Ulps(double value, long double reference, double absoluteUnit)
{
    const double ref = static_cast<double>(reference);
    const double unit = std::max(std::abs(ref) * std::numeric_limits<double>::epsilon(), absoluteUnit);
    return std::abs(static_cast<long double>(value) - reference) / unit;
}

struct Range
{
    const char* name;
    double low, high;
    double maxUlps;
};

// Checks error(x), in units in the last place, on 200000 random x of each
// range against the range's bound, and names the worst x.
template <std::size_t N, class Error>
void ExpectWithinRanges(const Range (&ranges)[N], unsigned seed, Error error)
{
    std::mt19937_64 random(seed);
    for (const Range& r : ranges) {
        SCOPED_TRACE(r.name);
        std::uniform_real_distribution<double> x(r.low, r.high);
        double worst = 0, worstX = 0;
        for (int n = 0; n < 200000; ++n) {
            const double v = x(random);
            const double e = error(v);
            if (e > worst) {
                worst = e;
                worstX = v;
            }
        }
        EXPECT_LE(worst, r.maxUlps) << "worst at x = " << worstX;
    }
}

}  // namespace

TEST(LwSimdMath, SinCosAgreeWithTheLibrary)
{
    // The far-field phases k d reach a few hundred; the reduction is
    // documented up to 2^20 pi/2.
    const Range ranges[] = {
        {"small", -1e-8, 1e-8, 1},
        {"first quadrants", -3.2, 3.2, 2},
        {"phases of a cluster", -400, 400, 2},
        {"large", -1.5e6, 1.5e6, 2},
    };
    ExpectWithinRanges(ranges, 11, [](double v) {
        double s, c;
        lw_simd::SinCos(v, s, c);
        // Absolute unit: the rounding of the reduced argument, ~eps * |x|
        // relative to 1, for arguments near a multiple of pi/2.
        const double unit = std::numeric_limits<double>::epsilon() * std::max(1.0, std::abs(v) * 1e-6);
        return std::max(Ulps(s, std::sin(static_cast<long double>(v)), unit),
                        Ulps(c, std::cos(static_cast<long double>(v)), unit));
    });
    // Exact values and signs in every quadrant.
    const double quarter = Reference::Pi / 2;
    for (int q = -8; q <= 8; ++q) {
        double s, c;
        lw_simd::SinCos(q * quarter + 0.25, s, c);
        EXPECT_NEAR(s, std::sin(q * quarter + 0.25), 4e-16) << "quadrant " << q;
        EXPECT_NEAR(c, std::cos(q * quarter + 0.25), 4e-16) << "quadrant " << q;
    }
    double s, c;
    lw_simd::SinCos(0, s, c);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(c, 1);
}

TEST(LwSimdMath, ExpAgreesWithTheLibrary)
{
    const Range ranges[] = {
        {"thermal factors", -12, 1, 2},
        {"near 0", -1e-6, 1e-6, 1},
        {"whole range", -708, 709, 2},
    };
    ExpectWithinRanges(
        ranges, 3, [](double v) { return Ulps(lw_simd::Exp(v), std::exp(static_cast<long double>(v)), 0); });
    EXPECT_EQ(lw_simd::Exp(0), 1);
    EXPECT_DOUBLE_EQ(lw_simd::Exp(1), 2.718281828459045);
    // The ends of the range: normal numbers, to the last place.
    EXPECT_LE(Ulps(lw_simd::Exp(-708), std::exp(-708.0L), 0), 2);
    EXPECT_LE(Ulps(lw_simd::Exp(709), std::exp(709.0L), 0), 2);
}
