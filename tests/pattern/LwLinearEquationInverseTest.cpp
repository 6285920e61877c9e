// Matrix inverse by one LU decomposition and a solve per unit column: checked
// by the products with the matrix itself, by closed forms (diagonal,
// permutation, 1 x 1) and by the decomposition's failure modes.

#include "pattern/LwLinearEquation.h"
#include "ErrorText.h"
#include "LDoubleNear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

LwLDoubleMatrix Square(int n, int begin)
{
    LwLDoubleMatrix a(n, n);
    a.ColBegin = begin;
    a.RowBegin = begin;
    return a;
}

// Random entries in [-1, 1] plus n + 1 on the diagonal: strictly diagonally
// dominant, so well conditioned and needing no row exchanges.
LwLDoubleMatrix RandomWellConditioned(int n, int begin, std::mt19937& rng)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    LwLDoubleMatrix a = Square(n, begin);
    for (int r = begin; r < begin + n; ++r)
        for (int c = begin; c < begin + n; ++c)
            a(c, r) = u(rng) + (c == r ? n + 1 : 0);
    return a;
}

// Largest |p(c, r) - delta(c, r)| over the index ranges of p.
LDouble DistanceFromUnit(const LwLDoubleMatrix& p)
{
    LDouble worst = 0;
    for (int r = p.RowBegin; r < p.RowBegin + p.RowSize; ++r)
        for (int c = p.ColBegin; c < p.ColBegin + p.ColSize; ++c)
            worst = std::max(worst, std::fabs(p(c, r) - (c == r ? 1 : 0)));
    return worst;
}

const LDouble kEpsilon = std::numeric_limits<LDouble>::epsilon();

}  // namespace

TEST(LwLinearEquationInverse, ProductsWithTheMatrixAreTheUnitMatrix)
{
    std::mt19937 rng(20261210);
    for (int begin : {0, 2, -3}) {
        for (int n : {1, 2, 3, 5, 8, 13}) {
            SCOPED_TRACE("n " + std::to_string(n) + " begin " + std::to_string(begin));
            const LwLDoubleMatrix a = RandomWellConditioned(n, begin, rng);
            LwLDoubleMatrix y;
            LwLinearEquation().Inverse(y, a);
            EXPECT_EQ(y.ColSize, n);
            EXPECT_EQ(y.RowSize, n);
            EXPECT_EQ(y.ColBegin, begin);
            EXPECT_EQ(y.RowBegin, begin);
            EXPECT_FALSE(y.FastReturn);
            EXPECT_LT(DistanceFromUnit(y * a), 100 * n * kEpsilon);
            EXPECT_LT(DistanceFromUnit(a * y), 100 * n * kEpsilon);
        }
    }
}

TEST(LwLinearEquationInverse, LeavesTheMatrixAndResizesTheResult)
{
    std::mt19937 rng(7);
    const LwLDoubleMatrix a = RandomWellConditioned(4, 1, rng);
    const LwLDoubleMatrix copy = a;
    LwLDoubleMatrix y(2, 7);
    y.ColBegin = -9;
    LwLinearEquation().Inverse(y, a);
    for (int i = 0; i < a.ElementCount(); ++i)
        EXPECT_EQ(a.Buffer()[i], copy.Buffer()[i]);
    EXPECT_EQ(y.ColSize, 4);
    EXPECT_EQ(y.RowSize, 4);
    EXPECT_EQ(y.ColBegin, 1);
    EXPECT_EQ(y.RowBegin, 1);

    // In place: the matrix is copied before the result is written.
    LwLDoubleMatrix inPlace = a;
    LwLinearEquation().Inverse(inPlace, inPlace);
    for (int i = 0; i < a.ElementCount(); ++i)
        EXPECT_EQ(inPlace.Buffer()[i], y.Buffer()[i]);
}

TEST(LwLinearEquationInverse, ClosedForms)
{
    // 0 x 0.
    LwLDoubleMatrix empty, y(3, 3);
    LwLinearEquation().Inverse(y, empty);
    EXPECT_EQ(y.ColSize, 0);
    EXPECT_EQ(y.RowSize, 0);

    // 1 x 1.
    LwLDoubleMatrix one = Square(1, 0);
    one(0, 0) = -0.125;
    LwLinearEquation().Inverse(y, one);
    EXPECT_EQ(y(0, 0), -8);

    // Diagonal: reciprocals, zeros elsewhere.
    const LDouble diagonal[] = {2, -4, 0.5, 10, 3};
    LwLDoubleMatrix d = Square(5, 0);
    d.SetZero();
    for (int i = 0; i < 5; ++i)
        d(i, i) = diagonal[i];
    LwLinearEquation().Inverse(y, d);
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_PRED_FORMAT3(LDoubleNear, y(c, r), c == r ? 1 / diagonal[r] : 0, 4 * kEpsilon)
                << c << "," << r;

    // Permutations made of disjoint exchanges of neighbouring rows: the
    // transpose. The 0 that reaches the diagonal stands as 1e-20 during the
    // decomposition, which leaves entries of that order where the transpose
    // has 0.
    const std::vector<std::vector<int>> permutations = {{1, 0}, {0, 2, 1}, {1, 0, 3, 2}, {2, 1, 0}};
    for (const std::vector<int>& target : permutations) {
        const int n = static_cast<int>(target.size());
        SCOPED_TRACE(n);
        LwLDoubleMatrix p = Square(n, 0);
        p.SetZero();
        for (int r = 0; r < n; ++r)
            p(target[r], r) = 1;
        LwLinearEquation().Inverse(y, p);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                EXPECT_PRED_FORMAT3(LDoubleNear, y(c, r), p(r, c), 4 * kEpsilon) << c << "," << r;
    }
}

TEST(LwLinearEquationInverse, SingularMatrices)
{
    // A row of zeros is refused.
    const char* const singular = "Sirngular matrirx irn routirne luExtractiron";
    LwLDoubleMatrix zero = Square(1, 0), y;
    zero(0, 0) = 0;
    EXPECT_EQ(ErrorText([&] { LwLinearEquation().Inverse(y, zero); }), singular);
    LwLDoubleMatrix zeroRow = Square(3, 0);
    zeroRow.SetZero();
    zeroRow(0, 0) = 1;
    zeroRow(2, 2) = 1;
    EXPECT_EQ(ErrorText([&] { LwLinearEquation().Inverse(y, zeroRow); }), singular);

    // Dependent rows without a zero row: the zero pivot stands as 1e-20, and
    // the inverse comes out with entries of the order of 1e20.
    LwLDoubleMatrix dependent = Square(2, 0);
    dependent(0, 0) = 1;
    dependent(1, 0) = 3;
    dependent(0, 1) = 2;
    dependent(1, 1) = 6;
    LwLinearEquation().Inverse(y, dependent);
    LDouble largest = 0;
    for (int i = 0; i < 4; ++i)
        largest = std::max(largest, std::fabs(y.Buffer()[i]));
    EXPECT_GT(largest, 1e19);
    EXPECT_LT(largest, 1e22);
}

TEST(LwLinearEquationInverse, MatricesThatAreNotSquareAreRefused)
{
    LwLDoubleMatrix y;
    LwLDoubleMatrix wide(3, 2), tall(2, 3), shifted = Square(2, 0);
    for (LwLDoubleMatrix* m : {&wide, &tall, &shifted})
        for (int i = 0; i < m->ElementCount(); ++i)
            m->Buffer()[i] = 1 + i * i;
    shifted.ColBegin = 1;
    for (LwLDoubleMatrix* m : {&wide, &tall, &shifted})
        EXPECT_EQ(
            ErrorText([&] { LwLinearEquation().Inverse(y, *m); }).rfind("Matrix over range. access=(", 0),
            0u);
}
