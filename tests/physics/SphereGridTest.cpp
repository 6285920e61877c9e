// Direction grids of the re-expansion: each iteration adds exactly the
// directions that complete the next finer grid, without repeating one.

#include "physics/SphereGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <set>
#include <utility>
#include <vector>

namespace {

// Every direction of iterations 0 ... last, as pairs of coordinates scaled to
// integers on the finest lattice 1 / 2^(last/2 + 1) (exact for dyadic u).
std::vector<std::pair<long, long>> CollectDirections(int last, double scale)
{
    std::vector<std::pair<long, long>> all;
    std::vector<double> u;
    std::vector<LwLong> ti, pi;
    for (int n = 0; n <= last; ++n) {
        MakeSphereGrid(n, u, ti, pi);
        EXPECT_EQ(ti.size(), pi.size());
        for (std::size_t i = 0; i < ti.size(); ++i) {
            const double ut = u.at(std::size_t(ti[i]));
            const double up = u.at(std::size_t(pi[i]));
            EXPECT_GE(ut, 0.0);
            EXPECT_LT(ut, 1.0);
            EXPECT_GE(up, 0.0);
            EXPECT_LT(up, 1.0);
            all.emplace_back(std::lround(ut * scale), std::lround(up * scale));
        }
    }
    return all;
}

}  // namespace

TEST(SphereGrid, IterationZeroIsThePole)
{
    std::vector<double> u;
    std::vector<LwLong> ti, pi;
    MakeSphereGrid(0, u, ti, pi);
    ASSERT_EQ(u.size(), 1u);
    EXPECT_EQ(u[0], 0.0);
    ASSERT_EQ(ti.size(), 1u);
    EXPECT_EQ(ti[0], 0);
    EXPECT_EQ(pi[0], 0);
}

TEST(SphereGrid, EachIterationAddsHalfOfTheDirectionsSoFar)
{
    std::vector<double> u;
    std::vector<LwLong> ti, pi;
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        MakeSphereGrid(n, u, ti, pi);
        EXPECT_EQ(ti.size(), std::size_t(1) << (n - 1));
        const std::size_t M = std::size_t(1) << ((n - 1) / 2);
        EXPECT_EQ(u.size(), n % 2 == 1 ? M : 2 * M);
    }
}

// After an even n the directions are exactly the full square grid
// i / 2^(n/2); after an odd n that grid plus the centres of its cells.
TEST(SphereGrid, CumulativeDirectionsFormTheGrid)
{
    for (int last = 0; last <= 14; ++last) {
        SCOPED_TRACE(last);
        const long side = 1L << (last / 2);  // grid points per coordinate
        const long finest = 2 * side;  // lattice of cell centres
        const auto all = CollectDirections(last, double(finest));
        const std::set<std::pair<long, long>> unique(all.begin(), all.end());
        EXPECT_EQ(unique.size(), all.size()) << "a direction was repeated";
        EXPECT_EQ(all.size(), std::size_t(1) << last);

        std::set<std::pair<long, long>> expected;
        for (long a = 0; a < side; ++a)
            for (long b = 0; b < side; ++b) {
                expected.emplace(2 * a, 2 * b);
                if (last % 2 == 1)
                    expected.emplace(2 * a + 1, 2 * b + 1);
            }
        EXPECT_EQ(unique, expected);
    }
}

TEST(SphereGrid, OddIterationOrdersThetaOuter)
{
    std::vector<double> u;
    std::vector<LwLong> ti, pi;
    MakeSphereGrid(5, u, ti, pi);  // h = 2, M = 4
    ASSERT_EQ(u.size(), 4u);
    EXPECT_EQ(u[0], 0.125);
    EXPECT_EQ(u[3], 0.875);
    ASSERT_EQ(ti.size(), 16u);
    EXPECT_EQ(ti[1], 0);
    EXPECT_EQ(pi[1], 1);
    EXPECT_EQ(ti[4], 1);
    EXPECT_EQ(pi[4], 0);
}

TEST(SphereGrid, EvenIterationPairsTheTwoHalfCells)
{
    std::vector<double> u;
    std::vector<LwLong> ti, pi;
    MakeSphereGrid(4, u, ti, pi);  // h = 1, M = 2, u = i / 4
    ASSERT_EQ(u.size(), 4u);
    EXPECT_EQ(u[1], 0.25);
    const std::vector<LwLong> expectTheta = {1, 0, 1, 2, 3, 0, 3, 2};
    const std::vector<LwLong> expectPhi = {0, 1, 2, 1, 0, 3, 2, 3};
    EXPECT_EQ(ti, expectTheta);
    EXPECT_EQ(pi, expectPhi);
}
