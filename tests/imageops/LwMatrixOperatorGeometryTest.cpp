// Rotation and reflection matrices: signs, orthonormality, the Euler angles
// of a rotation and perpendicular vectors.

#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "LDoubleNear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

// A few units in the last place of LDouble, for products of 3 x 3 matrices
// of sines and cosines.
const LDouble kTolerance = 16 * std::numeric_limits<LDouble>::epsilon();

LwLDoubleMatrix Vec(LDouble x, LDouble y, LDouble z)
{
    LwLDoubleMatrix v(3);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    return v;
}

void ExpectVector(const LwLDoubleMatrix& v, LDouble x, LDouble y, LDouble z)
{
    ASSERT_EQ(v.ColSize, 1);
    ASSERT_EQ(v.RowSize, 3);
    EXPECT_PRED_FORMAT3(LDoubleNear, v[0], x, kTolerance);
    EXPECT_PRED_FORMAT3(LDoubleNear, v[1], y, kTolerance);
    EXPECT_PRED_FORMAT3(LDoubleNear, v[2], z, kTolerance);
}

// R^T R = I and det R = +1 (det -1 for a reflection).
void ExpectOrthonormal(const LwLDoubleMatrix& m, LDouble determinant)
{
    const int n = m.ColSize;
    ASSERT_EQ(m.RowSize, n);
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b) {
            LDouble dot = 0;
            for (int k = 0; k < n; ++k)
                dot += m(a, k) * m(b, k);
            EXPECT_PRED_FORMAT3(LDoubleNear, dot, a == b ? 1 : 0, kTolerance) << a << "," << b;
        }
    const LDouble det = n == 2 ? m(0, 0) * m(1, 1) - m(1, 0) * m(0, 1)
                               : m(0, 0) * (m(1, 1) * m(2, 2) - m(2, 1) * m(1, 2)) -
                                     m(1, 0) * (m(0, 1) * m(2, 2) - m(2, 1) * m(0, 2)) +
                                     m(2, 0) * (m(0, 1) * m(1, 2) - m(1, 1) * m(0, 2));
    EXPECT_PRED_FORMAT3(LDoubleNear, det, determinant, kTolerance);
}

}  // namespace

TEST(LwMatrixOperatorGeometry, ElementaryRotationsTurnTheAxesAsDocumented)
{
    const LDouble quarter = std::acos(LDouble(-1)) / 2;
    ExpectVector(LwMatrixOperator::RotationZ(quarter) * Vec(1, 0, 0), 0, 1, 0);
    ExpectVector(LwMatrixOperator::RotationY(quarter) * Vec(0, 0, 1), -1, 0, 0);
    ExpectVector(LwMatrixOperator::RotationX(quarter) * Vec(0, 1, 0), 0, 0, 1);
    for (const LDouble angle : {LDouble(0), LDouble(0.3), LDouble(-2.1), LDouble(4.0)}) {
        SCOPED_TRACE(double(angle));
        ExpectOrthonormal(LwMatrixOperator::RotationX(angle), 1);
        ExpectOrthonormal(LwMatrixOperator::RotationY(angle), 1);
        ExpectOrthonormal(LwMatrixOperator::RotationZ(angle), 1);
        const LwLDoubleMatrix plane = LwMatrixOperator::Rotation2D(angle);
        ExpectOrthonormal(plane, 1);
        const LwLDoubleMatrix z = LwMatrixOperator::RotationZ(angle);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                EXPECT_EQ(plane(c, r), z(c, r));
        // RotationY is the transpose of the y factor of EulerRotationMatrix.
        const LwLDoubleMatrix y = LwMatrixOperator::RotationY(angle);
        const LwLDoubleMatrix euler = EulerRotationMatrix(0, angle, 0);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_PRED_FORMAT3(LDoubleNear, y(c, r), euler(r, c), kTolerance);
    }
}

TEST(LwMatrixOperatorGeometry, ReflectionInAPlane)
{
    LwMatrixOperator op;
    const LwLDoubleMatrix z = op.ReflectionMatrix(0, 0, 2);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(z(c, r), c != r ? 0 : (r == 2 ? -1 : 1)) << c << "," << r;

    const LwLDoubleMatrix m = op.ReflectionMatrix(1, -2, 0.5);
    ExpectOrthonormal(m, -1);
    ExpectVector(m * Vec(1, -2, 0.5), -1, 2, -0.5);  // the normal is reversed
    ExpectVector(m * Vec(2, 1, 0), 2, 1, 0);  // vectors in the plane stay
    EXPECT_EQ(ErrorText([&] { op.ReflectionMatrix(0, 0, 0); }), "normal vector length is zero");
}

TEST(LwMatrixOperatorGeometry, EulerAnglesInvertEulerRotationMatrix)
{
    LwMatrixOperator op;
    const struct
    {
        double a, b, c;
    } cases[] = {{0.3, 0.7, -1.2}, {-2.5, 2.9, 0.4}, {1.0, 0.05, 3.0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(::testing::Message() << k.a << " " << k.b << " " << k.c);
        double a, b, c;
        op.EulerAnglesFromRotation(a, b, c, EulerRotationMatrix(k.a, k.b, k.c));
        EXPECT_NEAR(a, k.a, 1e-12);
        EXPECT_NEAR(b, k.b, 1e-12);
        EXPECT_NEAR(c, k.c, 1e-12);
    }
    double a = 9, b = 9, c = 9;
    LwLDoubleMatrix unit(3, 3);
    unit.SetUnit();
    op.EulerAnglesFromRotation(a, b, c, unit);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);
    // A pure z-turn lands in a.
    op.EulerAnglesFromRotation(a, b, c, LwMatrixOperator::RotationZ(0.8));
    EXPECT_NEAR(a, 0.8, 1e-12);
    EXPECT_EQ(b, 0);
}

TEST(LwMatrixOperatorGeometry, PerpendicularVector)
{
    ExpectVector(LwMatrixOperator::PerpendicularVector(Vec(1, 2, 3)), 1, -2, 1);
    ExpectVector(LwMatrixOperator::PerpendicularVector(Vec(2, 2, 2)), 2, 2, -4);
    for (const auto& v : {Vec(0.3, -1.7, 2.2), Vec(-4, 0, 0), Vec(1e-3, 5, 5)}) {
        const LwLDoubleMatrix p = LwMatrixOperator::PerpendicularVector(v);
        EXPECT_PRED_FORMAT3(LDoubleNear, p[0] * v[0] + p[1] * v[1] + p[2] * v[2], 0, 8 * kTolerance);
        EXPECT_GT(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 0);
    }
}
