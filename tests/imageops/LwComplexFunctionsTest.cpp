// Signs and powers of i, the complex exponential and spherical coordinates,
// checked against std::complex<LDouble> and closed forms.
#include "imageops/LwComplexFunctions.h"

#include "LDoubleNear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

namespace {

const LDouble kPi = std::acos(LDouble(-1));
const LDouble kEps = std::numeric_limits<LDouble>::epsilon();

} // namespace

TEST(ComplexFunctions, PowerOfMinusOne)
{
    for (int n = -9; n <= 9; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(PowerOfMinusOne(n), std::pow(LDouble(-1), LDouble(n)));
    }
}

TEST(ComplexFunctions, PowerOfIMatchesRepeatedProducts)
{
    const LComplex i(0, 1);
    LComplex up(1, 0), down(1, 0);
    for (int n = 0; n <= 12; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(PowerOfI(n), up);
        EXPECT_EQ(PowerOfI(-n), down);
        up *= i;
        down /= i;
    }
    EXPECT_EQ(PowerOfI(5), i);
    EXPECT_EQ(PowerOfI(-1), LComplex(0, -1));
}

TEST(ComplexFunctions, ComplexExpMatchesStdExp)
{
    const LComplex cases[] = {{0, 0}, {1, 0}, {0, kPi}, {-2.5L, 0.75L}, {3, -7}, {0.125L, 100}};
    for (const LComplex& z : cases) {
        SCOPED_TRACE(testing::Message() << z.real() << " " << z.imag());
        const LComplex got = ComplexExp(z);
        const LComplex want = std::exp(z);
        const LDouble tol = 8 * kEps * std::abs(want);
        EXPECT_PRED_FORMAT3(LDoubleNear, got.real(), want.real(), tol);
        EXPECT_PRED_FORMAT3(LDoubleNear, got.imag(), want.imag(), tol);
    }
    EXPECT_PRED_FORMAT3(LDoubleNear, ComplexExp(LComplex(0, kPi)).real(), LDouble(-1), 4 * kEps);
    EXPECT_PRED_FORMAT3(LDoubleNear, ComplexExp(LComplex(1, 0)).real(), std::exp(LDouble(1)), 4 * kEps);
}

TEST(ComplexFunctions, CartesianToSphericalSpecialPoints)
{
    struct Case { LDouble x, y, z, r, theta, phi; };
    const Case cases[] = {{0, 0, 0, 0, 0, 0},          {0, 0, -2, 2, kPi, 0},
                          {0, 1, 0, 1, kPi / 2, kPi / 2}, {-1, 0, 0, 1, kPi / 2, kPi},
                          {0, 0, 3, 3, 0, 0},          {1, -1, 0, std::sqrt(LDouble(2)), kPi / 2, -kPi / 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.y << " " << c.z);
        LDouble r, theta, phi;
        CartesianToSpherical(c.x, c.y, c.z, r, theta, phi);
        EXPECT_PRED_FORMAT3(LDoubleNear, r, c.r, 4 * kEps);
        EXPECT_PRED_FORMAT3(LDoubleNear, theta, c.theta, 8 * kEps);
        EXPECT_PRED_FORMAT3(LDoubleNear, phi, c.phi, 8 * kEps);
    }
}

TEST(ComplexFunctions, SphericalRoundTripRestoresTheVector)
{
    const LDouble points[][3] = {{1, 2, 3}, {-0.5L, 0.25L, -4}, {1e-3L, -7, 0.1L}, {-3, -3, 3}, {2, 0, -1}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p[0] << " " << p[1] << " " << p[2]);
        LDouble r, theta, phi, x, y, z;
        CartesianToSpherical(p[0], p[1], p[2], r, theta, phi);
        SphericalToCartesian(r, theta, phi, x, y, z);
        const LDouble tol = 16 * kEps * r;
        EXPECT_PRED_FORMAT3(LDoubleNear, x, p[0], tol);
        EXPECT_PRED_FORMAT3(LDoubleNear, y, p[1], tol);
        EXPECT_PRED_FORMAT3(LDoubleNear, z, p[2], tol);
    }
}
