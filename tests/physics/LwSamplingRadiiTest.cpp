// Sampling spheres of the re-expansion: one radius per block of eight l
// values where the product of j_l over the block peaks, checked against
// Boost's spherical Bessel functions.

#include "physics/LwSamplingRadii.h"

#include <boost/math/special_functions/bessel.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

double RefJ(LwLong l, double x)
{
    return boost::math::sph_bessel(unsigned(l), x);
}

double BlockProduct(LwLong l0, LwLong l1, double x)
{
    double product = 1.0;
    for (LwLong l = l0; l < l1; ++l)
        product *= RefJ(l, x);
    return product;
}

}  // namespace

TEST(LwSamplingRadii, SingleLSamplesAtTheCentre)
{
    LwSamplingRadii table;
    table.SetSize_l(1);
    table.Rebuild();
    ASSERT_EQ(table.GetBlockCount(), 1);
    EXPECT_EQ(table.GetKr()[0], 0.0);
    EXPECT_EQ(table.GetW()[0], 1.0);
    table.SetWaveNumber(1.6e11);
    EXPECT_EQ(table.GetRadii()[0], 0.0);
}

// Every block's radius is the best point of the scan; w_l is j_l there.
TEST(LwSamplingRadii, BlocksPeakWhereTheirBesselProductDoes)
{
    for (LwLong L : {5, 8, 15, 16, 17, 30}) {
        SCOPED_TRACE(L);
        LwSamplingRadii table;
        table.SetSize_l(L);
        table.Rebuild();
        const LwLong blocks = (L + 7) / 8;
        ASSERT_EQ(table.GetBlockCount(), blocks);
        ASSERT_EQ(table.GetW().size(), std::size_t(L));
        for (LwLong b = 0; b < blocks; ++b) {
            SCOPED_TRACE(b);
            const LwLong l0 = 8 * b;
            const LwLong l1 = std::min<LwLong>(L, l0 + 8);
            const double kr = table.GetKr()[std::size_t(b)];
            EXPECT_GT(kr, 0.0);
            EXPECT_LT(kr, 1.5 * L);
            for (LwLong l = l0; l < l1; ++l)
                EXPECT_NEAR(table.GetW()[std::size_t(l)], RefJ(l, kr), 1e-12 * std::abs(RefJ(l, kr)));
            const double best = BlockProduct(l0, l1, kr);
            EXPECT_GT(best, 0.0);
            // No point of the scan (the same running sum) does better, up to the
            // rounding of the two Bessel evaluations.
            for (double x = 0.0; x < 1.5 * L; x += 0.01)
                EXPECT_LE(BlockProduct(l0, l1, x), best * (1 + 1e-9)) << "x = " << x;
        }
    }
}

TEST(LwSamplingRadii, FifteenLValuesMakeTwoBlocks)
{
    LwSamplingRadii table;
    EXPECT_EQ(table.GetSize_l(), 15);
    EXPECT_TRUE(table.NeedsRebuild());
    table.Rebuild();
    EXPECT_FALSE(table.NeedsRebuild());
    ASSERT_EQ(table.GetBlockCount(), 2);
    EXPECT_LT(table.GetKr()[0], table.GetKr()[1]);
    EXPECT_LT(table.GetKr()[1], 22.5);
}

TEST(LwSamplingRadii, WaveNumberRescalesAndSizeRebuilds)
{
    LwSamplingRadii table;
    table.SetSize_l(12);
    table.Rebuild();
    const std::vector<double> kr = table.GetKr();
    table.SetWaveNumber(2.0e10);
    for (std::size_t b = 0; b < kr.size(); ++b)
        EXPECT_EQ(table.GetRadii()[b], kr[b] / 2.0e10);
    table.SetWaveNumber(5.0e10);
    EXPECT_EQ(table.GetKr(), kr) << "a new k only rescales";
    for (std::size_t b = 0; b < kr.size(); ++b)
        EXPECT_EQ(table.GetRadii()[b], kr[b] / 5.0e10);

    table.SetSize_l(12);
    EXPECT_FALSE(table.NeedsRebuild()) << "the same L keeps the table";
    table.SetSize_l(20);
    EXPECT_TRUE(table.NeedsRebuild());
    table.Rebuild();
    EXPECT_EQ(table.GetBlockCount(), 3);
    EXPECT_EQ(table.GetWaveNumber(), 0.0);
    table.SetWaveNumber(5.0e10);
    ASSERT_EQ(table.GetRadii().size(), 3u);
    EXPECT_EQ(table.GetRadii()[2], table.GetKr()[2] / 5.0e10);
}

TEST(LwSamplingRadii, PositionTablesGiveThePair)
{
    LwSamplingRadii table;
    table.SetSize_l(6);
    table.Rebuild();
    LwLong p = 0;
    for (LwLong l = 0; l < 6; ++l)
        for (LwLong m = -l; m <= l; ++m, ++p) {
            EXPECT_EQ(table.GetLTable()[p], l);
            EXPECT_EQ(table.GetMTable()[p], m);
        }
}
