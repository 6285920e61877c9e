// Neighbourhood filters against brute-force references written here: the
// Laplacian, row and column means, neighbour averaging and the median, at one
// and at several threads.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using imageops_test::MakeMatrix;
using imageops_test::RandomImage;
using imageops_test::SameElements;
using imageops_test::WithThreads;

namespace {

// The pixel at (c + dx, r + dy) with both coordinates clamped to the image.
float Clamped(const LwFloatMatrix& m, int c, int r)
{
    c = std::min(std::max(c, m.ColBegin), m.ColBegin + m.ColSize - 1);
    r = std::min(std::max(r, m.RowBegin), m.RowBegin + m.RowSize - 1);
    return m(c, r);
}

LwFloatMatrix ReferenceMedian(const LwFloatMatrix& m, bool skipZero, int pix)
{
    return MakeMatrix(m.ColSize, m.RowSize, m.ColBegin, m.RowBegin, [&](int c, int r) {
        const float v = m(c, r);
        if (skipZero && v == 0.0f)
            return 0.0f;
        std::vector<float> s;
        for (int dy = -pix / 2; dy <= pix / 2; ++dy)
            for (int dx = -pix / 2; dx <= pix / 2; ++dx) {
                const float x = Clamped(m, c + dx, r + dy);
                s.push_back(x == 0.0f ? v : x);
            }
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    });
}

}  // namespace

TEST(LwMatrixOperatorFilters, LaplacianOfConstantAndSinglePixel)
{
    const LwFloatMatrix flat = MakeMatrix(5, 4, 2, -1, [](int, int) { return 3.75f; });
    const LwFloatMatrix zero = LwMatrixOperator::Laplacian(flat);
    for (int k = 0; k < zero.ElementCount(); ++k)
        EXPECT_EQ(zero.Buffer()[k], 0.0f) << k;
    EXPECT_EQ(LwMatrixOperator::Laplacian(MakeMatrix(1, 1, 0, 0, [](int, int) { return 7.0f; }))(0, 0), 0.0f);

    // Inside: 8 at the pixel, -1 around it. At a corner the clamped window
    // counts the pixel four times: 8 - 3 = 5.
    LwFloatMatrix dot = MakeMatrix(6, 6, 0, 0, [](int, int) { return 0.0f; });
    dot(2, 3) = 1.0f;
    dot(0, 0) = 1.0f;
    const LwFloatMatrix l = LwMatrixOperator::Laplacian(dot);
    EXPECT_TRUE(l.FastReturn);
    EXPECT_EQ(l(2, 3), 8.0f);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0) {
                EXPECT_EQ(l(2 + dx, 3 + dy), -1.0f) << dx << "," << dy;
            }
    EXPECT_EQ(l(0, 0), 5.0f);
    EXPECT_EQ(l(5, 5), 0.0f);
}

TEST(LwMatrixOperatorFilters, LaplacianMatchesClampedStencil)
{
    const LwFloatMatrix image = RandomImage(41, 37, -5, 3, 8);
    const auto run = [&] { return LwMatrixOperator::Laplacian(image); };
    const LwFloatMatrix one = WithThreads(1, run);
    EXPECT_TRUE(SameElements(one, WithThreads(imageops_test::ManyThreads(), run)));
    for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
        for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c) {
            double sum = 9.0 * image(c, r);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    sum -= Clamped(image, c + dx, r + dy);
            ASSERT_NEAR(one(c, r), sum, 1e-4) << c << "," << r;
        }
}

TEST(LwMatrixOperatorFilters, RowAndColumnMeans)
{
    LwMatrixOperator op;
    const LwFloatMatrix row = MakeMatrix(3, 1, 4, 9, [](int c, int) { return float(2 * (c - 4)); });  // 0 2 4
    const LwFloatMatrix skipped = op.RowMeanImage(row, true);
    EXPECT_EQ(skipped(4, 9), 0.0f);
    EXPECT_EQ(skipped(5, 9), 3.0f);
    EXPECT_EQ(skipped(6, 9), 3.0f);
    const LwFloatMatrix all = op.RowMeanImage(row, false);
    for (int c = 4; c < 7; ++c)
        EXPECT_EQ(all(c, 9), 2.0f);

    // A column mean is the row mean of the transpose.
    const LwFloatMatrix image = RandomImage(7, 9, 1, -2, 12, -3.0f, 3.0f, 3);
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        const LwFloatMatrix columns = op.ColumnMeanImage(image, skipZero);
        const LwFloatMatrix viaRows =
            LwMatrixOperator::Transpose(op.RowMeanImage(LwMatrixOperator::Transpose(image), skipZero));
        EXPECT_TRUE(SameElements(columns, viaRows));
    }
    // A row with nothing taken gives 0.
    const LwFloatMatrix zeros = MakeMatrix(3, 2, 0, 0, [](int, int) { return 0.0f; });
    EXPECT_EQ(op.RowMeanImage(zeros, true)(1, 1), 0.0f);
}

TEST(LwMatrixOperatorFilters, SmoothNeighboursOfAnIsolatedPixel)
{
    LwMatrixOperator op;
    const auto dot = [] {
        LwFloatMatrix m = MakeMatrix(7, 7, 0, 0, [](int, int) { return 0.0f; });
        m(3, 3) = 9.0f;
        return m;
    };
    LwFloatMatrix image = dot();
    const LwFloatMatrix once = op.SmoothNeighbours(image, 1, false);
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(once(c, r), std::abs(c - 3) <= 1 && std::abs(r - 3) <= 1 ? 1.0f : 0.0f)
                << c << "," << r;
    EXPECT_TRUE(SameElements(image, once));  // the caller's image holds the result

    image = dot();
    const LwFloatMatrix kept = op.SmoothNeighbours(image, 1, true);
    EXPECT_TRUE(SameElements(kept, dot()));

    image = dot();
    const LwFloatMatrix none = op.SmoothNeighbours(image, 0, false);
    EXPECT_TRUE(SameElements(none, dot()));
    EXPECT_TRUE(SameElements(image, dot()));
}

TEST(LwMatrixOperatorFilters, SmoothNeighboursPassesMatchRepeatedReference)
{
    LwMatrixOperator op;
    const LwFloatMatrix start = RandomImage(44, 39, 3, -7, 13, -4.0f, 4.0f, 4);
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        LwFloatMatrix reference = MakeMatrix(start.ColSize, start.RowSize, start.ColBegin, start.RowBegin,
                                             [&](int c, int r) { return start(c, r); });
        for (int pass = 0; pass < 3; ++pass) {
            const LwFloatMatrix in = reference;
            reference = MakeMatrix(in.ColSize, in.RowSize, in.ColBegin, in.RowBegin, [&](int c, int r) {
                const float v = in(c, r);
                if (skipZero && v == 0.0f)
                    return 0.0f;
                double sum = 0;
                int count = 0;
                for (int y = r - 1; y <= r + 1; ++y)
                    for (int x = c - 1; x <= c + 1; ++x)
                        if (x >= in.ColBegin && x < in.ColBegin + in.ColSize && y >= in.RowBegin &&
                            y < in.RowBegin + in.RowSize && !(skipZero && in(x, y) == 0.0f)) {
                            sum += in(x, y);
                            ++count;
                        }
                return float(sum / count);
            });
        }
        const auto run = [&] {
            LwFloatMatrix image = MakeMatrix(start.ColSize, start.RowSize, start.ColBegin, start.RowBegin,
                                             [&](int c, int r) { return start(c, r); });
            const LwFloatMatrix result = op.SmoothNeighbours(image, 3, skipZero);
            EXPECT_TRUE(SameElements(image, result));
            return result;
        };
        const LwFloatMatrix one = WithThreads(1, run);
        EXPECT_TRUE(SameElements(one, WithThreads(imageops_test::ManyThreads(), run)));
        for (int k = 0; k < one.ElementCount(); ++k)
            ASSERT_NEAR(one.Buffer()[k], reference.Buffer()[k], 1e-5) << k;
    }
}

TEST(LwMatrixOperatorFilters, MedianMatchesSortedWindows)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(43, 40, -9, 2, 14, -10.0f, 10.0f, 5);
    for (const int pix : {3, 5})
        for (const bool skipZero : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "pix " << pix << (skipZero ? " skipZero" : ""));
            const auto run = [&] { return op.MedianFilter(image, skipZero, pix); };
            const LwFloatMatrix one = WithThreads(1, run);
            EXPECT_TRUE(one.FastReturn);
            EXPECT_TRUE(SameElements(one, WithThreads(imageops_test::ManyThreads(), run)));
            EXPECT_TRUE(SameElements(one, ReferenceMedian(image, skipZero, pix)));
        }
    EXPECT_EQ(ErrorText([&] { op.MedianFilter(image, false, 4); }), "Please set pix=3 or 5");
}

TEST(LwMatrixOperatorFilters, MedianOfIsolatedPixelAndOfNaNWindows)
{
    LwMatrixOperator op;
    LwFloatMatrix dot = MakeMatrix(5, 5, 0, 0, [](int, int) { return 0.0f; });
    dot(2, 2) = -3.5f;
    EXPECT_EQ(op.MedianFilter(dot, false, 5)(2, 2), -3.5f);
    EXPECT_EQ(op.MedianFilter(dot, true, 3)(2, 2), -3.5f);
    EXPECT_EQ(op.MedianFilter(dot, true, 3)(0, 0), 0.0f);

    // NaN orders after every number: 4 NaN samples of 9 leave the largest
    // number in the middle, 5 make it NaN.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    LwFloatMatrix window = MakeMatrix(3, 3, 0, 0, [](int c, int r) { return float(1 + c + 3 * r); });
    window(0, 0) = window(1, 0) = window(2, 0) = window(0, 1) = nan;
    EXPECT_EQ(op.MedianFilter(window, false, 3)(1, 1), 9.0f);
    window(1, 1) = nan;
    EXPECT_TRUE(std::isnan(op.MedianFilter(window, false, 3)(1, 1)));
    // The same samples in other places give the same median.
    LwFloatMatrix swapped = MakeMatrix(3, 3, 0, 0, [](int c, int r) { return float(9 - c - 3 * r); });
    swapped(2, 2) = swapped(1, 2) = swapped(0, 2) = swapped(2, 1) = nan;
    EXPECT_EQ(op.MedianFilter(swapped, false, 3)(1, 1), 9.0f);
}
