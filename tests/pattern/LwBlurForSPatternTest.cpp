#include "pattern/LwBlurForSPattern.h"
#include "ErrorText.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// nc x nr pattern whose element (c, r) is f(c, z) with z = cos(theta) of row r.
LwFloatMatrix Pattern(int nc, int nr, const std::function<double(int, double)>& f)
{
    LwFloatMatrix m(nc, nr);
    for (int r = 0; r < nr; ++r)
        for (int c = 0; c < nc; ++c)
            m(c, r) = static_cast<float>(f(c, r * 2.0 / (nr - 1) - 1));
    return m;
}

// <cos gamma> of an azimuthally symmetric kernel K(gamma) on the sphere out
// to gammaMax, by the midpoint rule in gamma: the factor by which a blur with
// that kernel multiplies the pattern cos(theta) (the l = 1 harmonic).
double MeanCos(const std::function<double(double)>& kernel, double gammaMax)
{
    const int n = 200000;
    double num = 0;
    double den = 0;
    for (int i = 0; i < n; ++i) {
        const double g = (i + 0.5) * gammaMax / n;
        const double w = kernel(g) * std::sin(g);
        num += w * std::cos(g);
        den += w;
    }
    return num / den;
}

// True when both have the same shape and equal elements (begins ignored).
bool SameElements(const LwFloatMatrix& a, const LwFloatMatrix& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize)
        return false;
    for (int r = 0; r < a.RowSize; ++r)
        for (int c = 0; c < a.ColSize; ++c)
            if (a(a.ColBegin + c, a.RowBegin + r) != b(b.ColBegin + c, b.RowBegin + r))
                return false;
    return true;
}

using Op = void (LwBlurForSPattern::*)(LwFloatMatrix&, const LwFloatMatrix&, double);

}  // namespace

TEST(LwBlurForSPattern, FreshObjectReportsNoProgressAndNoMessage)
{
    LwBlurForSPattern blur(2.0, 1.0, 0.5, 7);
    EXPECT_EQ(blur.GetProgress(), 0);
    EXPECT_EQ(blur.GetProgressMax(), 7);
    EXPECT_EQ(blur.GetMessage(), "");
    EXPECT_TRUE(blur.Input.IsEmpty());
    EXPECT_TRUE(blur.Output.IsEmpty());
    EXPECT_EQ(LwBlurForSPattern().GetProgressMax(), 0);
}

TEST(LwBlurForSPattern, FuncGaussGivesNormalisedGaussian)
{
    const LwGaussTriple g = LwBlurForSPattern::FuncGauss(0.5);
    EXPECT_DOUBLE_EQ(g.Sigma, 0.5);
    EXPECT_DOUBLE_EQ(g.Exponent, -2.0);
    EXPECT_DOUBLE_EQ(g.Norm, 1 / std::sqrt(2 * Reference::Pi * 0.25));
    for (double s : {0.0, -1.0}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(ErrorText([&] { LwBlurForSPattern::FuncGauss(s); }), "FuncGauss: Sigma should be positive");
    }
}

TEST(LwBlurForSPattern, ConstantPatternIsUnchangedByEveryOperation)
{
    const LwFloatMatrix input = Pattern(3, 61, [](int c, double) { return 2.5 + c; });
    const struct
    {
        const char* name;
        Op op;
        double sigma;
    } cases[] = {{"Ver5", &LwBlurForSPattern::Ver5, 5.0},
                 {"Ver5 narrow", &LwBlurForSPattern::Ver5, 0.5},
                 {"Ver6", &LwBlurForSPattern::Ver6, 5.0},
                 {"Ver6 wide", &LwBlurForSPattern::Ver6, 30.0}};
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        LwBlurForSPattern blur;
        LwFloatMatrix out;
        (blur.*tc.op)(out, input, tc.sigma);
        ASSERT_EQ(out.ColSize, 3);
        ASSERT_EQ(out.RowSize, 61);
        EXPECT_EQ(blur.GetProgress(), 61);
        EXPECT_EQ(blur.GetProgressMax(), 61);
        // Ver6 sums thousands of ring pieces in float: a relative error of
        // a few hundred float epsilons.
        const double tol = 256 * std::numeric_limits<float>::epsilon();
        for (int r = 0; r < 61; ++r)
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(out(c, r), 2.5 + c, tol * (2.5 + c)) << "row " << r;
    }
    // A constant along the columns is unchanged by the column blur as well.
    const LwFloatMatrix flat = Pattern(6, 5, [](int, double z) { return 1 + z; });
    LwBlurForSPattern blur;
    LwFloatMatrix out;
    blur.ColumnBlur(out, flat, 0.3, 0.7);
    EXPECT_EQ(blur.GetProgressMax(), 6);
    EXPECT_EQ(blur.GetProgress(), 6);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 6; ++c)
            EXPECT_NEAR(out(c, r), flat(c, r), 1e-6);
}

// A blur with an azimuthally symmetric kernel maps cos(theta) onto
// <cos gamma> cos(theta). Ver6 weighs by exp(-sin^2(gamma)/(2 sigma^2)) out to
// 4 sigma; Ver5 samples the tangent plane with the Gaussian in the offset
// length rho = sin(gamma) out to 3 sigma, so its factor is <sqrt(1 - rho^2)>.
TEST(LwBlurForSPattern, LinearPatternIsScaledByTheMeanCosineOfTheKernel)
{
    const int nr = 401;
    const LwFloatMatrix input = Pattern(1, nr, [](int, double z) { return z; });
    for (double sDeg : {4.0, 8.0}) {
        SCOPED_TRACE(sDeg);
        const double s = sDeg * Reference::Pi / 180;
        const double a = 1 / (2 * s * s);
        const double l6 = MeanCos([&](double g) { return std::exp(-std::sin(g) * std::sin(g) * a); }, 4 * s);
        // Ver5 in the tangent plane: weight exp(-rho^2 a) rho d rho, value sqrt(1 - rho^2).
        double num = 0, den = 0;
        for (int i = 0; i < 200000; ++i) {
            const double rho = (i + 0.5) * 3 * s / 200000;
            const double w = std::exp(-rho * rho * a) * rho;
            num += w * std::sqrt(1 - rho * rho);
            den += w;
        }
        const double l5 = num / den;
        ASSERT_LT(l6, 1 - 0.5 * s * s);  // the blur is visible at this tolerance
        LwBlurForSPattern blur;
        LwFloatMatrix out5, out6;
        blur.Ver5(out5, input, sDeg);
        blur.Ver6(out6, input, sDeg);
        // Rows well inside, away from the poles where the ring cut-off and the
        // end-row areas act.
        for (int r = 100; r <= 300; r += 10) {
            const double z = r * 2.0 / (nr - 1) - 1;
            EXPECT_NEAR(out6(0, r), l6 * z, 2e-4) << "Ver6 row " << r;
            EXPECT_NEAR(out5(0, r), l5 * z, 2.5e-3) << "Ver5 row " << r;
        }
    }
}

TEST(LwBlurForSPattern, MirroredPatternGivesMirroredResult)
{
    const int nr = 41;
    const LwFloatMatrix input = Pattern(2, nr, [](int c, double z) { return std::exp(3 * z) + c * z * z; });
    LwFloatMatrix mirrored(2, nr);
    for (int r = 0; r < nr; ++r)
        for (int c = 0; c < 2; ++c)
            mirrored(c, r) = input(c, nr - 1 - r);
    for (Op op : {Op(&LwBlurForSPattern::Ver5), Op(&LwBlurForSPattern::Ver6)}) {
        LwBlurForSPattern blur;
        LwFloatMatrix a, b;
        (blur.*op)(a, input, 6.0);
        (blur.*op)(b, mirrored, 6.0);
        for (int r = 0; r < nr; ++r)
            for (int c = 0; c < 2; ++c)
                ASSERT_NEAR(a(c, r), b(c, nr - 1 - r), 1e-5 * std::fabs(a(c, r)) + 1e-6) << r;
    }
}

TEST(LwBlurForSPattern, Ver5FailsWhenOffsetsLeaveTheSphere)
{
    const LwFloatMatrix input = Pattern(1, 21, [](int, double z) { return z; });
    LwBlurForSPattern blur;
    LwFloatMatrix out;
    EXPECT_EQ(ErrorText([&] { blur.Ver5(out, input, 20.0); }), "z0<-1 || z0>1 ERR iz<0 || iz>=nr");
    EXPECT_EQ(ErrorText([&] { blur.Ver5(out, input, 19.0); }), "(no error)");
}

TEST(LwBlurForSPattern, ColumnBlurOfADeltaIsTheNormalisedGaussian)
{
    const int nc = 9, nr = 3, m = 4;
    const double step = 0.5, sigma = 0.8;
    const LwFloatMatrix input = Pattern(nc, nr, [&](int c, double) { return c == m ? 1.0 : 0.0; });
    LwBlurForSPattern blur;
    LwFloatMatrix out;
    blur.ColumnBlur(out, input, step, sigma);
    auto g = [&](int k) { return std::exp(-(k * step) * (k * step) / (2 * sigma * sigma)); };
    for (int i = 0; i < nc; ++i) {
        double norm = 0;
        for (int j = 0; j < nc; ++j)
            norm += g(i - j);
        for (int r = 0; r < nr; ++r)
            EXPECT_NEAR(out(i, r), g(i - m) / norm, 1e-6) << i;
    }
}

TEST(LwBlurForSPattern, ColumnBlurWithoutWidthOrStepCopies)
{
    const LwFloatMatrix input = Pattern(4, 3, [](int c, double z) { return c * 10 + z; });
    for (auto [step, sigma] : {std::pair{1.0, 0.0}, std::pair{0.0, 1.0}, std::pair{1.0, -2.0}}) {
        SCOPED_TRACE(testing::Message() << step << " " << sigma);
        LwBlurForSPattern blur;
        LwFloatMatrix out;
        blur.ColumnBlur(out, input, step, sigma);
        EXPECT_TRUE(SameElements(out, input));
    }
}

TEST(LwBlurForSPattern, StopRequestEndsTheColumnBlurWithColumnsNotReachedAtZero)
{
    const LwFloatMatrix input = Pattern(5, 3, [](int, double) { return 1.0; });
    LwBlurForSPattern blur;
    blur.RequestStop();
    LwFloatMatrix out;
    blur.ColumnBlur(out, input, 1.0, 1.0);
    EXPECT_EQ(blur.GetProgress(), 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(out(c, r), 0.0f);
}

TEST(LwBlurForSPattern, CalculateRunsVer5ThenTheColumnBlur)
{
    LwBlurForSPattern blur(3.0, 0.4, 0.6);
    blur.Input = Pattern(4, 31, [](int c, double z) { return std::cos(2 * z) + c * c; });
    blur.Calculate();
    LwBlurForSPattern second;
    LwFloatMatrix angular, expected;
    second.Ver5(angular, blur.Input, 3.0);
    second.ColumnBlur(expected, angular, 0.4, 0.6);
    EXPECT_TRUE(SameElements(blur.Output, expected));
    EXPECT_EQ(blur.GetProgressMax(), 4);
}

TEST(LwBlurForSPattern, PatternOfOneRowIsCopied)
{
    const LwFloatMatrix input = Pattern(3, 1, [](int c, double) { return c + 0.5; });
    for (Op op : {Op(&LwBlurForSPattern::Ver5), Op(&LwBlurForSPattern::Ver6)}) {
        LwBlurForSPattern blur;
        LwFloatMatrix out;
        (blur.*op)(out, input, 5.0);
        EXPECT_TRUE(SameElements(out, input));
    }
}
