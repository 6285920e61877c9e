// Correlation along the azimuth: grid sizes, constant and cosine rings, a
// direct evaluation of the definition, skipZero and thread independence.

#include "imageops/LwMatrixOperator.h"
#include "ErrorText.h"
#include "MatrixOperatorTestImages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using imageops_test::MakeMatrix;
using imageops_test::RandomImage;
using imageops_test::SameElements;
using imageops_test::WithThreads;

namespace {

const double kPi = std::acos(-1.0);

// The definition evaluated directly: polar samples, correlation sums, ring
// means and the painting back, in the plainest loops.
LwFloatMatrix Reference(const LwFloatMatrix& image, bool skipZero)
{
    const int c0 = image.ColBegin, c1 = c0 + image.ColSize - 1;
    const int r0 = image.RowBegin, r1 = r0 + image.RowSize - 1;
    const float xc = (c1 + c0) * 0.5f, yc = (r0 + r1) * 0.5f, R = xc - c0;
    const int nr = int(2 * R);
    const int nphi = int(2 * (2 * (long double)kPi * R));
    std::vector<std::vector<float>> P(nr, std::vector<float>(nphi, 0.0f));
    for (int k = 0; k < nphi; ++k)
        for (int m = 0; m < nr; ++m) {
            const long double phi = k * (2 * (long double)kPi / nphi);
            const long double x = std::floor(xc + 0.5L * m * std::cos(phi) + 0.5L);
            const long double y = std::floor(yc + 0.5L * m * std::sin(phi) + 0.5L);
            if (x >= c0 && x <= c1 && y >= r0 && y <= r1)
                P[m][k] = image(int(x), int(y));
        }
    return MakeMatrix(image.ColSize, image.RowSize, c0, r0, [&](int x, int y) {
        const float dx = x - xc, dy = y - yc;
        const long double r = std::sqrt((long double)dx * dx + (long double)dy * dy);
        long double phi = (dx == 0 && dy == 0) ? 0 : std::atan2((long double)dy, (long double)dx);
        if (phi < 0)
            phi += 2 * (long double)kPi;
        const long double m = std::floor(2 * r + 0.5L), L = std::floor(2 * (long double)R * phi + 0.5L);
        if (m < 0 || m >= nr || L < 0 || L >= nphi)
            return 0.0f;
        const auto& ring = P[int(m)];
        long double sum = 0;
        int count = 0;
        for (float v : ring)
            if (!(skipZero && v == 0.0f)) {
                sum += v;
                ++count;
            }
        const float mean = count ? float(sum / count) : 0.0f;
        const float norm = (skipZero && ring[int(L)] == 0.0f) ? 0.0f : mean * mean;
        if (norm == 0.0f)
            return 0.0f;
        float c = 0.0f;
        for (int u = 0; u < nphi; ++u)
            c += ring[u] * ring[(u + int(L)) % nphi];
        return c / norm;
    });
}

}  // namespace

TEST(LwMatrixOperatorCorrelation, GridOfASmallImageAndTheDegenerateSizes)
{
    LwMatrixOperator op;
    // 4 x 4: R = 1.5, nr = 3, nphi = 18. A constant image gives nphi on
    // every ring and 0 beyond the last ring.
    const LwFloatMatrix flat = MakeMatrix(4, 4, 0, 0, [](int, int) { return 2.0f; });
    const LwFloatMatrix c = op.CorrelationAlongAzimuthal(flat, false);
    EXPECT_EQ(c(1, 1), 18.0f);  // r = 0.71: ring 1
    EXPECT_EQ(c(0, 1), 0.0f);  // r = 1.58: ring 3, beyond nr
    EXPECT_EQ(c(0, 0), 0.0f);

    const LwFloatMatrix one =
        op.CorrelationAlongAzimuthal(MakeMatrix(1, 1, 5, 5, [](int, int) { return 3.0f; }), false);
    EXPECT_TRUE(SameElements(one, MakeMatrix(1, 1, 5, 5, [](int, int) { return 0.0f; })));
    EXPECT_EQ(op.CorrelationAlongAzimuthal(LwFloatMatrix(), false).ElementCount(), 0);
    EXPECT_EQ(ErrorText([&] { op.CorrelationAlongAzimuthal(LwFloatMatrix(4, 3), false); }),
              "Correlation along azimuthal: vertical and horizontal size is not same");
}

TEST(LwMatrixOperatorCorrelation, ConstantRingsGiveTheAngleCount)
{
    LwMatrixOperator op;
    const LwFloatMatrix flat = MakeMatrix(33, 33, -16, 4, [](int, int) { return 3.5f; });
    const int nphi = int(4 * kPi * 16);
    const LwFloatMatrix c = op.CorrelationAlongAzimuthal(flat, true);
    EXPECT_EQ(c.ColBegin, -16);
    EXPECT_EQ(c.RowBegin, 4);
    for (int y = 4; y < 37; ++y)
        for (int x = -16; x < 17; ++x) {
            const double r = std::hypot(x, y - 20);
            const double turn = std::atan2(y - 20, x) + (y < 20 ? 2 * kPi : 0);
            if (r < 15.5 && 32 * turn + 0.5 < nphi) {
                ASSERT_EQ(c(x, y), float(nphi)) << x << "," << y;
            } else if (r > 16.5) {
                ASSERT_EQ(c(x, y), 0.0f) << x << "," << y;
            }
        }
}

TEST(LwMatrixOperatorCorrelation, CosineAlongTheRingCorrelatesAsACosine)
{
    // Rings a + b cos(phi): the correlation at a turn t is
    // nphi (a^2 + b^2 cos(t) / 2) / a^2. Nearest-pixel sampling of the
    // rings blurs the angle by about half a pixel over the radius, so the
    // rings from radius 10 on agree to 2 per cent of the b^2 / 2a^2 term.
    LwMatrixOperator op;
    const int n = 65;
    const double a = 2.0, b = 1.0, centre = 32.0;
    const LwFloatMatrix image = MakeMatrix(n, n, 0, 0, [&](int x, int y) {
        return float(a + b * std::cos(std::atan2(y - centre, x - centre)));
    });
    const LwFloatMatrix c = op.CorrelationAlongAzimuthal(image, false);
    const double nphi = std::floor(4 * kPi * centre);
    double worst = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - centre, y - centre);
            if (r < 10 || r > 30)
                continue;
            const double turn = std::atan2(y - centre, x - centre);
            const double expected = 1 + b * b * std::cos(turn) / (2 * a * a);
            worst = std::max(worst, std::abs(c(x, y) / nphi - expected));
        }
    EXPECT_LT(worst, 0.125 * 0.02) << "worst deviation from 1 + cos(t) / 8";
}

TEST(LwMatrixOperatorCorrelation, MatchesTheDefinitionAtAnyThreadCount)
{
    LwMatrixOperator op;
    for (const bool skipZero : {false, true}) {
        SCOPED_TRACE(skipZero ? "skipZero" : "all pixels");
        const LwFloatMatrix image = RandomImage(21, 21, 3, -8, 41, 0.5f, 3.0f, skipZero ? 6 : 0);
        const auto run = [&] { return op.CorrelationAlongAzimuthal(image, skipZero); };
        const LwFloatMatrix one = WithThreads(1, run);
        EXPECT_TRUE(SameElements(one, WithThreads(imageops_test::ManyThreads(), run)));
        const LwFloatMatrix reference = Reference(image, skipZero);
        for (int k = 0; k < one.ElementCount(); ++k)
            ASSERT_NEAR(one.Buffer()[k], reference.Buffer()[k], 1e-5 * std::abs(reference.Buffer()[k])) << k;
    }
}
