// Resampling, binning, enlarging and rotating images: sums, linear images,
// block means, quarter turns, and the refusals of bad factors and
// destinations.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using imageops_test::MakeMatrix;
using imageops_test::RandomImage;
using imageops_test::SameElements;
using imageops_test::WithThreads;

namespace {

template <class M>
class LwMatrixOperatorBinningTest : public ::testing::Test
{};
using BinnedClasses = ::testing::Types<LwFloatMatrix, LwDoubleMatrix, LwLDoubleMatrix>;
TYPED_TEST_SUITE(LwMatrixOperatorBinningTest, BinnedClasses);

}  // namespace

TYPED_TEST(LwMatrixOperatorBinningTest, BinningKeepsTheSumOfWholeBlocks)
{
    using M = TypeParam;
    using T = typename M::ElementType;
    const M source =
        MakeMatrix<M>(11, 8, 3, -2, [](int c, int r) { return T(std::sin(0.3 * c) + 0.1 * r * r); });
    for (const int factor : {1, 2, 3}) {
        SCOPED_TRACE(factor);
        const M binned = LwMatrixOperator::BinImage(source, factor);
        EXPECT_TRUE(binned.FastReturn);
        ASSERT_EQ(binned.ColSize, 11 / factor);
        ASSERT_EQ(binned.RowSize, 8 / factor);
        EXPECT_EQ(binned.ColBegin, 0);
        long double used = 0, total = 0;
        for (int r = -2; r < -2 + binned.RowSize * factor; ++r)
            for (int c = 3; c < 3 + binned.ColSize * factor; ++c)
                used += source(c, r);
        for (int k = 0; k < binned.ElementCount(); ++k)
            total += binned.Buffer()[k];
        EXPECT_NEAR(double(total * factor * factor), double(used), 1e-4);
        // Pixel (1, 0) is the mean of its block (begins honoured).
        if (binned.ColSize > 1) {
            long double block = 0;
            for (int b = 0; b < factor; ++b)
                for (int a = 0; a < factor; ++a)
                    block += source(3 + factor + a, -2 + b);
            EXPECT_NEAR(double(binned(1, 0)), double(block / (factor * factor)), 1e-6);
        }
    }
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::BinImage(source, 0); }), "Parameter Error");
    EXPECT_EQ(LwMatrixOperator::BinImage(M(5, 5), 2).ColSize, 2);  // fifth row and column dropped
}

TYPED_TEST(LwMatrixOperatorBinningTest, EnlargingReproducesALinearImage)
{
    using M = TypeParam;
    using T = typename M::ElementType;
    // Away from the clamped border the bilinear weights reproduce a linear
    // image at the source position I / factor - 1/2.
    const M source = MakeMatrix<M>(7, 6, 0, 0, [](int c, int r) { return T(2 + 0.5 * c - 0.25 * r); });
    for (const int factor : {1, 2, 3, 4}) {
        SCOPED_TRACE(factor);
        const M big = LwMatrixOperator::EnlargeImage(source, factor);
        ASSERT_EQ(big.ColSize, 7 * factor);
        ASSERT_EQ(big.RowSize, 6 * factor);
        for (int J = factor; J < (6 - 1) * factor; ++J)
            for (int I = factor; I < (7 - 1) * factor; ++I) {
                const double x = double(I) / factor - 0.5, y = double(J) / factor - 0.5;
                ASSERT_NEAR(double(big(I, J)), 2 + 0.5 * x - 0.25 * y, 1e-5) << I << "," << J;
            }
    }
    // A row (0, 4) doubled: (0, 0, 2, 4).
    const M row = MakeMatrix<M>(2, 1, 0, 0, [](int c, int) { return T(4 * c); });
    const M twice = LwMatrixOperator::EnlargeImage(row, 2);
    const double expected[] = {0, 0, 2, 4};
    for (int I = 0; I < 4; ++I)
        EXPECT_EQ(double(twice(I, 0)), expected[I]) << I;
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::EnlargeImage(row, 0); }), "Parameter Error");
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::EnlargeImage(M(100, 100), 50000); }),
              "matrix creation Parameter Error");
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::EnlargeImage(M(3, 1), 1 << 30); }),
              "matrix creation Parameter Error");
}

TEST(LwMatrixOperatorResample, RowResamplers)
{
    const LwFloatMatrix source = MakeMatrix(4, 2, 0, 0, [](int c, int r) { return float(c * c + 10 * r); });
    LwFloatMatrix half(2, 2);
    LwMatrixOperator::ResampleRowsAverage(half, source, false);
    EXPECT_EQ(half(0, 0), 0.5f);  // (0 + 1) / 2
    EXPECT_EQ(half(1, 1), 16.5f);  // (14 + 19) / 2

    // skipZero between a 0 and a 6 gives 6; positions before the first
    // pixel centre (k = 0, 1) take the first pixel.
    const LwFloatMatrix gap = MakeMatrix(2, 1, 0, 0, [](int c, int) { return c == 0 ? 0.0f : 6.0f; });
    LwFloatMatrix wide(8, 1);
    LwMatrixOperator::ResampleRowsLinear(wide, gap, true);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(wide(k, 0), k < 2 ? 0.0f : 6.0f) << k;

    // A linear row is reproduced wherever the position falls inside the row.
    const LwFloatMatrix line = MakeMatrix(9, 3, 0, 0, [](int c, int r) { return 1.5f * c - r; });
    LwFloatMatrix fine(31, 3);
    LwMatrixOperator::ResampleRowsLinear(fine, line, false);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 31; ++k) {
            const double u = 9.0 / 31 * (k + 0.5) - 0.5;
            const double expected = 1.5 * std::min(std::max(u, 0.0), 8.0) - r;
            ASSERT_NEAR(fine(k, r), expected, 1e-5) << k << "," << r;
        }

    // Refusals come before anything is written.
    LwFloatMatrix wrongRows(2, 3);
    wrongRows.SetZero();
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::ResampleRowsAverage(wrongRows, source, false); }), "Error");
    LwFloatMatrix shifted = MakeMatrix(2, 2, 1, 0, [](int, int) { return -7.0f; });
    const LwFloatMatrix before = shifted;
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::ResampleRowsLinear(shifted, source, false); }),
              "ResampleRows: destination must begin at (0, 0)");
    EXPECT_TRUE(SameElements(shifted, before));
}

TEST(LwMatrixOperatorResample, ResizeImage)
{
    const LwFloatMatrix source = RandomImage(12, 10, 3, 4, 9);
    // Same size, separable: a copy (positions from the first pixel, begins 0).
    const LwFloatMatrix same = LwMatrixOperator::ResizeImage(source, 12, 10, false, false);
    EXPECT_EQ(same.ColBegin, 0);
    for (int k = 0; k < same.ElementCount(); ++k)
        EXPECT_EQ(same.Buffer()[k], source.Buffer()[k]) << k;

    // Halving both axes averages 2 x 2 blocks, as binning does.
    const LwFloatMatrix halved = LwMatrixOperator::ResizeImage(source, 6, 5, false, false);
    const LwFloatMatrix binned = LwMatrixOperator::BinImage(source, 2);
    for (int k = 0; k < halved.ElementCount(); ++k)
        EXPECT_NEAR(halved.Buffer()[k], binned.Buffer()[k], 1e-5) << k;

    // Enlarging both axes interpolates a linear image.
    const LwFloatMatrix plane =
        MakeMatrix(6, 5, 0, 0, [](int c, int r) { return 1.0f + 2.0f * c + 3.0f * r; });
    const LwFloatMatrix grown = LwMatrixOperator::ResizeImage(plane, 18, 15, false, false);
    for (int j = 2; j < 13; ++j)
        for (int i = 2; i < 16; ++i)
            ASSERT_NEAR(grown(i, j), 1 + 2 * ((i + 0.5) / 3 - 0.5) + 3 * ((j + 0.5) / 3 - 0.5), 1e-4)
                << i << "," << j;

    // Nearest: a 10-pixel row to 100 takes the last source column at the end.
    const LwFloatMatrix row = MakeMatrix(10, 1, 0, 0, [](int c, int) { return float(c); });
    const LwFloatMatrix nearest = LwMatrixOperator::ResizeImage(row, 100, 1, false, true);
    EXPECT_EQ(nearest(0, 0), 0.0f);
    EXPECT_EQ(nearest(17, 0), 2.0f);  // floor(1.7 + 0.5)
    EXPECT_EQ(nearest(99, 0), 9.0f);

    const LwFloatMatrix fromEmpty = LwMatrixOperator::ResizeImage(LwFloatMatrix(0, 4), 3, 2, false, false);
    EXPECT_TRUE(SameElements(fromEmpty, MakeMatrix(3, 2, 0, 0, [](int, int) { return 0.0f; })));
    EXPECT_EQ(ErrorText([&] { LwMatrixOperator::ResizeImage(source, -1, 3, false, true); }),
              "matrix creation Parameter Error");
}

TEST(LwMatrixOperatorResample, RotationByQuarterAndHalfTurns)
{
    const LDouble pi = std::acos(LDouble(-1));
    const LwFloatMatrix image = RandomImage(9, 9, 0, 0, 31);
    EXPECT_TRUE(SameElements(LwMatrixOperator::RotateImage(image, 0), image));

    // A quarter turn: result (i, j) = image(cx + (j - cy), cy - (i - cx)).
    const LwFloatMatrix quarter = LwMatrixOperator::RotateImage(image, pi / 2);
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 9; ++i)
            ASSERT_EQ(quarter(i, j), image(j, 8 - i)) << i << "," << j;
    LwFloatMatrix turned = image;
    for (int n = 0; n < 4; ++n)
        turned = LwMatrixOperator::RotateImage(turned, pi / 2);
    EXPECT_TRUE(SameElements(turned, image));

    // A half turn of an odd-sized image flips both axes.
    const LwFloatMatrix odd = RandomImage(7, 5, 0, 0, 32);
    const LwFloatMatrix half = LwMatrixOperator::RotateImage(odd, pi);
    for (int j = 0; j < 5; ++j)
        for (int i = 0; i < 7; ++i)
            ASSERT_EQ(half(i, j), odd(6 - i, 4 - j)) << i << "," << j;

    // A quarter turn of a 7 x 3 image brings in pixels from outside: 0.
    const LwFloatMatrix strip = MakeMatrix(7, 3, 0, 0, [](int, int) { return 1.0f; });
    const LwFloatMatrix strip90 = LwMatrixOperator::RotateImage(strip, pi / 2);
    EXPECT_EQ(strip90(3, 1), 1.0f);
    EXPECT_EQ(strip90(0, 1), 0.0f);

    const LwFloatMatrix large = RandomImage(65, 61, 0, 0, 33);
    const auto run = [&] { return LwMatrixOperator::RotateImage(large, LDouble(0.3)); };
    EXPECT_TRUE(SameElements(WithThreads(1, run), WithThreads(imageops_test::ManyThreads(), run)));
}
