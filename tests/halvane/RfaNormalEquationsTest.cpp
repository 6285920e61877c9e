// The normal-equation solver of the background fit: condition numbers
// against analytic eigenvalues, solutions against known ones, and the
// leading blocks of a singular matrix.
#include "core/LwConstants.h"
#include "apps/halvane/engine/RfaNormalEquations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr LDouble kEps = std::numeric_limits<LDouble>::epsilon();

// The symmetric tridiagonal Toeplitz matrix with `diagonal` and `off` beside
// it, each row and column k multiplied by scale[k]: D T D.
LwLDoubleMatrix ScaledToeplitz(int n, LDouble diagonal, LDouble off, const std::vector<LDouble>& scale)
{
    LwLDoubleMatrix a(n, n);
    a.SetZero();
    for (int i = 0; i < n; ++i) {
        a(i, i) = diagonal * scale[i] * scale[i];
        if (i + 1 < n)
            a(i + 1, i) = a(i, i + 1) = off * scale[i] * scale[i + 1];
    }
    return a;
}

TEST(RfaNormalEquations, ConditionOfEveryLeadingBlockMatchesTheAnalyticEigenvalues)
{
    // Eigenvalues of the unit-diagonal Toeplitz matrix of size m:
    // 1 + 2 a cos(k pi / (m + 1)), k = 1 .. m. The scaling D is undone by the
    // equilibration, so the condition number is that of T itself.
    const int n = 12;
    const LDouble a = 0.45L;
    std::vector<LDouble> scale;
    for (int i = 0; i < n; ++i)
        scale.push_back(std::pow(10.0L, static_cast<LDouble>(i % 5) - 2));
    const RfaNormalEquations equations(ScaledToeplitz(n, 1, a, scale));
    ASSERT_EQ(equations.FactoredSize(), n);
    for (int m = 1; m <= n; ++m) {
        SCOPED_TRACE(m);
        const LDouble c = std::cos(LwConst::Pi / (m + 1));
        const LDouble expected = (1 + 2 * a * c) / (1 - 2 * a * c);
        EXPECT_NEAR(static_cast<double>(equations.Condition(m) / expected), 1.0, 1e-2);
    }
}

TEST(RfaNormalEquations, SolvesToTheAccuracyItsConditionPromises)
{
    // Hilbert matrices: condition numbers from 2e1 to 1.5e10 (n = 2 .. 8).
    for (int n = 2; n <= 8; n += 3) {
        SCOPED_TRACE(n);
        LwLDoubleMatrix h(n, n);
        std::vector<LDouble> x(static_cast<std::size_t>(n)), b(static_cast<std::size_t>(n), 0);
        for (int i = 0; i < n; ++i)
            x[static_cast<std::size_t>(i)] = 1 + 0.25L * i;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                h(j, i) = 1 / static_cast<LDouble>(i + j + 1);
                b[static_cast<std::size_t>(i)] += h(j, i) * x[static_cast<std::size_t>(j)];
            }
        const RfaNormalEquations equations(h);
        ASSERT_EQ(equations.FactoredSize(), n);
        const LDouble condition = equations.Condition(n);
        const std::vector<LDouble> solved = equations.Solve(b, n);
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(static_cast<double>(solved[static_cast<std::size_t>(i)]),
                        static_cast<double>(x[static_cast<std::size_t>(i)]),
                        static_cast<double>(100 * condition * kEps * x[static_cast<std::size_t>(i)]));
    }
}

TEST(RfaNormalEquations, DependentFunctionsAreBeyondAnyConditionLimitAndLeaveTheBlocksBefore)
{
    // The Gram matrix of v0, v1, v0 + v1 and v3 over four samples: the third
    // unknown depends on the first two.
    const LDouble v[4][4] = {{1, 2, 0, 1}, {0, 1, 3, 1}, {1, 3, 3, 2}, {2, 0, 1, 5}};
    LwLDoubleMatrix g(4, 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            LDouble s = 0;
            for (int k = 0; k < 4; ++k)
                s += v[i][k] * v[j][k];
            g(j, i) = s;
        }
    const RfaNormalEquations equations(g);
    // The pivot of the third unknown is 0 but for rounding: either the
    // factorisation stops there or its condition is of the order of 1 / eps.
    EXPECT_GE(equations.FactoredSize(), 2);
    EXPECT_LT(equations.Condition(2), 10);
    for (const int n : {3, 4})
        EXPECT_GT(equations.Condition(n), 0.01L / kEps) << n;
    // The leading 2 x 2 system: G2 c = (6, 7) with G2 = ((6, 3), (3, 11)),
    // c = (45, 24) / 57.
    const std::vector<LDouble> c = equations.Solve({6, 7, 0, 0}, 2);
    EXPECT_NEAR(static_cast<double>(c[0]), 45.0 / 57, 1e-15);
    EXPECT_NEAR(static_cast<double>(c[1]), 24.0 / 57, 1e-15);

    // A function that vanishes at every sample stops the factorisation at once.
    LwLDoubleMatrix zero(2, 2);
    zero.SetZero();
    zero(1, 1) = 4;
    EXPECT_EQ(RfaNormalEquations(zero).FactoredSize(), 0);
}

}  // namespace
