// Means, root mean squares, the weighted centre, the signal-to-noise figure
// and the block correlation, against sums written out in the tests.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "LDoubleNear.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

using imageops_test::MakeMatrix;
using imageops_test::RandomImage;
using imageops_test::WithThreads;

namespace {

// Sums of a few hundred floats in LDouble: relative rounding well below this.
const LDouble kSumTolerance = 1e-12L;

}  // namespace

TEST(LwMatrixOperatorStatistics, MeanAndRootMeanSquareMatchDirectSums)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(13, 11, -2, 5, 4, -3.0f, 9.0f, 4);
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        long double sum = 0, squares = 0;
        int count = 0;
        const float value = 1.75f;
        for (int k = 0; k < image.ElementCount(); ++k) {
            const float x = image.Buffer()[k];
            if (skipZero && x == 0.0f)
                continue;
            sum += x;
            squares += (long double)(x - value) * (x - value);
            ++count;
        }
        EXPECT_PRED_FORMAT3(LDoubleNear, op.Mean(image, skipZero), LDouble(sum / count), kSumTolerance);
        EXPECT_PRED_FORMAT3(LDoubleNear, op.RootMeanSquare(image, value, skipZero),
                            LDouble(std::sqrt(squares / count)), kSumTolerance);
        LwLDoubleMatrix wide(image.ColSize, image.RowSize);
        for (int k = 0; k < image.ElementCount(); ++k)
            wide.Buffer()[k] = image.Buffer()[k];
        EXPECT_PRED_FORMAT3(LDoubleNear, op.Mean(wide, skipZero), LDouble(sum / count), kSumTolerance);
    }
}

TEST(LwMatrixOperatorStatistics, MeansOfZeroAndEmptyImages)
{
    LwMatrixOperator op;
    const LwFloatMatrix zeros = MakeMatrix(3, 2, 0, 0, [](int, int) { return 0.0f; });
    EXPECT_EQ(op.Mean(zeros, true), 0);
    EXPECT_EQ(op.Mean(zeros, false), 0);
    EXPECT_EQ(op.Mean(LwFloatMatrix(), false), 0);
    EXPECT_EQ(op.RootMeanSquare(zeros, 5.0f, true), 0);  // nothing taken
    EXPECT_EQ(op.RootMeanSquare(zeros, 5.0f, false), 5);  // zeros counted
    const LwFloatMatrix flat = MakeMatrix(3, 2, 0, 0, [](int, int) { return 2.5f; });
    EXPECT_EQ(op.RootMeanSquare(flat, 2.5f, false), 0);
}

TEST(LwMatrixOperatorStatistics, WeightedCentre)
{
    LwMatrixOperator op;
    LDouble col = -1, row = -1;
    LwFloatMatrix image = MakeMatrix(7, 5, 10, -4, [](int, int) { return 0.5f; });
    image(13, -2) = 6.0f;
    op.WeightedCentre(col, row, image, 1.0L);
    EXPECT_EQ(col, 13);
    EXPECT_EQ(row, -2);
    op.WeightedCentre(col, row, image, 7.0L);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 0);

    const LwFloatMatrix noisy = RandomImage(9, 8, -3, 4, 17, 0.0f, 10.0f);
    long double w = 0, sc = 0, sr = 0;
    for (int r = noisy.RowBegin; r < noisy.RowBegin + noisy.RowSize; ++r)
        for (int c = noisy.ColBegin; c < noisy.ColBegin + noisy.ColSize; ++c)
            if (noisy(c, r) >= 4.0f) {
                w += noisy(c, r);
                sc += (long double)c * noisy(c, r);
                sr += (long double)r * noisy(c, r);
            }
    op.WeightedCentre(col, row, noisy, 4.0L);
    EXPECT_PRED_FORMAT3(LDoubleNear, col, LDouble(sc / w), kSumTolerance * 10);
    EXPECT_PRED_FORMAT3(LDoubleNear, row, LDouble(sr / w), kSumTolerance * 10);
}

TEST(LwMatrixOperatorStatistics, SignalToNoise)
{
    LwMatrixOperator op;
    LDouble ratio, mean, rmsModel, rmsDifference;
    const LwFloatMatrix model = MakeMatrix(4, 1, 0, 0, [](int c, int) { return float(c + 1); });  // 1 2 3 4
    op.SignalToNoise(ratio, mean, rmsModel, rmsDifference, model, model, true);
    EXPECT_EQ(rmsDifference, 0);
    EXPECT_EQ(ratio, 0);
    EXPECT_EQ(mean, 2.5);

    // image - model = (1, -1, 1, -1): rms 1; model about its mean 2.5: sqrt(5/4).
    const LwFloatMatrix image =
        MakeMatrix(4, 1, 0, 0, [](int c, int) { return float(c + 1 + (c % 2 ? -1 : 1)); });
    op.SignalToNoise(ratio, mean, rmsModel, rmsDifference, image, model, false);
    EXPECT_EQ(rmsDifference, 1);
    EXPECT_PRED_FORMAT3(LDoubleNear, rmsModel, std::sqrt(LDouble(1.25)), kSumTolerance);
    EXPECT_PRED_FORMAT3(LDoubleNear, ratio, std::sqrt(LDouble(1.25)), kSumTolerance);

    const struct
    {
        const char* name;
        LwFloatMatrix other;
        std::string error;
    } shapes[] = {
        {"sizes", LwFloatMatrix(4, 2), "ColSize or RowSize is different"},
        {"column begin", MakeMatrix(4, 1, 1, 0, [](int, int) { return 0.0f; }), "ColBegin is different"},
        {"row begin", MakeMatrix(4, 1, 0, 1, [](int, int) { return 0.0f; }), "RowBegin is different"},
    };
    for (const auto& s : shapes) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(
            ErrorText([&] { op.SignalToNoise(ratio, mean, rmsModel, rmsDifference, s.other, model, false); }),
            s.error);
    }
}

namespace {

LwLongMatrix RandomInts(int cols, int rows, unsigned seed, int low, int high)
{
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> value(low, high);
    return MakeMatrix<LwLongMatrix>(cols, rows, 0, 0, [&](int, int) { return value(engine); });
}

}  // namespace

TEST(LwMatrixOperatorStatistics, BlockProductSumIsTheExactSumOfProducts)
{
    LwMatrixOperator op;
    const LwLongMatrix a = RandomInts(12, 9, 1, -50, 50);
    const LwLongMatrix b = RandomInts(12, 7, 2, -50, 50);
    long double reference = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            reference += (long double)a(2 + x, 3 + y) * b(6 + x, 1 + y);
    EXPECT_EQ(op.BlockProductSum(a, b, 5, 4, 2, 3, 6, 1), LDouble(reference));

    // Products beyond 32 bits are exact, not wrapped: 2^30 * 4 = 2^32, twice.
    const LwLongMatrix big = MakeMatrix<LwLongMatrix>(2, 1, 0, 0, [](int, int) { return 1 << 30; });
    const LwLongMatrix four = MakeMatrix<LwLongMatrix>(2, 1, 0, 0, [](int, int) { return 4; });
    EXPECT_EQ(op.BlockProductSum(big, four, 2, 1, 0, 0, 0, 0), LDouble(8589934592.0));
    const LwLongMatrix extreme = MakeMatrix<LwLongMatrix>(1, 1, 0, 0, [](int, int) { return INT32_MIN; });
    EXPECT_EQ(op.BlockProductSum(extreme, extreme, 1, 1, 0, 0, 0, 0), LDouble(4611686018427387904.0));
}

TEST(LwMatrixOperatorStatistics, BlockProductSumRefusesBlocksOutsideTheMatrices)
{
    LwMatrixOperator op;
    const LwLongMatrix a = RandomInts(6, 5, 3, -9, 9);
    const LwLongMatrix narrow = RandomInts(5, 5, 4, -9, 9);
    EXPECT_EQ(op.BlockProductSum(a, a, 0, 3, 1000, -1000, 7, 7), 0);  // width 0: no test, no read
    EXPECT_EQ(op.BlockProductSum(a, a, 3, -1, 1000, -1000, 7, 7), 0);
    const struct
    {
        const char* name;
        int w, h, xa, ya, xb, yb;
    } outside[] = {
        {"a before its first column", 2, 2, -1, 0, 0, 0}, {"a beyond its last column", 2, 2, 5, 0, 0, 0},
        {"a beyond its last row", 2, 2, 0, 4, 0, 0},      {"b before its first row", 2, 2, 0, 0, 0, -1},
        {"b beyond its last row", 1, 6, 0, 0, 0, 0},
    };
    for (const auto& c : outside) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorText([&] { op.BlockProductSum(a, a, c.w, c.h, c.xa, c.ya, c.xb, c.yb); }),
                  "BlockProductSum: block outside the matrix");
    }
    EXPECT_EQ(ErrorText([&] { op.BlockProductSum(a, narrow, 2, 2, 0, 0, 0, 0); }),
              "BlockProductSum: column counts differ");
}

TEST(LwMatrixOperatorStatistics, FindBestBlockOffsetFindsAPlantedShift)
{
    LwMatrixOperator op;
    // b's block at (10, 9) is a copy of a's block at (12, 8): the best offset is (2, -1).
    const LwLongMatrix a = RandomInts(30, 26, 5, -100, 100);
    LwLongMatrix b = RandomInts(30, 26, 6, -100, 100);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            b(10 + x, 9 + y) = a(12 + x, 8 + y);
    const auto search = [&] {
        int dx = 99, dy = 99;
        op.FindBestBlockOffset(dx, dy, a, b, 10, 9, 7, 6, 4);
        return std::make_pair(dx, dy);
    };
    EXPECT_EQ(WithThreads(1, search), std::make_pair(2, -1));
    EXPECT_EQ(WithThreads(imageops_test::ManyThreads(), search), std::make_pair(2, -1));

    int dx = 99, dy = 99;
    op.FindBestBlockOffset(dx, dy, a, b, 10, 9, 7, 6, 0);
    EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(0, 0));

    // Equal sums everywhere: the first in the scan (smallest dx, then dy) stays.
    const LwLongMatrix zeros = MakeMatrix<LwLongMatrix>(30, 26, 0, 0, [](int, int) { return 0; });
    op.FindBestBlockOffset(dx, dy, zeros, zeros, 10, 9, 7, 6, 3);
    EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(-3, -3));
}

TEST(LwMatrixOperatorStatistics, FindBestBlockOffsetRefusesSearchesLeavingTheMatrix)
{
    LwMatrixOperator op;
    const LwLongMatrix a = RandomInts(12, 10, 7, -9, 9);
    int dx = 99, dy = 99;
    op.FindBestBlockOffset(dx, dy, a, a, 4, 4, 3, 3, -1);  // negative range: outputs untouched
    EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(99, 99));
    EXPECT_EQ(ErrorText([&] { op.FindBestBlockOffset(dx, dy, a, a, 4, 4, 3, 3, 5); }),
              "BlockProductSum: block outside the matrix");
    EXPECT_EQ(ErrorText([&] { op.FindBestBlockOffset(dx, dy, a, a, 8, 4, 3, 3, 2); }),
              "BlockProductSum: block outside the matrix");
    EXPECT_EQ(std::make_pair(dx, dy), std::make_pair(99, 99));
}
