// The azimuthal average and the image divided by it: symmetric images, a
// brute-force reference, skipZero, reused and foreign radius maps, centres
// outside the image and the refusals of bad centres and maps.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

using imageops_test::MakeMatrix;
using imageops_test::RandomImage;
using imageops_test::SameElements;
using imageops_test::WithThreads;

namespace {

// Radius bin of the pixel at (c, r), computed in double. With a centre on
// half-integer coordinates no distance lies within float rounding of k + 0.5
// (4 r^2 is an odd-square-free sum of two odd squares), so the bin equals the
// operation's single-precision one.
int Bin(int c, int r, double cx, double cy)
{
    return int(std::floor(std::hypot(c - cx, r - cy) + 0.5));
}

// The mean of every bin over the pixels taken, written back to every pixel.
LwFloatMatrix ReferenceAverage(const LwFloatMatrix& image, double cx, double cy, bool skipZero)
{
    std::map<int, std::pair<double, int>> bins;
    for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
        for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c)
            if (!(skipZero && image(c, r) == 0.0f)) {
                auto& bin = bins[Bin(c, r, cx, cy)];
                bin.first += image(c, r);
                bin.second += 1;
            }
    return MakeMatrix(image.ColSize, image.RowSize, image.ColBegin, image.RowBegin, [&](int c, int r) {
        const auto it = bins.find(Bin(c, r, cx, cy));
        return it == bins.end() ? 0.0f : float(it->second.first / it->second.second);
    });
}

}  // namespace

TEST(LwMatrixOperatorAzimuthal, RadiallySymmetricImageIsItsOwnAverage)
{
    LwMatrixOperator op;
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        const double cx = 12.5, cy = 7.5;
        const LwFloatMatrix image = MakeMatrix(
            31, 22, -3, 2, [&](int c, int r) { return float(3.0 + std::sin(0.7 * Bin(c, r, cx, cy))); });
        LwLongMatrix map;
        const LwFloatMatrix average = op.AverageAlongAzimuthal(image, float(cx), float(cy), skipZero, map);
        EXPECT_TRUE(SameElements(average, image));
        const LwFloatMatrix ratio = op.DivideByAzimuthalAverage(image, float(cx), float(cy), skipZero, map);
        for (int k = 0; k < ratio.ElementCount(); ++k)
            ASSERT_EQ(ratio.Buffer()[k], 1.0f) << k;
    }
}

TEST(LwMatrixOperatorAzimuthal, MatchesBruteForceMeansAndBins)
{
    LwMatrixOperator op;
    const double cx = 9.5, cy = 14.5;
    const LwFloatMatrix image = RandomImage(23, 29, 4, -6, 11, -5.0f, 20.0f, 5);
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        LwLongMatrix map;
        const LwFloatMatrix average = op.AverageAlongAzimuthal(image, float(cx), float(cy), skipZero, map);
        const LwFloatMatrix reference = ReferenceAverage(image, cx, cy, skipZero);
        ASSERT_EQ(map.ColBegin, image.ColBegin);
        ASSERT_EQ(map.RowBegin, image.RowBegin);
        ASSERT_EQ(average.ColBegin, image.ColBegin);
        ASSERT_EQ(average.RowBegin, image.RowBegin);
        for (int r = image.RowBegin; r < image.RowBegin + image.RowSize; ++r)
            for (int c = image.ColBegin; c < image.ColBegin + image.ColSize; ++c) {
                ASSERT_EQ(map(c, r), Bin(c, r, cx, cy)) << c << "," << r;
                // Both sum in double in possibly another order, then round to float.
                ASSERT_NEAR(average(c, r), reference(c, r), 1e-5) << c << "," << r;
            }
    }
}

TEST(LwMatrixOperatorAzimuthal, SumOverEachRingIsConserved)
{
    // Without skipZero every pixel takes its ring's mean, so the image sum is unchanged.
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(40, 33, 0, 0, 5);
    LwLongMatrix map;
    const LwFloatMatrix average = op.AverageAlongAzimuthal(image, 17.3f, 20.8f, false, map);
    double before = 0, after = 0;
    for (int k = 0; k < image.ElementCount(); ++k) {
        before += image.Buffer()[k];
        after += average.Buffer()[k];
    }
    EXPECT_NEAR(after, before, 1e-5 * image.ElementCount());
}

TEST(LwMatrixOperatorAzimuthal, EdgeCasesOfSizeCentreAndZeros)
{
    LwMatrixOperator op;
    {
        SCOPED_TRACE("0 x 0 image: empty result, map untouched");
        LwLongMatrix map = MakeMatrix<LwLongMatrix>(2, 2, 0, 0, [](int c, int r) { return c + 7 * r; });
        const LwLongMatrix before = map;
        const LwFloatMatrix result = op.AverageAlongAzimuthal(LwFloatMatrix(), 0.0f, 0.0f, true, map);
        EXPECT_EQ(result.ColSize, 0);
        EXPECT_EQ(result.RowSize, 0);
        EXPECT_TRUE(SameElements(map, before));
    }
    {
        SCOPED_TRACE("1 x 1 image with the centre on its pixel");
        const LwFloatMatrix image = MakeMatrix(1, 1, 3, 4, [](int, int) { return 2.5f; });
        LwLongMatrix map;
        EXPECT_TRUE(SameElements(op.AverageAlongAzimuthal(image, 3.0f, 4.0f, false, map), image));
    }
    {
        SCOPED_TRACE("centre (1.5, 1.5): bins of (3, 1) and (2, 2)");
        const LwFloatMatrix image = MakeMatrix(4, 4, 0, 0, [](int, int) { return 1.0f; });
        LwLongMatrix map;
        op.AverageAlongAzimuthal(image, 1.5f, 1.5f, false, map);
        EXPECT_EQ(map(3, 1), 2);
        EXPECT_EQ(map(2, 2), 1);
    }
    {
        SCOPED_TRACE("skipZero: a zero ring stays 0, zeros on a ring take the others' mean");
        // Centre (0, 0) of a 3 x 1 row: bins 0, 1, 2.
        const LwFloatMatrix row = MakeMatrix(5, 1, 0, 0, [](int c, int) { return c == 1 ? 0.0f : float(c); });
        LwLongMatrix map;
        const LwFloatMatrix skipped = op.AverageAlongAzimuthal(row, 0.0f, 0.0f, true, map);
        EXPECT_EQ(skipped(1, 0), 0.0f);
        const LwFloatMatrix column =
            MakeMatrix(2, 2, 0, 0, [](int c, int r) { return c == 1 && r == 0 ? 0.0f : 6.0f; });
        LwLongMatrix map2;
        // Centre (0, 0): bins 0; 1, 1; 1 (sqrt 2 rounds to 1).
        const LwFloatMatrix a = op.AverageAlongAzimuthal(column, 0.0f, 0.0f, true, map2);
        EXPECT_EQ(a(1, 0), 6.0f);
        const LwFloatMatrix b = op.AverageAlongAzimuthal(column, 0.0f, 0.0f, false, map2);
        EXPECT_EQ(b(1, 0), 4.0f);
        const LwFloatMatrix divided = op.DivideByAzimuthalAverage(row, 0.0f, 0.0f, true, map);
        EXPECT_EQ(divided(1, 0), 0.0f);
        EXPECT_EQ(divided(2, 0), 1.0f);
    }
    {
        SCOPED_TRACE("a NaN pixel turns its ring into NaN, also with skipZero");
        LwFloatMatrix image = MakeMatrix(3, 1, 0, 0, [](int, int) { return 1.0f; });
        image(2, 0) = std::numeric_limits<float>::quiet_NaN();
        LwLongMatrix map;
        const LwFloatMatrix a = op.AverageAlongAzimuthal(image, 1.0f, 0.0f, true, map);
        EXPECT_TRUE(std::isnan(a(0, 0)));
        EXPECT_EQ(a(1, 0), 1.0f);
    }
    {
        SCOPED_TRACE("centre outside the image");
        const LwFloatMatrix image = RandomImage(6, 5, 0, 0, 3);
        LwLongMatrix map;
        const LwFloatMatrix a = op.AverageAlongAzimuthal(image, -20.5f, 40.5f, false, map);
        const LwFloatMatrix reference = ReferenceAverage(image, -20.5, 40.5, false);
        for (int k = 0; k < a.ElementCount(); ++k)
            EXPECT_NEAR(a.Buffer()[k], reference.Buffer()[k], 1e-5) << k;
    }
}

TEST(LwMatrixOperatorAzimuthal, ReusedMapIsTakenByStoragePositionWhateverItsBegins)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(8, 6, 2, 3, 9);
    // A map made for another centre, with other begins: used unchanged, the
    // result keeps the image's begins and follows the map's bins.
    LwLongMatrix map = MakeMatrix<LwLongMatrix>(8, 6, -10, 50, [](int c, int) { return c + 10; });
    const LwLongMatrix before = map;
    const LwFloatMatrix a = op.AverageAlongAzimuthal(image, 100.0f, 100.0f, false, map);
    EXPECT_TRUE(SameElements(map, before));
    EXPECT_EQ(a.ColBegin, 2);
    EXPECT_EQ(a.RowBegin, 3);
    for (int c = 0; c < 8; ++c) {
        double mean = 0;
        for (int r = 0; r < 6; ++r)
            mean += image(2 + c, 3 + r) / 6.0;
        for (int r = 0; r < 6; ++r)
            EXPECT_NEAR(a(2 + c, 3 + r), mean, 1e-5) << c << "," << r;
    }
}

TEST(LwMatrixOperatorAzimuthal, RefusesBadCentresAndMapsBeforeWriting)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(4, 3, 0, 0, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        const char* name;
        float cx, cy;
        LwLongMatrix map;
        std::string error;
    } cases[] = {
        {"NaN centre", nan, 1.0f, LwLongMatrix(), "AverageAlongAzimuthal: centre is not finite"},
        {"infinite centre", 1.0f, -inf, LwLongMatrix(), "AverageAlongAzimuthal: centre is not finite"},
        {"centre beyond 32-bit radii", 3e9f, 0.0f, LwLongMatrix(),
         "AverageAlongAzimuthal: centre is too far from the image"},
        {"centre whose distance overflows float", 3e38f, 3e38f, LwLongMatrix(),
         "AverageAlongAzimuthal: centre is too far from the image"},
        {"reused map with a bin above its corners", 1.0f, 1.0f,
         MakeMatrix<LwLongMatrix>(4, 3, 0, 0, [](int c, int r) { return c == 1 && r == 1 ? 9 : 0; }),
         "AverageAlongAzimuthal: radius map does not fit the image"},
        {"reused map with a negative bin", 1.0f, 1.0f,
         MakeMatrix<LwLongMatrix>(4, 3, 0, 0, [](int c, int r) { return c == 2 && r == 1 ? -1 : 3; }),
         "AverageAlongAzimuthal: radius map does not fit the image"},
        {"reused map with negative corners", 1.0f, 1.0f,
         MakeMatrix<LwLongMatrix>(4, 3, 0, 0, [](int, int) { return -2; }),
         "AverageAlongAzimuthal: radius map does not fit the image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LwLongMatrix map = c.map;
        EXPECT_EQ(ErrorText([&] { op.AverageAlongAzimuthal(image, c.cx, c.cy, false, map); }), c.error);
        EXPECT_TRUE(SameElements(map, c.map));
    }
    LwLongMatrix map;
    const LwFloatMatrix noColumns(0, 5);
    EXPECT_EQ(ErrorText([&] {
                  op.AverageAlongAzimuthal(noColumns, 0.0f, 0.0f, false, map);
              }).rfind("Matrix over range. access=(", 0),
              0u);
}

TEST(LwMatrixOperatorAzimuthal, ResultDoesNotDependOnThreadCount)
{
    LwMatrixOperator op;
    const LwFloatMatrix image = RandomImage(97, 83, -40, 7, 21, -5.0f, 20.0f, 7);
    const auto run = [&] {
        LwLongMatrix map;
        return op.AverageAlongAzimuthal(image, 3.25f, 50.75f, true, map);
    };
    const LwFloatMatrix one = WithThreads(1, run);
    const LwFloatMatrix many = WithThreads(imageops_test::ManyThreads(), run);
    EXPECT_TRUE(SameElements(one, many));
}
