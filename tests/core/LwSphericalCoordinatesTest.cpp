// Signs and powers of i against repeated complex products, and the change
// between Cartesian and spherical coordinates against closed forms and round
// trips, in LDouble and in double.
#include "core/LwSphericalCoordinates.h"
#include "LDoubleNear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

namespace {

const LDouble kPi = std::acos(LDouble(-1));
const LDouble kEps = std::numeric_limits<LDouble>::epsilon();

}  // namespace

TEST(LwSphericalCoordinates, PowerOfMinusOne)
{
    for (int n = -9; n <= 9; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(PowerOfMinusOne(n), std::pow(LDouble(-1), LDouble(n)));
    }
}

TEST(LwSphericalCoordinates, PowerOfIMatchesRepeatedProducts)
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

TEST(LwSphericalCoordinates, PowerOfMinusIMatchesRepeatedProducts)
{
    LComplex power(1, 0);
    for (int n = 0; n <= 13; ++n) {
        SCOPED_TRACE(n);
        const LComplex p = PowerOfMinusI(n);
        EXPECT_EQ(p.real(), power.real());
        EXPECT_EQ(p.imag(), power.imag());
        if (n % 4 == 1) {
            EXPECT_TRUE(std::signbit(p.real()));  // -0 - i
        }
        EXPECT_EQ(PowerOfMinusI(-n) * p, LComplex(1, 0));
        power *= LComplex(0, -1);
    }
}

TEST(LwSphericalCoordinates, CartesianToSphericalSpecialPoints)
{
    struct Case
    {
        LDouble x, y, z, r, theta, phi;
    };
    const Case cases[] = {{0, 0, 0, 0, 0, 0},
                          {0, 0, -2, 2, kPi, 0},
                          {0, 1, 0, 1, kPi / 2, kPi / 2},
                          {-1, 0, 0, 1, kPi / 2, kPi},
                          {0, 0, 3, 3, 0, 0},
                          {1, -1, 0, std::sqrt(LDouble(2)), kPi / 2, -kPi / 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.y << " " << c.z);
        LDouble r, theta, phi;
        CartesianToSpherical(c.x, c.y, c.z, r, theta, phi);
        EXPECT_PRED_FORMAT3(LDoubleNear, r, c.r, 4 * kEps);
        EXPECT_PRED_FORMAT3(LDoubleNear, theta, c.theta, 8 * kEps);
        EXPECT_PRED_FORMAT3(LDoubleNear, phi, c.phi, 8 * kEps);
    }
}

TEST(LwSphericalCoordinates, SphericalRoundTripRestoresTheVector)
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

// The double instantiation the mapping converts use, and the clamp that keeps
// a unit vector overshooting by an ulp from giving a NaN polar angle.
TEST(LwSphericalCoordinates, UnitVectorOvershootGivesTheAxisNotNaN)
{
    const double above = std::nextafter(1.0, 2.0), below = -above;
    double theta = -1, phi = -1;
    UnitVectorToPolarAngles(0.0, 0.0, above, theta, phi);
    EXPECT_EQ(theta, 0.0);
    EXPECT_EQ(phi, 0.0);
    UnitVectorToPolarAngles(0.0, 0.0, below, theta, phi);
    EXPECT_EQ(theta, std::acos(-1.0));
    EXPECT_EQ(phi, 0.0);

    double x, y, z;
    SphericalToCartesian(1, std::acos(-1.0) / 2, 0, x, y, z);  // literals as inputs
    EXPECT_EQ(x, 1.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_NEAR(z, 0.0, 1e-16);
}
