// Masks against brute-force dilation, erosion and edge distances; edge
// weights; weighted averages of image lists and their refusals.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using imageops_test::MakeMatrix;
using imageops_test::SameElements;

namespace {

// Blobs of non-zero pixels (values 1 .. 5) on a zero background.
LwFloatMatrix Blobs(int cols, int rows, int colBegin, int rowBegin, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    struct Disc
    {
        double x, y, r;
    };
    std::vector<Disc> discs;
    for (int i = 0; i < 4; ++i)
        discs.push_back({colBegin + u(engine) * cols, rowBegin + u(engine) * rows, 2 + u(engine) * cols / 4});
    return MakeMatrix(cols, rows, colBegin, rowBegin, [&](int c, int r) {
        for (const Disc& d : discs)
            if (std::hypot(c - d.x, r - d.y) < d.r)
                return float(1 + (c + r) % 5);
        return 0.0f;
    });
}

bool Inside(const LwFloatMatrix& m, int c, int r)
{
    return c >= m.ColBegin && c < m.ColBegin + m.ColSize && r >= m.RowBegin && r < m.RowBegin + m.RowSize;
}

// 1 where any in-image pixel of the 3 x 3 neighbourhood is non-zero (dilation).
LwFloatMatrix Dilated(const LwFloatMatrix& m)
{
    return MakeMatrix(m.ColSize, m.RowSize, m.ColBegin, m.RowBegin, [&](int c, int r) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (Inside(m, c + dx, r + dy) && m(c + dx, r + dy) != 0.0f)
                    return 1.0f;
        return 0.0f;
    });
}

// 1 where every in-image pixel of the 3 x 3 neighbourhood is non-zero (erosion).
LwFloatMatrix Eroded(const LwFloatMatrix& m)
{
    return MakeMatrix(m.ColSize, m.RowSize, m.ColBegin, m.RowBegin, [&](int c, int r) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (Inside(m, c + dx, r + dy) && m(c + dx, r + dy) == 0.0f)
                    return 0.0f;
        return 1.0f;
    });
}

}  // namespace

TEST(LwMatrixOperatorMasks, NonZeroMask)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = {0.0f, -0.0f, 2.5f, nan};
    const LwFloatMatrix image = MakeMatrix(4, 1, 3, 7, [&](int c, int) { return values[c - 3]; });
    const LwFloatMatrix mask = LwMatrixOperator::NonZeroMask(image);
    EXPECT_TRUE(SameElements(mask, MakeMatrix(4, 1, 3, 7, [](int c, int) { return c < 5 ? 0.0f : 1.0f; })));
    EXPECT_FALSE(mask.FastReturn);

    LwFloatMatrix empty(0, 3);
    empty.ColBegin = 4;
    const LwFloatMatrix none = LwMatrixOperator::NonZeroMask(empty);
    EXPECT_EQ(none.ColSize, 0);
    EXPECT_EQ(none.RowSize, 0);
    EXPECT_EQ(none.ColBegin, 0);
}

TEST(LwMatrixOperatorMasks, ExpandAndShrinkByOnePassAreDilationAndErosion)
{
    LwMatrixOperator op;
    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const LwFloatMatrix mask = LwMatrixOperator::NonZeroMask(Blobs(31, 27, -4, 6, seed));
        EXPECT_TRUE(SameElements(op.MaskExpand(mask, 1), Dilated(mask)));
        EXPECT_TRUE(SameElements(op.MaskShrink(mask, 1), Eroded(mask)));
    }
    // A single 1 grows to a 3 x 3 block; a 3 x 3 block shrinks to its centre.
    LwFloatMatrix dot = MakeMatrix(7, 7, 0, 0, [](int, int) { return 0.0f; });
    dot(3, 3) = 1.0f;
    const LwFloatMatrix block = op.MaskExpand(dot, 1);
    EXPECT_EQ(block(2, 2), 1.0f);
    EXPECT_EQ(block(4, 4), 1.0f);
    EXPECT_EQ(block(5, 3), 0.0f);
    EXPECT_TRUE(SameElements(op.MaskShrink(block, 1), dot));
    // passes 0: infinite threshold, nothing passes; negative: everything passes.
    EXPECT_TRUE(SameElements(op.MaskExpand(dot, 0), MakeMatrix(7, 7, 0, 0, [](int, int) { return 0.0f; })));
    EXPECT_TRUE(SameElements(op.MaskExpand(dot, -1), MakeMatrix(7, 7, 0, 0, [](int, int) { return 1.0f; })));
    EXPECT_TRUE(SameElements(op.MaskShrink(dot, 0), dot));
}

TEST(LwMatrixOperatorMasks, LinearEdgeRampFollowsTheChessboardDistance)
{
    LwMatrixOperator op;
    for (const int width : {1, 2, 4}) {
        SCOPED_TRACE(::testing::Message() << "width " << width);
        const LwFloatMatrix image = Blobs(29, 24, 5, -3, 7 + width);
        const LwFloatMatrix ramp = op.MaskMatrixSmoothZeroEdge(image, width, 1);
        for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
            for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c) {
                if (image(c, r) == 0.0f) {
                    ASSERT_EQ(ramp(c, r), 0.0f);
                    continue;
                }
                // Steps to the nearest zero pixel or out of the image.
                int d = std::min({c - image.ColBegin + 1, r - image.RowBegin + 1,
                                  image.ColBegin + image.ColSize - c, image.RowBegin + image.RowSize - r});
                for (int y = image.RowBegin; y < image.RowBegin + image.RowSize; ++y)
                    for (int x = image.ColBegin; x < image.ColBegin + image.ColSize; ++x)
                        if (image(x, y) == 0.0f)
                            d = std::min(d, std::max(std::abs(x - c), std::abs(y - r)));
                const double expected = d > width ? 1.0 : double(d) / (width + 1);
                ASSERT_NEAR(ramp(c, r), expected, 1e-6) << c << "," << r << " d=" << d;
            }
    }
    const LwFloatMatrix image = Blobs(10, 10, 0, 0, 3);
    EXPECT_TRUE(SameElements(op.MaskMatrixSmoothZeroEdge(image, 0, 1), LwMatrixOperator::NonZeroMask(image)));
}

TEST(LwMatrixOperatorMasks, SmoothEdgeWeightIsOneInTheCoreAndZeroOutside)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = Blobs(40, 36, 0, 0, 12);
    const LwFloatMatrix area = LwMatrixOperator::NonZeroMask(image);
    // Width 3 runs no smoothing round: the area shrunk by one pass.
    EXPECT_TRUE(SameElements(op.MaskMatrixSmoothZeroEdge(image, 3, 0), op.MaskShrink(area, 1)));

    const LwFloatMatrix core = op.MaskShrink(area, 8);
    const LwFloatMatrix weight = op.MaskMatrixSmoothZeroEdge(image, 8, 0);
    int band = 0;
    for (int k = 0; k < weight.ElementCount(); ++k) {
        const float w = weight.Buffer()[k];
        ASSERT_GE(w, 0.0f);
        ASSERT_LE(w, 1.0f);
        if (area.Buffer()[k] == 0.0f)
            ASSERT_EQ(w, 0.0f) << k;
        else if (core.Buffer()[k] == 1.0f)
            ASSERT_EQ(w, 1.0f) << k;
        else if (w > 0.0f && w < 1.0f)
            ++band;
    }
    EXPECT_GT(band, 0);  // the edge band holds intermediate weights
    EXPECT_EQ(ErrorText([&] { op.MaskMatrixSmoothZeroEdge(image, 3, 2); }),
              "LwMatrixOperator::MaskMatrixSmoothZeroEdge():Undefined method.");
}

TEST(LwMatrixOperatorMasks, WeightedAverageOfImageLists)
{
    LwMatrixOperator op;
    const LwFloatMatrix a = imageops_test::RandomImage(6, 5, 2, 3, 1);
    const LwFloatMatrix b = imageops_test::RandomImage(6, 5, 0, 0, 2);
    const LwFloatMatrix ones = MakeMatrix(6, 5, 0, 0, [](int, int) { return 1.0f; });
    EXPECT_TRUE(SameElements(op.ImageListWeightedAverage({a}, {ones}), a));

    const LwFloatMatrix wa = MakeMatrix(6, 5, 0, 0, [](int c, int) { return c == 0 ? 0.0f : 0.25f * c; });
    const LwFloatMatrix wb = MakeMatrix(6, 5, 0, 0, [](int c, int r) { return c == 0 ? 0.0f : float(r); });
    const LwFloatMatrix mix = op.ImageListWeightedAverage({a, b}, {wa, wb});
    EXPECT_EQ(mix.ColBegin, 2);
    for (int k = 0; k < mix.ElementCount(); ++k) {
        const double w = double(wa.Buffer()[k]) + wb.Buffer()[k];
        const double expected =
            w == 0 ? 0.0
                   : (double(a.Buffer()[k]) * wa.Buffer()[k] + double(b.Buffer()[k]) * wb.Buffer()[k]) / w;
        EXPECT_NEAR(mix.Buffer()[k], expected, 1e-5) << k;
    }

    const LwFloatMatrix small(3, 2);
    const struct
    {
        const char* name;
        std::vector<LwFloatMatrix> images, weights;
        std::string error;
    } refused[] = {
        {"lengths differ", {a, b}, {ones}, "ERROR: Size of ListImage and ListWeight is not same"},
        {"empty lists", {}, {}, "ERROR: Size of ListImage is Zero"},
        {"first image empty", {LwFloatMatrix()}, {LwFloatMatrix()}, "ERROR: NO DATA"},
        {"second image smaller", {a, small}, {ones, small}, "ERROR:Image size is not same"},
        {"weight smaller", {a, b}, {ones, small}, "ERROR:Weight image size is not same"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorText([&] { op.ImageListWeightedAverage(c.images, c.weights); }), c.error);
    }
}

TEST(LwMatrixOperatorMasks, SmoothEdgeAverageMergesOverlappingParts)
{
    // Two views of one scene, each measured (non-zero) on an overlapping
    // part: where either is measured the merge is the scene itself.
    LwMatrixOperator op;
    const LwFloatMatrix scene =
        MakeMatrix(30, 20, 0, 0, [](int c, int r) { return 1.0f + 0.1f * c + 0.05f * r; });
    const LwFloatMatrix left =
        MakeMatrix(30, 20, 0, 0, [&](int c, int r) { return c < 18 ? scene(c, r) : 0.0f; });
    const LwFloatMatrix right =
        MakeMatrix(30, 20, 0, 0, [&](int c, int r) { return c >= 10 ? scene(c, r) : 0.0f; });
    const LwFloatMatrix merged = op.ImageListSmoothEdgeAverage({left, right}, 6);
    const LwFloatMatrix wl = op.MaskMatrixSmoothZeroEdge(left, 6, 0);
    const LwFloatMatrix wr = op.MaskMatrixSmoothZeroEdge(right, 6, 0);
    for (int k = 0; k < merged.ElementCount(); ++k)
        if (wl.Buffer()[k] + wr.Buffer()[k] > 0.0f) {
            EXPECT_NEAR(merged.Buffer()[k], scene.Buffer()[k], 1e-5) << k;
        }
    EXPECT_EQ(ErrorText([&] { op.ImageListSmoothEdgeAverage({}, 3); }), "ERROR: Size of ListImage is Zero");
}
