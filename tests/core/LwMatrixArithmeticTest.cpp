// Matrix arithmetic and conversions, checked against plain loops over
// (column, row) pairs and, for the rotations, against the axis-angle formula.
#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "core/LwMatrixArithmetic.h"
#include "ErrorText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr LDouble kEps = std::numeric_limits<LDouble>::epsilon();
const LDouble kPi = std::acos(LDouble(-1));

// cols x rows with the given begins and uniform random elements in [-1, 1).
LwLDoubleMatrix RandomMatrix(std::mt19937& rng, int cols, int rows, int colBegin, int rowBegin)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    LwLDoubleMatrix m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int r = rowBegin; r < rowBegin + rows; ++r)
        for (int c = colBegin; c < colBegin + cols; ++c)
            m(c, r) = u(rng);
    return m;
}

TEST(LwMatrixProduct, MatchesTripleLoop)
{
    struct Case
    {
        int n, m, p;  // A is n x m (ColSize n), B is p x n
        int aRowBegin, k0, bColBegin;
    };
    const Case cases[] = {{3, 2, 4, 0, 0, 0},      {1, 5, 1, 2, -3, 7}, {7, 6, 5, -2, 1, 5},
                          {16, 9, 12, 4, 100, -8}, {3, 3, 1, 0, 0, 0},  {3, 2, 4, 2, 1, 5}};
    std::mt19937 rng(1234);
    for (const Case& t : cases) {
        SCOPED_TRACE("A " + std::to_string(t.n) + "x" + std::to_string(t.m) + " B " + std::to_string(t.p) +
                     "x" + std::to_string(t.n));
        const LwLDoubleMatrix a = RandomMatrix(rng, t.n, t.m, t.k0, t.aRowBegin);
        const LwLDoubleMatrix b = RandomMatrix(rng, t.p, t.n, t.bColBegin, t.k0);
        const LwLDoubleMatrix r = a * b;
        EXPECT_FALSE(r.FastReturn);
        EXPECT_EQ(r.ColSize, t.p);
        EXPECT_EQ(r.RowSize, t.m);
        EXPECT_EQ(r.ColBegin, t.bColBegin);
        EXPECT_EQ(r.RowBegin, t.aRowBegin);
        for (int row = t.aRowBegin; row < t.aRowBegin + t.m; ++row) {
            for (int col = t.bColBegin; col < t.bColBegin + t.p; ++col) {
                LDouble sum = 0;
                LDouble magnitude = 0;
                for (int k = t.k0; k < t.k0 + t.n; ++k) {
                    sum += a(k, row) * b(col, k);
                    magnitude += std::fabs(a(k, row) * b(col, k));
                }
                EXPECT_NEAR(r(col, row), sum, 2 * t.n * kEps * magnitude) << col << "," << row;
            }
        }
    }
}

TEST(LwMatrixProduct, ShapeAndBeginErrors)
{
    LwLDoubleMatrix a(3, 2);
    a.SetZero();
    const LwLDoubleMatrix wrongRows(3, 2);
    EXPECT_EQ(ErrorText([&] { a* wrongRows; }), "Matrix * operation: Size Illigal");
    LwLDoubleMatrix b(4, 3);
    b.SetZero();
    a.ColBegin = 1;
    EXPECT_EQ(ErrorText([&] { a* b; }), "Matrix * operation: begin err");
    b.RowBegin = 1;
    const LwLDoubleMatrix r = a * b;
    EXPECT_EQ(r.ColSize, 4);
    EXPECT_EQ(r.RowSize, 2);
}

TEST(LwMatrixProduct, OversizeResultIsAnOperatorError)
{
    // Both factors are valid, but the 65536 x 65536 product has 2^32 elements.
    LwLDoubleMatrix column(1, 65536);
    LwLDoubleMatrix row(65536, 1);
    column.SetZero();
    row.SetZero();
    EXPECT_EQ(ErrorText([&] { column* row; }), " * operator Error");
}

TEST(LwMatrixProduct, RowVectorTimesColumnVectorIsTheDotProduct)
{
    LwLDoubleMatrix row(3, 1);
    LwLDoubleMatrix column(1, 3);
    for (int i = 0; i < 3; ++i) {
        row[i] = i + 1;  // 1 2 3
        column[i] = 4 - i;  // 4 3 2
    }
    const LwLDoubleMatrix dot = row * column;
    EXPECT_EQ(dot.ColSize, 1);
    EXPECT_EQ(dot.RowSize, 1);
    EXPECT_EQ(dot(0, 0), 16);
    const LwLDoubleMatrix outer = column * row;
    EXPECT_EQ(outer.ColSize, 3);
    EXPECT_EQ(outer.RowSize, 3);
    EXPECT_EQ(outer(2, 0), 4 * 3);
}

TEST(LwMatrixElementOperators, ScaleSumDifference)
{
    std::mt19937 rng(99);
    const LwLDoubleMatrix a = RandomMatrix(rng, 4, 3, -2, 5);
    const LwLDoubleMatrix b = RandomMatrix(rng, 4, 3, -2, 5);
    const LDouble s = 2.5;
    const LwLDoubleMatrix scaled = a * s;
    const LwLDoubleMatrix scaledLeft = s * a;
    const LwLDoubleMatrix sum = a + b;
    const LwLDoubleMatrix difference = a - b;
    for (const LwLDoubleMatrix* m : {&scaled, &scaledLeft, &sum, &difference}) {
        EXPECT_TRUE(m->FastReturn);
        EXPECT_TRUE(IsSameSize(*m, a));
    }
    for (int r = 5; r < 8; ++r) {
        for (int c = -2; c < 2; ++c) {
            EXPECT_EQ(scaled(c, r), a(c, r) * s);
            EXPECT_EQ(scaledLeft(c, r), a(c, r) * s);
            EXPECT_EQ(sum(c, r), a(c, r) + b(c, r));
            EXPECT_EQ(difference(c, r), a(c, r) - b(c, r));
        }
    }

    LwLDoubleMatrix acc = a;
    acc += b;
    acc *= LDouble(-1);
    for (int r = 5; r < 8; ++r)
        for (int c = -2; c < 2; ++c)
            EXPECT_EQ(acc(c, r), -(a(c, r) + b(c, r)));
}

TEST(LwMatrixElementOperators, FailuresReportTheOperator)
{
    LwLDoubleMatrix a(2, 2);
    a.SetZero();
    LwLDoubleMatrix other(3, 2);
    other.SetZero();
    EXPECT_EQ(ErrorText([&] { a - other; }), "- operator Error");
    EXPECT_EQ(ErrorText([&] { a + other; }), "+ operator Error");
    LwLDoubleMatrix shifted(2, 2);
    shifted.RowBegin = 1;
    EXPECT_EQ(ErrorText([&] { a + shifted; }), "+ operator Error");

    // += passes the size check's own texts through and leaves a unchanged.
    EXPECT_EQ(ErrorText([&] { a += other; }), "ColSize or RowSize is different");
    EXPECT_EQ(ErrorText([&] { a += shifted; }), "RowBegin is different");
    EXPECT_EQ(a(1, 1), 0);

    LwLComplexMatrix c(2, 1);
    LwLComplexMatrix d(1, 2);
    EXPECT_EQ(ErrorText([&] { c + d; }), "+ operator Error");
}

TEST(LwMatrixElementOperators, ComplexSum)
{
    LwLComplexMatrix a(2, 2);
    LwLComplexMatrix b(2, 2);
    a.ColBegin = b.ColBegin = 3;
    for (int i = 0; i < 4; ++i) {
        a.Buffer()[i] = LComplex(i, -i);
        b.Buffer()[i] = LComplex(0.5, 2 * i);
    }
    const LwLComplexMatrix s = a + b;
    EXPECT_TRUE(s.FastReturn);
    EXPECT_EQ(s.ColBegin, 3);
    for (int r = 0; r < 2; ++r)
        for (int c = 3; c < 5; ++c)
            EXPECT_EQ(s(c, r), a(c, r) + b(c, r));
}

TEST(LwMatrixElementOperators, FlaggedSumHandsItsBufferOver)
{
    LwLDoubleMatrix a(2, 1);
    a[0] = 1;
    a[1] = 2;
    // Assignment moves the buffer and clears the flag.
    LwLDoubleMatrix existing(5, 5);
    existing = a + a;
    EXPECT_FALSE(existing.FastReturn);
    EXPECT_EQ(existing.ColSize, 2);
    EXPECT_EQ(existing[1], 4);
    // Initialisation keeps the flag: the first copy takes everything.
    LwLDoubleMatrix named = a + a;
    EXPECT_TRUE(named.FastReturn);
    const LwLDoubleMatrix copy(named);
    EXPECT_EQ(copy[0], 2);
    EXPECT_TRUE(named.IsEmpty());
    const LwLDoubleMatrix second(named);
    EXPECT_TRUE(second.IsEmpty());
}

TEST(LwMatrixElementWise, DivideAndProduct)
{
    LwLDoubleMatrix a(1, 3);
    LwLDoubleMatrix b(1, 3);
    a.RowBegin = b.RowBegin = -1;
    const LDouble av[] = {1, 2, 3};
    const LDouble bv[] = {2, 0, -LDouble(0)};
    for (int i = 0; i < 3; ++i) {
        a[i - 1] = av[i];
        b[i - 1] = bv[i];
    }
    const LwLDoubleMatrix q = MatrixElementDivide(a, b);
    EXPECT_FALSE(q.FastReturn);
    EXPECT_TRUE(IsSameSize(q, a));
    EXPECT_EQ(q[-1], 0.5);
    EXPECT_EQ(q[0], 0);
    EXPECT_EQ(q[1], 0);
    const LwLDoubleMatrix p = MatrixElementProduct(a, b);
    EXPECT_FALSE(p.FastReturn);
    EXPECT_EQ(p[-1], 2);
    EXPECT_EQ(p[0], 0);

    LwLDoubleMatrix other(3, 1);
    EXPECT_EQ(ErrorText([&] { MatrixElementDivide(a, other); }), "Matrix size is not same");
    EXPECT_EQ(ErrorText([&] { MatrixElementProduct(a, other); }), "Matrix is not same size");
    b.RowBegin = 0;
    EXPECT_EQ(ErrorText([&] { MatrixElementDivide(a, b); }), "Matrix size is not same");
}

TEST(LwMatrixElementWise, FloatImagesThroughTheOperatorObject)
{
    const LwMatrixArithmetic op;
    LwFloatMatrix image(3, 2);
    LwFloatMatrix background(3, 2);
    for (int i = 0; i < 6; ++i) {
        image.Buffer()[i] = static_cast<float>(i + 1);
        background.Buffer()[i] = static_cast<float>(i % 3);  // 0 in every first column
    }
    const LwFloatMatrix ratio = op.ElementDivide(image, background);
    const LwFloatMatrix product = op.ElementProduct(image, background);
    EXPECT_FALSE(ratio.FastReturn);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            const float expected = background(c, r) == 0 ? 0.0f : image(c, r) / background(c, r);
            EXPECT_EQ(ratio(c, r), expected);
            EXPECT_EQ(product(c, r), image(c, r) * background(c, r));
        }
    }
    const LwFloatMatrix wrong(2, 3);
    EXPECT_EQ(ErrorText([&] { op.ElementDivide(image, wrong); }), "Matrix size is not same");
    EXPECT_EQ(ErrorText([&] { op.ElementProduct(image, wrong); }), "Matrix is not same size");
}

TEST(LwMatrixElementWise, NewLikeAndTranspose)
{
    LwLDoubleMatrix a(4, 2);
    a.ColBegin = -3;
    a.RowBegin = 6;
    const LwLDoubleMatrix like = MatrixNewLike(a);
    EXPECT_FALSE(like.FastReturn);
    EXPECT_TRUE(IsSameSize(like, a));
    EXPECT_NE(like.Buffer(), a.Buffer());

    LwFloatMatrix image(3, 2);
    image.ColBegin = 1;
    for (int i = 0; i < 6; ++i)
        image.Buffer()[i] = static_cast<float>(10 * i);
    const LwFloatMatrix t = MatrixTranspose(image);
    EXPECT_TRUE(t.FastReturn);
    EXPECT_EQ(t.ColSize, 2);
    EXPECT_EQ(t.RowSize, 3);
    EXPECT_EQ(t.ColBegin, 0);
    EXPECT_EQ(t.RowBegin, 1);
    EXPECT_EQ(t(0, 1), image(1, 0));
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(t(c, r), image(r, c));

    const LwFloatMatrix viaObject = LwMatrixArithmetic().Transpose(image);
    EXPECT_TRUE(viaObject.FastReturn);
    EXPECT_EQ(viaObject(1, 3), image(3, 1));
}

TEST(LwMatrixConversion, ConvertKeepsShapeAndBegins)
{
    const LwMatrixArithmetic op;
    LwLDoubleMatrix source(2, 3);
    source.ColBegin = -3;
    source.RowBegin = 4;
    for (int i = 0; i < 6; ++i)
        source.Buffer()[i] = LDouble(0.1) * (i + 1);

    LwFloatMatrix f;
    f.FastReturn = true;
    op.ConvertMatrix(f, source);
    EXPECT_TRUE(f.FastReturn);  // the flag is not touched
    f.FastReturn = false;
    LwDoubleMatrix d;
    op.ConvertMatrix(d, source);
    LwLDoubleMatrix fromFloat;
    op.ConvertMatrix(fromFloat, f);
    LwLDoubleMatrix fromDouble;
    op.ConvertMatrix(fromDouble, d);
    LwFloatMatrix floatCopy(6, 1);  // same element count: the buffer is kept
    const float* kept = floatCopy.Buffer();
    op.ConvertMatrix(floatCopy, f);
    EXPECT_EQ(floatCopy.Buffer(), kept);

    EXPECT_TRUE(IsSameSize(f, source));
    EXPECT_TRUE(IsSameSize(d, source));
    EXPECT_TRUE(IsSameSize(fromFloat, source));
    EXPECT_TRUE(IsSameSize(fromDouble, source));
    EXPECT_TRUE(IsSameSize(floatCopy, source));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(f.Buffer()[i], static_cast<float>(source.Buffer()[i]));
        EXPECT_EQ(d.Buffer()[i], static_cast<double>(source.Buffer()[i]));
        EXPECT_EQ(fromFloat.Buffer()[i], static_cast<LDouble>(f.Buffer()[i]));
        EXPECT_EQ(fromDouble.Buffer()[i], static_cast<LDouble>(d.Buffer()[i]));
        EXPECT_EQ(floatCopy.Buffer()[i], f.Buffer()[i]);
    }
}

TEST(LwMatrixConversion, ToFloatAndToLDouble)
{
    const LwMatrixArithmetic op;
    LwLDoubleMatrix source(1, 2);
    source.ColBegin = -3;
    source.RowBegin = 4;
    source[4] = LDouble(0.1);
    source[5] = -LDouble(1e-3);
    const LwFloatMatrix f = op.ToFloatMatrix(source);
    EXPECT_TRUE(f.FastReturn);
    EXPECT_EQ(f.ColBegin, -3);
    EXPECT_EQ(f.RowBegin, 4);
    EXPECT_EQ(f[4], 0.1f);  // the float nearest 0.1
    EXPECT_EQ(f[5], -1e-3f);

    const LwLDoubleMatrix back = op.ToLDoubleMatrix(f);
    EXPECT_TRUE(back.FastReturn);
    EXPECT_TRUE(IsSameSize(back, source));
    EXPECT_EQ(back[4], static_cast<LDouble>(0.1f));
}

// Rotation by t about the unit axis n: cos t I + sin t [n]x + (1 - cos t) n n^T,
// acting on column vectors; out[row][col].
void AxisAngle(const LDouble n[3], LDouble t, LDouble out[3][3])
{
    const LDouble c = std::cos(t), s = std::sin(t);
    const LDouble cross[3][3] = {{0, -n[2], n[1]}, {n[2], 0, -n[0]}, {-n[1], n[0], 0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = (i == j ? c : 0) + s * cross[i][j] + (1 - c) * n[i] * n[j];
}

void Multiply(const LDouble a[3][3], const LDouble b[3][3], LDouble out[3][3])
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            out[i][j] = 0;
            for (int k = 0; k < 3; ++k)
                out[i][j] += a[i][k] * b[k][j];
        }
}

TEST(LwEulerRotation, AgreesWithAxisAngleProduct)
{
    const LDouble z[3] = {0, 0, 1};
    const LDouble y[3] = {0, 1, 0};
    const LDouble angles[][3] = {
        {0.3, 1.1, -0.7}, {2.0, -0.4, 3.0}, {-1.5, 2.9, 0.25}, {0, 0, 0}, {kPi, kPi / 2, -kPi}};
    for (const auto& abc : angles) {
        SCOPED_TRACE(std::to_string(static_cast<double>(abc[0])) + "," +
                     std::to_string(static_cast<double>(abc[1])) + "," +
                     std::to_string(static_cast<double>(abc[2])));
        const LwLDoubleMatrix r = EulerRotationMatrix(abc[0], abc[1], abc[2]);
        EXPECT_FALSE(r.FastReturn);
        EXPECT_EQ(r.ColSize, 3);
        EXPECT_EQ(r.RowSize, 3);
        EXPECT_EQ(r.ColBegin, 0);
        EXPECT_EQ(r.RowBegin, 0);

        LDouble ra[3][3], rb[3][3], rc[3][3], t[3][3], expected[3][3];
        AxisAngle(z, abc[0], ra);
        AxisAngle(y, abc[1], rb);
        AxisAngle(z, abc[2], rc);
        Multiply(rb, ra, t);
        Multiply(rc, t, expected);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col)
                EXPECT_NEAR(r(col, row), expected[row][col], 8 * kEps) << col << "," << row;

        // Orthonormal: R^T R = I, and a proper rotation: det R = 1.
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                LDouble dot = 0;
                for (int k = 0; k < 3; ++k)
                    dot += r(i, k) * r(j, k);
                EXPECT_NEAR(dot, i == j ? 1 : 0, 8 * kEps) << i << "," << j;
            }
        const LDouble det = r(0, 0) * (r(1, 1) * r(2, 2) - r(2, 1) * r(1, 2)) -
                            r(1, 0) * (r(0, 1) * r(2, 2) - r(2, 1) * r(0, 2)) +
                            r(2, 0) * (r(0, 1) * r(1, 2) - r(1, 1) * r(0, 2));
        EXPECT_NEAR(det, 1, 8 * kEps);
    }
}

TEST(LwEulerRotation, RotatesColumnVectorsAsDocumented)
{
    struct Case
    {
        LDouble a, b, c;
        LDouble in[3], out[3];
    };
    const Case cases[] = {
        {kPi / 2, 0, 0, {1, 0, 0}, {0, 1, 0}},  // a about z: x -> y
        {0, kPi / 2, 0, {0, 0, 1}, {1, 0, 0}},  // b about y: z -> x
        {0, 0, kPi / 2, {0, 1, 0}, {-1, 0, 0}},  // c about z: y -> -x
        {0, 0, 0, {0.2, -3, 7}, {0.2, -3, 7}},
        // a first, then b: x -> y (about z) stays y (about y).
        {kPi / 2, kPi / 2, 0, {1, 0, 0}, {0, 1, 0}},
        // b first turns z into x, then c turns x into y.
        {0, kPi / 2, kPi / 2, {0, 0, 1}, {0, 1, 0}},
    };
    for (const Case& t : cases) {
        LwLDoubleMatrix v(1, 3);
        for (int i = 0; i < 3; ++i)
            v[i] = t.in[i];
        const LwLDoubleMatrix w = EulerRotationMatrix(t.a, t.b, t.c) * v;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(w[i], t.out[i], 16 * kEps) << i;
    }
}

TEST(LwEulerRotation, RotationsAboutZComposeWhenBIsZero)
{
    const LDouble pairs[][2] = {{0.4, 1.3}, {-2.2, 0.9}, {3.0, 3.0}};
    for (const auto& ac : pairs) {
        const LwLDoubleMatrix split = EulerRotationMatrix(ac[0], 0, ac[1]);
        const LwLDoubleMatrix whole = EulerRotationMatrix(ac[0] + ac[1], 0, 0);
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(split.Buffer()[i], whole.Buffer()[i], 16 * kEps) << i;
    }
}

TEST(LwVectorSquareNorm, SumsSquaresOfVectors)
{
    const LwMatrixArithmetic op;
    LwLDoubleMatrix row(3, 1);
    row[0] = 1;
    row[1] = 2;
    row[2] = 2;
    EXPECT_EQ(op.VectorSquareNorm(row), 9);
    LwLDoubleMatrix column(1, 4);
    column.RowBegin = -2;
    for (int i = -2; i < 2; ++i)
        column[i] = i;
    EXPECT_EQ(op.VectorSquareNorm(column), 4 + 1 + 0 + 1);
    LwLDoubleMatrix single(1, 1);
    single[0] = -3;
    EXPECT_EQ(op.VectorSquareNorm(single), 9);
    EXPECT_EQ(op.VectorSquareNorm(LwLDoubleMatrix()), 0);
    EXPECT_EQ(ErrorText([&] { op.VectorSquareNorm(LwLDoubleMatrix(2, 2)); }), "This is not vector");
    EXPECT_EQ(ErrorText([&] { op.VectorSquareNorm(LwLDoubleMatrix(0, 3)); }), "This is not vector");
}

}  // namespace
