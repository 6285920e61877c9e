// The interpolating cubic spline against polynomials it must reproduce exactly
// and against a smooth function it must approximate to fourth order.
#include "core/LwError.h"
#include "physics/CubicSpline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kNatural = 1e30;

// A cubic with its first and second derivatives.
struct Cubic
{
    double c0, c1, c2, c3;
    double operator()(double x) const { return ((c3 * x + c2) * x + c1) * x + c0; }
    double D1(double x) const { return (3.0 * c3 * x + 2.0 * c2) * x + c1; }
    double D2(double x) const { return 6.0 * c3 * x + 2.0 * c2; }
};

// A non-uniform, strictly increasing grid on [x0, x0 + length].
std::vector<double> UnevenGrid(double x0, double length, int n)
{
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / (n - 1);
        x[i] = x0 + length * (t + 0.15 * std::sin(3.0 * t) * t * (1.0 - t));
    }
    return x;
}

std::vector<double> Sample(const std::vector<double>& x, const std::function<double(double)>& fn)
{
    std::vector<double> f(x.size());
    std::transform(x.begin(), x.end(), f.begin(), fn);
    return f;
}

// Rounding bounds. The second derivatives come from differences of slopes,
// (f_{i+1} - f_i)/h, divided once more by a spacing: a rounding error of
// eps·max|f| in the values grows to about eps·max|f|/h_min^2, times a small
// factor for the sweep. The interpolated values stay at eps·max|f| plus the
// curvature error times h^2.
double CurvatureTolerance(const std::vector<double>& x, const std::vector<double>& f)
{
    double hMin = x[1] - x[0];
    for (std::size_t i = 1; i + 1 < x.size(); ++i)
        hMin = std::min(hMin, x[i + 1] - x[i]);
    double fMax = 0.0;
    for (double v : f)
        fMax = std::max(fMax, std::fabs(v));
    return 64.0 * kEps * fMax / (hMin * hMin);
}

double ValueTolerance(const std::vector<double>& f)
{
    double fMax = 0.0;
    for (double v : f)
        fMax = std::max(fMax, std::fabs(v));
    return 64.0 * kEps * fMax;
}

struct EndCase
{
    const char* name;
    bool naturalStart;
    bool naturalEnd;
};

}  // namespace

// A clamped end given the exact slope, or a natural end where the cubic has
// no curvature, makes the spline equal to the cubic everywhere.
TEST(CubicSpline, ReproducesACubicWithMatchingEnds)
{
    const double x0 = -1.3;
    const double x1 = 2.1;
    const std::vector<double> grid = UnevenGrid(x0, x1 - x0, 9);
    // c2 chosen so that f'' = 6 c3 x + 2 c2 vanishes at the natural end.
    const double c3 = 0.7;
    const EndCase cases[] = {
        {"clamped both ends", false, false},
        {"natural start, clamped end", true, false},
        {"clamped start, natural end", false, true},
    };
    for (const EndCase& ec : cases) {
        SCOPED_TRACE(ec.name);
        double c2 = -1.1;
        if (ec.naturalStart)
            c2 = -3.0 * c3 * x0;
        if (ec.naturalEnd)
            c2 = -3.0 * c3 * x1;
        const Cubic p{0.4, -2.5, c2, c3};
        const std::vector<double> f = Sample(grid, p);
        std::vector<double> f2;
        CalcSplineSecondDerivatives(ec.naturalStart ? kNatural : p.D1(x0),
                                    ec.naturalEnd ? kNatural : p.D1(x1), grid, f, f2);
        ASSERT_EQ(f2.size(), grid.size());
        for (std::size_t i = 0; i < grid.size(); ++i)
            EXPECT_NEAR(f2[i], p.D2(grid[i]), CurvatureTolerance(grid, f)) << "grid point " << i;
        for (int k = 0; k <= 200; ++k) {
            const double x = x0 + (x1 - x0) * k / 200.0;
            EXPECT_NEAR(SplineInterpolate(x, grid, f, f2), p(x), ValueTolerance(f)) << "x = " << x;
        }
    }
}

TEST(CubicSpline, StraightLineWithNaturalEndsHasNoCurvature)
{
    const std::vector<double> grid = UnevenGrid(0.5, 4.0, 12);
    const auto line = [](double x) { return 3.25 - 1.5 * x; };
    const std::vector<double> f = Sample(grid, line);
    std::vector<double> f2;
    CalcSplineSecondDerivatives(kNatural, kNatural, grid, f, f2);
    for (double v : f2)
        EXPECT_NEAR(v, 0.0, CurvatureTolerance(grid, f));
    for (int k = 0; k <= 50; ++k) {
        const double x = 0.5 + 4.0 * k / 50.0;
        EXPECT_NEAR(SplineInterpolate(x, grid, f, f2), line(x), ValueTolerance(f)) << "x = " << x;
    }
}

TEST(CubicSpline, TwoPointsWithNaturalEndsInterpolateLinearly)
{
    const std::vector<double> grid{1.0, 3.0};
    const std::vector<double> f{2.0, -4.0};
    std::vector<double> f2;
    CalcSplineSecondDerivatives(kNatural, kNatural, grid, f, f2);
    EXPECT_EQ(f2, (std::vector<double>{0.0, 0.0}));
    EXPECT_DOUBLE_EQ(SplineInterpolate(1.5, grid, f, f2), 0.5);
    EXPECT_DOUBLE_EQ(SplineInterpolate(3.0, grid, f, f2), -4.0);
}

// Interpolation error of sin on [0, 3] with exact end slopes: the clamped
// cubic spline converges as h^4, so halving the spacing divides the largest
// error by about 16.
TEST(CubicSpline, InterpolatesASmoothFunctionToFourthOrder)
{
    const auto maxError = [](int intervals) {
        std::vector<double> grid(intervals + 1);
        for (int i = 0; i <= intervals; ++i)
            grid[i] = 3.0 * i / intervals;
        const std::vector<double> f = Sample(grid, [](double x) { return std::sin(x); });
        std::vector<double> f2;
        CalcSplineSecondDerivatives(std::cos(0.0), std::cos(3.0), grid, f, f2);
        double worst = 0.0;
        for (int k = 0; k <= 4000; ++k) {
            const double x = 3.0 * k / 4000.0;
            worst = std::max(worst, std::fabs(SplineInterpolate(x, grid, f, f2) - std::sin(x)));
        }
        return worst;
    };
    const double e10 = maxError(10);
    const double e20 = maxError(20);
    const double e40 = maxError(40);
    // Error bound of the clamped spline: (5/384) h^4 max|f''''|.
    EXPECT_LT(e10, 5.0 / 384.0 * std::pow(0.3, 4));
    const double order1 = std::log2(e10 / e20);
    const double order2 = std::log2(e20 / e40);
    EXPECT_GT(order1, 3.7);
    EXPECT_LT(order1, 4.3);
    EXPECT_GT(order2, 3.7);
    EXPECT_LT(order2, 4.3);
}

TEST(CubicSpline, RejectsGridsWithoutAnInterval)
{
    std::vector<double> f2;
    const struct
    {
        const char* name;
        std::vector<double> x, f;
    } cases[] = {
        {"empty", {}, {}},
        {"one point", {1.0}, {2.0}},
        {"lengths differ", {1.0, 2.0, 3.0}, {1.0, 2.0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(CalcSplineSecondDerivatives(kNatural, kNatural, c.x, c.f, f2), LwError);
        EXPECT_THROW(SplineInterpolate(1.0, c.x, c.f, c.f), LwError);
    }
}
