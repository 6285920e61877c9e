// The LU solver against an independent Gaussian elimination with partial
// pivoting, residuals, hand-computed small systems and its indexing rules.
// Built in both variants: all tolerances scale with the epsilon of LDouble.
#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "pattern/LwLinearEquation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr LDouble kEps = std::numeric_limits<LDouble>::epsilon();
const std::string kSingular = "Sirngular matrirx irn routirne luExtractiron";

using Rows = std::vector<std::vector<LDouble>>;  // rows[r][c]

// Square matrix over the index range begin .. begin + n - 1 from rows[r][c].
LwLDoubleMatrix MakeMatrix(const Rows& rows, int begin = 0)
{
    const int n = static_cast<int>(rows.size());
    LwLDoubleMatrix m(n, n);
    m.ColBegin = begin;
    m.RowBegin = begin;
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            m(begin + c, begin + r) = rows[r][c];
    return m;
}

LwLDoubleMatrix MakeVector(const std::vector<LDouble>& v, int begin = 0)
{
    LwLDoubleMatrix m;
    m.Create(static_cast<int>(v.size()));
    m.RowBegin = begin;
    for (std::size_t i = 0; i < v.size(); ++i)
        m[begin + static_cast<int>(i)] = v[i];
    return m;
}

std::vector<LDouble> Values(const LwLDoubleMatrix& v)
{
    std::vector<LDouble> out;
    for (int i = 0; i < v.VectorSize(); ++i)
        out.push_back(v[v.VectorBegin() + i]);
    return out;
}

std::vector<LDouble> AllElements(const LwLDoubleMatrix& m)
{
    std::vector<LDouble> out;
    for (int r = m.RowBegin; r < m.RowBegin + m.RowSize; ++r)
        for (int c = m.ColBegin; c < m.ColBegin + m.ColSize; ++c)
            out.push_back(m(c, r));
    return out;
}

// Gaussian elimination with partial pivoting on plain arrays: the
// independent reference solution.
std::vector<LDouble> SolveByPivotedElimination(Rows a, std::vector<LDouble> b)
{
    const std::size_t n = b.size();
    for (std::size_t k = 0; k < n; ++k) {
        std::size_t p = k;
        for (std::size_t i = k + 1; i < n; ++i)
            if (std::fabs(a[i][k]) > std::fabs(a[p][k]))
                p = i;
        std::swap(a[k], a[p]);
        std::swap(b[k], b[p]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const LDouble m = a[i][k] / a[k][k];
            for (std::size_t j = k; j < n; ++j)
                a[i][j] -= m * a[k][j];
            b[i] -= m * b[k];
        }
    }
    std::vector<LDouble> x(n);
    for (std::size_t i = n; i-- > 0;) {
        LDouble s = b[i];
        for (std::size_t j = i + 1; j < n; ++j)
            s -= a[i][j] * x[j];
        x[i] = s / a[i][i];
    }
    return x;
}

LDouble NormInf(const std::vector<LDouble>& v)
{
    LDouble m = 0.0;
    for (LDouble e : v)
        m = std::max(m, std::fabs(e));
    return m;
}

LDouble NormInf(const Rows& a)
{
    LDouble m = 0.0;
    for (const auto& row : a) {
        LDouble s = 0.0;
        for (LDouble e : row)
            s += std::fabs(e);
        m = std::max(m, s);
    }
    return m;
}

std::vector<LDouble> Residual(const Rows& a, const std::vector<LDouble>& x, const std::vector<LDouble>& b)
{
    std::vector<LDouble> r(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) {
        LDouble s = -b[i];
        for (std::size_t j = 0; j < x.size(); ++j)
            s += a[i][j] * x[j];
        r[i] = s;
    }
    return r;
}

// Random matrix with a dominant diagonal: regular, condition number of a few,
// and a growth factor of at most 2 without pivoting, so the solver reaches
// full accuracy. symmetric: a normal-equation-like matrix.
Rows RandomDominant(std::mt19937& rng, int n, bool symmetric)
{
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Rows a(n, std::vector<LDouble>(n));
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
            a[r][c] = u(rng);
    if (symmetric)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < r; ++c)
                a[r][c] = a[c][r];
    for (int r = 0; r < n; ++r)
        a[r][r] += (r % 2 == 0 ? 1 : -1) * (n + 1.0);
    return a;
}

std::vector<LDouble> RandomVector(std::mt19937& rng, int n)
{
    std::uniform_real_distribution<double> u(-10.0, 10.0);
    std::vector<LDouble> v(n);
    for (LDouble& e : v)
        e = u(rng);
    return v;
}

void ExpectSingularError(const std::function<void()>& call)
{
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), kSingular);
    }
}

void ExpectErrorStartingWith(const std::function<void()>& call, const std::string& prefix)
{
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.Message();
    }
}

}  // namespace

// Random regular systems of several sizes and begin indices: a small residual
// and agreement with the pivoted elimination.
TEST(LwLinearEquation, SolvesRandomWellConditionedSystems)
{
    std::mt19937 rng(20261210);
    const int begins[] = {0, 3, -4};
    for (int n = 1; n <= 12; ++n) {
        for (int begin : begins) {
            for (bool symmetric : {true, false}) {
                SCOPED_TRACE("n = " + std::to_string(n) + ", begin = " + std::to_string(begin) +
                             (symmetric ? ", symmetric" : ", general"));
                const Rows rows = RandomDominant(rng, n, symmetric);
                const std::vector<LDouble> rhs = RandomVector(rng, n);
                const LwLDoubleMatrix a = MakeMatrix(rows, begin);
                const LwLDoubleMatrix b = MakeVector(rhs, begin);
                LwLDoubleMatrix x;
                LwLinearEquation().Solve(x, a, b);

                ASSERT_EQ(x.ColSize, 1);
                ASSERT_EQ(x.RowSize, n);
                ASSERT_EQ(x.RowBegin, begin);
                const std::vector<LDouble> solution = Values(x);
                // Backward stability without pivoting for a growth factor <= 2.
                EXPECT_LE(NormInf(Residual(rows, solution, rhs)),
                          8 * n * kEps * NormInf(rows) * NormInf(solution));
                // Forward error against the reference: condition number (< 3
                // for these matrices) times the backward errors of both.
                const std::vector<LDouble> reference = SolveByPivotedElimination(rows, rhs);
                for (int i = 0; i < n; ++i)
                    EXPECT_NEAR(solution[i], reference[i], 64 * n * kEps * NormInf(reference))
                        << "entry " << i;
            }
        }
    }
}

TEST(LwLinearEquation, SolveLeavesItsInputsUnchanged)
{
    std::mt19937 rng(7);
    const Rows rows = RandomDominant(rng, 5, true);
    const std::vector<LDouble> rhs = RandomVector(rng, 5);
    const LwLDoubleMatrix a = MakeMatrix(rows, 2);
    const LwLDoubleMatrix b = MakeVector(rhs, 2);
    LwLDoubleMatrix x;
    LwLinearEquation().Solve(x, a, b);
    EXPECT_EQ(AllElements(a), AllElements(MakeMatrix(rows, 2)));
    EXPECT_EQ(Values(b), rhs);

    // Inputs flagged as returned results are read, not taken over.
    LwLDoubleMatrix flaggedA = MakeMatrix(rows, 2).Release(true);
    LwLDoubleMatrix flaggedB = MakeVector(rhs, 2).Release(true);
    ASSERT_TRUE(flaggedA.FastReturn);
    LwLDoubleMatrix y;
    LwLinearEquation().Solve(y, flaggedA, flaggedB);
    EXPECT_EQ(AllElements(flaggedA), AllElements(a));
    EXPECT_EQ(Values(flaggedB), rhs);
    EXPECT_EQ(Values(y), Values(x));
    EXPECT_FALSE(y.FastReturn);

    // The solution may overwrite the right-hand side or the matrix itself.
    LwLDoubleMatrix inPlace = MakeVector(rhs, 2);
    LwLinearEquation().Solve(inPlace, a, inPlace);
    EXPECT_EQ(Values(inPlace), Values(x));
    LwLDoubleMatrix overA = MakeMatrix(rows, 2);
    LwLinearEquation().Solve(overA, overA, b);
    EXPECT_EQ(Values(overA), Values(x));
}

TEST(LwLinearEquation, HandComputedSmallSystems)
{
    // 1 x 1: x = v / a, rounded once in LDouble.
    LwLDoubleMatrix x;
    LwLinearEquation().Solve(x, MakeMatrix({{3.0}}), MakeVector({1.0}));
    EXPECT_EQ(Values(x), std::vector<LDouble>{LDouble(1.0) / LDouble(3.0)});

    // ((4, 2), (2, 3)) x = (2, 1): U = ((4, 2), (0, 2)), L(1, 0) = 0.5, x = (0.5, 0),
    // every step exact.
    LwLDoubleMatrix a = MakeMatrix({{4.0, 2.0}, {2.0, 3.0}});
    LwLongMatrix index;
    LwLinearEquation().LuDecomposition(a, index);
    EXPECT_EQ(AllElements(a), (std::vector<LDouble>{4.0, 2.0, 0.5, 2.0}));
    ASSERT_EQ(index.RowSize, 2);
    EXPECT_EQ(index[0], 0);
    EXPECT_EQ(index[1], 1);
    LwLDoubleMatrix b = MakeVector({2.0, 1.0});
    LwLinearEquation().LuBackSubstitution(a, index, b);
    EXPECT_EQ(Values(b), (std::vector<LDouble>{0.5, 0.0}));
}

TEST(LwLinearEquation, EmptySystem)
{
    LwLDoubleMatrix a(0, 0);
    a.RowBegin = 5;
    a.ColBegin = 5;
    LwLongMatrix index(3, 3);
    LwLinearEquation().LuDecomposition(a, index);
#if LW_EXTENDED_LDOUBLE
    // halvane's decomposition returns at once.
    EXPECT_EQ(index.ColSize, 3);
    EXPECT_EQ(index.RowSize, 3);
    EXPECT_EQ(index.RowBegin, 0);
#else
    EXPECT_EQ(index.ColSize, 1);
    EXPECT_EQ(index.RowSize, 0);
    EXPECT_EQ(index.RowBegin, 5);
#endif

    LwLDoubleMatrix b = MakeVector({1.5, -2.0, 7.0});
    LwLinearEquation().LuBackSubstitution(a, index, b);
    EXPECT_EQ(Values(b), (std::vector<LDouble>{1.5, -2.0, 7.0}));
}

// A row of zeros, wherever it is, stops the decomposition before any element
// changes; the permutation vector has already been re-created.
TEST(LwLinearEquation, ZeroRowIsSingular)
{
    LwLDoubleMatrix x;
    ExpectSingularError([&] { LwLinearEquation().Solve(x, MakeMatrix({{0.0}}), MakeVector({1.0})); });
    for (int zeroRow = 0; zeroRow < 3; ++zeroRow) {
        SCOPED_TRACE("zero row " + std::to_string(zeroRow));
        Rows rows = {{2.0, 1.0, 0.5}, {1.0, 3.0, 1.0}, {0.5, 1.0, 4.0}};
        rows[zeroRow] = {0.0, 0.0, 0.0};
        LwLDoubleMatrix a = MakeMatrix(rows, -1);
        LwLongMatrix index;
        ExpectSingularError([&] { LwLinearEquation().LuDecomposition(a, index); });
        EXPECT_EQ(AllElements(a), AllElements(MakeMatrix(rows, -1)));
        EXPECT_EQ(index.RowSize, 3);
        EXPECT_EQ(index.RowBegin, -1);
        ExpectSingularError([&] {
            LwLinearEquation().Solve(x, MakeMatrix(rows), MakeVector({1.0, 2.0, 3.0}));
        });
    }
}

// The multipliers below a pivot: multiplied by its reciprocal in the double
// build, divided by it in the extended one. 5/3 and 5·(1/3) differ in the
// last bit in both widths.
TEST(LwLinearEquation, MultipliersFollowTheBuild)
{
    const LDouble five = 5.0;
    const LDouble three = 3.0;
    const LDouble divided = five / three;
    const LDouble byReciprocal = five * (LDouble(1.0) / three);
    ASSERT_NE(divided, byReciprocal);

    LwLDoubleMatrix a = MakeMatrix({{3.0, 1.0}, {5.0, 4.0}});
    LwLongMatrix index;
    LwLinearEquation().LuDecomposition(a, index);
#if LW_EXTENDED_LDOUBLE
    EXPECT_EQ(a(0, 1), divided);
#else
    EXPECT_EQ(a(0, 1), byReciprocal);
#endif
    EXPECT_EQ(a(1, 1), LDouble(4.0) - a(0, 1) * LDouble(1.0));
}

// A zero leading pivot with no zero row: no exchange, the pivot becomes 1e-20
// and the multipliers below it are divided by that.
TEST(LwLinearEquation, ZeroPivotIsReplacedNotExchanged)
{
    LwLDoubleMatrix a = MakeMatrix({{0.0, 1.0}, {2.0, 3.0}});
    LwLongMatrix index;
    LwLinearEquation().LuDecomposition(a, index);
    const LDouble tiny = 1e-20;
#if LW_EXTENDED_LDOUBLE
    const LDouble multiplier = LDouble(2.0) / tiny;
#else
    const LDouble multiplier = LDouble(2.0) * (LDouble(1.0) / tiny);
#endif
    EXPECT_EQ(a(0, 0), tiny);
    EXPECT_EQ(a(1, 0), 1.0);
    EXPECT_EQ(a(0, 1), multiplier);
    EXPECT_EQ(a(1, 1), LDouble(3.0) - multiplier * LDouble(1.0));
    EXPECT_EQ(index[0], 0);
    EXPECT_EQ(index[1], 1);

    // A pivot that becomes 0 during the elimination (singular without a zero
    // row) is replaced the same way, and the decomposition completes.
    LwLDoubleMatrix s = MakeMatrix({{1.0, 2.0}, {2.0, 4.0}});
    LwLinearEquation().LuDecomposition(s, index);
    EXPECT_EQ(s(1, 1), tiny);
}

// With a unit vector the forward pass forms no sum before the first non-zero
// entry; the result must equal full sums over all rows, bit for bit, and the
// columns together give the inverse.
TEST(LwLinearEquation, UnitVectorsGiveTheFullSubstitution)
{
    std::mt19937 rng(11);
    const int n = 6;
    const int begin = -2;
    const Rows rows = RandomDominant(rng, n, true);
    LwLDoubleMatrix lu = MakeMatrix(rows, begin);
    LwLongMatrix index;
    LwLinearEquation().LuDecomposition(lu, index);

    for (int k = 0; k < n; ++k) {
        SCOPED_TRACE("unit vector " + std::to_string(k));
        std::vector<LDouble> e(n, 0.0);
        e[k] = 1.0;
        LwLDoubleMatrix b = MakeVector(e, begin);
        LwLinearEquation().LuBackSubstitution(lu, index, b);

        // Full forward and back substitution with the identity permutation.
        std::vector<LDouble> y(n);
        for (int i = 0; i < n; ++i) {
            LDouble s = e[i];
            for (int j = 0; j < i; ++j)
                s -= lu(begin + j, begin + i) * y[j];
            y[i] = s;
        }
        for (int i = n - 1; i >= 0; --i) {
            LDouble s = y[i];
            for (int j = i + 1; j < n; ++j)
                s -= lu(begin + j, begin + i) * y[j];
            y[i] = s / lu(begin + i, begin + i);
        }
        EXPECT_EQ(Values(b), y);
        EXPECT_LE(NormInf(Residual(rows, Values(b), e)), 8 * n * kEps * NormInf(rows) * NormInf(y));
    }
}

// Begin indices other than 0 use the same arithmetic: the same values
// decomposed over rows 1 .. 3 or -7 .. -5 give the same bits as over 0 .. 2.
TEST(LwLinearEquation, BeginIndicesShiftEverything)
{
    const Rows rows = {{5.0, 1.0, -2.0}, {1.0, 6.0, 0.5}, {-2.0, 0.5, 7.0}};
    const std::vector<LDouble> rhs = {1.0, -3.0, 2.5};
    LwLDoubleMatrix reference;
    LwLinearEquation().Solve(reference, MakeMatrix(rows), MakeVector(rhs));
    LwLDoubleMatrix luRef = MakeMatrix(rows);
    LwLongMatrix indexRef;
    LwLinearEquation().LuDecomposition(luRef, indexRef);

    for (int begin : {1, -7}) {
        SCOPED_TRACE("begin " + std::to_string(begin));
        LwLDoubleMatrix lu = MakeMatrix(rows, begin);
        LwLongMatrix index;
        LwLinearEquation().LuDecomposition(lu, index);
        EXPECT_EQ(AllElements(lu), AllElements(luRef));
        EXPECT_EQ(index.ColSize, 1);
        EXPECT_EQ(index.RowSize, 3);
        EXPECT_EQ(index.RowBegin, begin);
        for (int i = begin; i < begin + 3; ++i)
            EXPECT_EQ(index[i], i);

        LwLDoubleMatrix x;
        LwLinearEquation().Solve(x, MakeMatrix(rows, begin), MakeVector(rhs, begin));
        EXPECT_EQ(x.RowBegin, begin);
        EXPECT_EQ(Values(x), Values(reference));
    }
}

// The substitution applies the row exchanges it is given: with the factors
// and exchanges of a partially pivoted Crout decomposition (computed here) it
// solves the original, unpermuted system.
TEST(LwLinearEquation, BackSubstitutionHonoursRowExchanges)
{
    const int n = 5;
    for (int begin : {0, 4}) {
        SCOPED_TRACE("begin " + std::to_string(begin));
        // Small leading pivots: pivoting exchanges rows here.
        const Rows rows = {{0.1, 2.0, 1.0, 3.0, -1.0},
                           {4.0, 1.0, -2.0, 0.5, 1.0},
                           {1.0, -3.0, 0.2, 1.0, 2.0},
                           {2.0, 0.5, 5.0, 0.3, -1.5},
                           {-1.0, 1.0, 2.0, 4.0, 0.05}};
        Rows f = rows;
        std::vector<int> exchange(n);
        for (int j = 0; j < n; ++j) {
            for (int i = 0; i < n; ++i) {
                LDouble s = f[i][j];
                for (int k = 0; k < std::min(i, j); ++k)
                    s -= f[i][k] * f[k][j];
                f[i][j] = s;
            }
            int p = j;
            for (int i = j + 1; i < n; ++i)
                if (std::fabs(f[i][j]) > std::fabs(f[p][j]))
                    p = i;
            std::swap(f[j], f[p]);
            exchange[j] = p;
            for (int i = j + 1; i < n; ++i)
                f[i][j] /= f[j][j];
        }
        ASSERT_NE(exchange, (std::vector<int>{0, 1, 2, 3, 4}));

        LwLDoubleMatrix lu = MakeMatrix(f, begin);
        LwLongMatrix index;
        index.Create(n);
        index.RowBegin = begin;
        for (int i = 0; i < n; ++i)
            index[begin + i] = begin + exchange[i];

        const std::vector<LDouble> rhs = {1.0, 0.0, -2.0, 3.0, 0.5};
        LwLDoubleMatrix b = MakeVector(rhs, begin);
        LwLinearEquation().LuBackSubstitution(lu, index, b);
        const std::vector<LDouble> x = Values(b);
        EXPECT_LE(NormInf(Residual(rows, x, rhs)), 64 * n * kEps * NormInf(rows) * NormInf(x));
        const std::vector<LDouble> reference = SolveByPivotedElimination(rows, rhs);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(x[i], reference[i], 1e3 * kEps * NormInf(reference));
    }
}

// Misshapen inputs fail with the matrix family's errors at the first access.
TEST(LwLinearEquation, MisshapenInputs)
{
    const std::string range = "Matrix over range. access=(";
    // Two columns, three rows: column 2 does not exist.
    LwLDoubleMatrix wide(2, 3);
    wide.SetUnit();
    LwLongMatrix index;
    ExpectErrorStartingWith([&] { LwLinearEquation().LuDecomposition(wide, index); }, range);

    // Column range 1 .. 2, row range 0 .. 1.
    LwLDoubleMatrix shifted = MakeMatrix({{1.0, 0.0}, {0.0, 1.0}});
    shifted.ColBegin = 1;
    ExpectErrorStartingWith([&] { LwLinearEquation().LuDecomposition(shifted, index); }, range);

    LwLDoubleMatrix a = MakeMatrix({{2.0, 1.0}, {1.0, 2.0}});
    LwLDoubleMatrix x;
    ExpectErrorStartingWith([&] { LwLinearEquation().Solve(x, a, MakeVector({1.0})); }, range);
    ExpectErrorStartingWith([&] { LwLinearEquation().Solve(x, a, MakeVector({1.0, 2.0}, 1)); }, range);
    try {
        LwLinearEquation().Solve(x, a, MakeMatrix({{1.0, 2.0}, {3.0, 4.0}}));
        ADD_FAILURE() << "no error";
    } catch (const LwError& e) {
        EXPECT_EQ(e.Message(), "This is not vector");
    }
}
