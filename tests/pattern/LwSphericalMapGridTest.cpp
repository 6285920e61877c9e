#include "core/LwError.h"
#include "pattern/LwSphericalMapGrid.h"
#include "pattern/LwSphericalMappingConvert.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {
// Directions come from one acos/atan2/sin/cos chain per pixel.
constexpr double kDirTol = 64 * std::numeric_limits<double>::epsilon();

void ExpectPlanesZero(const LwSphericalMapGrid& g)
{
    for (const auto& p : g.Planes)
        for (int k = 0; k < p.ElementCount(); ++k)
            ASSERT_EQ(p.Buffer()[k], 0) << "element " << k;
}

}  // namespace

TEST(SphericalMapGrid, CreateSizesPlanesAndWeights)
{
    LwSphericalMapGrid g;
    g.Create(3, 5, 4);
    ASSERT_EQ(g.Planes.size(), 3u);
    for (const LwLDoubleMatrix* m : {&g.Planes[0], &g.Planes[2], &g.X, &g.Y, &g.Z, &g.W}) {
        EXPECT_EQ(m->ColSize, 5);
        EXPECT_EQ(m->RowSize, 4);
    }
    ExpectPlanesZero(g);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(g.X(i, j), 0);
            EXPECT_EQ(g.Z(i, j), 0);
            EXPECT_EQ(g.W(i, j), 1);
        }
    // A refused size leaves the grid as it was.
    EXPECT_THROW(g.Create(-1, 5, 4), LwError);
    EXPECT_THROW(g.Create(2, -5, 4), LwError);
    EXPECT_EQ(g.Planes.size(), 3u);
    EXPECT_EQ(g.W.ColSize, 5);
}

TEST(SphericalMapGrid, BuilderSizesFollowTheResolution)
{
    struct Case
    {
        const char* what;
        LwSphericalMapGrid grid;
        const char* name;
        int columns, rows;
    };
    const Case cases[] = {
        {"AE 1 deg", CreateAzimuthalEquidistantGrid(6, 1.0), "AzimuthalEquidistant", 181, 181},
        {"EC 1 deg", CreateEquidistantCylindricalGrid(6, 1.0), "EquidistantCylindrical", 360, 181},
        {"1D 1 deg", CreateOneDimensionalGrid(6, 1.0), "", 181, 1},
        // 180 / 0.7 + 1 = 258.14 and 360 / 0.7 = 514.29 are truncated.
        {"AE 0.7 deg", CreateAzimuthalEquidistantGrid(2, 0.7), "AzimuthalEquidistant", 258, 258},
        {"EC 0.7 deg", CreateEquidistantCylindricalGrid(2, 0.7), "EquidistantCylindrical", 514, 258},
        {"AE 0.5 deg", CreateAzimuthalEquidistantGrid(1, 0.5), "AzimuthalEquidistant", 361, 361},
        {"gnomonic", CreateGnomonicGrid(4, 60.0, 51), "Gnomonic", 51, 51},
        {"stereographic", CreateStereographicGrid(4, 90.0, 52), "Stereographic", 52, 52},
        {"orthographic", CreateOrthographicGrid(4, 53), "Orthographic", 53, 53},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.grid.Name, c.name);
        EXPECT_EQ(c.grid.W.ColSize, c.columns);
        EXPECT_EQ(c.grid.W.RowSize, c.rows);
        ASSERT_FALSE(c.grid.Planes.empty());
        EXPECT_EQ(c.grid.Planes.back().ColSize, c.columns);
        EXPECT_EQ(c.grid.Planes.back().RowSize, c.rows);
        ExpectPlanesZero(c.grid);
    }
}

TEST(SphericalMapGrid, BadResolutionIsRefusedBeforeSizing)
{
    const double bad[] = {0.0,
                          -1.0,
                          std::nan(""),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          1e-300};
    for (double r : bad) {
        SCOPED_TRACE(r);
        EXPECT_THROW(CreateAzimuthalEquidistantGrid(6, r), LwError);
        EXPECT_THROW(CreateEquidistantCylindricalGrid(6, r), LwError);
        EXPECT_THROW(CreateOneDimensionalGrid(6, r), LwError);
    }
}

TEST(SphericalMapGrid, AzimuthalEquidistantDirections)
{
    // Independent of the convert: pixel (i, j) lies at the polar angle
    // |(i, j) - centre| * resolution, towards the azimuth of the offset.
    const double res = 2.0;
    const LwSphericalMapGrid g = CreateAzimuthalEquidistantGrid(1, res);
    const int n = 91;
    ASSERT_EQ(g.W.ColSize, n);
    const double c = (n - 1) / 2.0;
    int inside = 0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double theta = std::hypot(i - c, j - c) * res * Reference::Pi / 180.0;
            if (theta > Reference::Pi / 2 + 1e-12) {
                ASSERT_EQ(g.W(i, j), 0) << i << "," << j;
                ASSERT_EQ(g.X(i, j), 0);
                ASSERT_EQ(g.Y(i, j), 0);
                ASSERT_EQ(g.Z(i, j), 0);
                continue;
            }
            ++inside;
            const double phi = (i == c && j == c) ? 0.0 : std::atan2(j - c, i - c);
            ASSERT_GT(g.W(i, j), 0);
            ASSERT_NEAR(g.X(i, j), std::sin(theta) * std::cos(phi), kDirTol) << i << "," << j;
            ASSERT_NEAR(g.Y(i, j), std::sin(theta) * std::sin(phi), kDirTol) << i << "," << j;
            ASSERT_NEAR(g.Z(i, j), std::cos(theta), kDirTol) << i << "," << j;
        }
    }
    EXPECT_GT(inside, 0.7 * n * n);  // the disc covers pi/4 of the square
    // The corners lie outside; the four edge midpoints lie exactly at 90 degrees.
    for (auto ij : {std::pair<int, int>{0, 0}, {0, n - 1}, {n - 1, 0}, {n - 1, n - 1}})
        EXPECT_EQ(g.W(ij.first, ij.second), 0);
    const int mid = n / 2;
    for (auto ij : {std::pair<int, int>{0, mid}, {n - 1, mid}, {mid, 0}, {mid, n - 1}}) {
        EXPECT_GT(g.W(ij.first, ij.second), 0);
        EXPECT_NEAR(g.Z(ij.first, ij.second), 0.0, kDirTol);
    }
}

TEST(SphericalMapGrid, EquidistantCylindricalDirectionsAndSolidAngle)
{
    const LwSphericalMapGrid g = CreateEquidistantCylindricalGrid(1, 1.0);
    LDouble sum = 0;
    for (int i = 0; i < g.W.ColSize; ++i) {
        for (int j = 0; j < g.W.RowSize; ++j) {
            const double phi = i * Reference::Pi / 180.0, theta = j * Reference::Pi / 180.0;
            ASSERT_NEAR(g.X(i, j), std::sin(theta) * std::cos(phi), kDirTol);
            ASSERT_NEAR(g.Y(i, j), std::sin(theta) * std::sin(phi), kDirTol);
            ASSERT_NEAR(g.Z(i, j), std::cos(theta), kDirTol);
            sum += g.W(i, j);
        }
    }
    EXPECT_NEAR(sum / (4 * Reference::Pi), 1.0, 1e-3);
}

TEST(SphericalMapGrid, OneDimensionalGridIsAnArcInTheXZPlane)
{
    const double res = 1.5;
    const LwSphericalMapGrid g = CreateOneDimensionalGrid(6, res);
    ASSERT_EQ(g.X.ColSize, 121);
    for (int i = 0; i < g.X.ColSize; ++i) {
        const double t = i * res * Reference::Pi / 180.0;
        EXPECT_NEAR(g.X(i, 0), std::sin(t), kDirTol);
        EXPECT_EQ(g.Y(i, 0), 0);
        EXPECT_NEAR(g.Z(i, 0), std::cos(t), kDirTol);
        EXPECT_EQ(g.W(i, 0), 1);
    }
}

TEST(SphericalMapGrid, SquareProjectionsMatchTheirConverts)
{
    // Pixels the convert reports outside carry zeros; inside ones its values.
    struct Case
    {
        LwSphericalMapGrid grid;
        const LwSphericalMappingConvert* convert;
    };
    const LwConvertGnomonicMap gno(50.0);
    const LwConvertStereographicMap ste(120.0);
    const LwConvertOrthographicMap ort;
    const Case cases[] = {{CreateGnomonicGrid(1, 50.0, 41), &gno},
                          {CreateStereographicGrid(1, 120.0, 41), &ste},
                          {CreateOrthographicGrid(1, 41), &ort}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grid.Name);
        EXPECT_EQ(c.grid.Name, c.convert->GetName());
        int outside = 0;
        for (int i = 0; i < 41; ++i)
            for (int j = 0; j < 41; ++j) {
                double x, y, z, w;
                if (c.convert->PixelToDirection(x, y, z, w, i, j, 41, 41)) {
                    ASSERT_EQ(c.grid.X(i, j), x);
                    ASSERT_EQ(c.grid.Z(i, j), z);
                    ASSERT_EQ(c.grid.W(i, j), w);
                    ASSERT_NEAR(x * x + y * y + z * z, 1.0, kDirTol);
                } else {
                    ++outside;
                    ASSERT_EQ(c.grid.W(i, j), 0);
                    ASSERT_EQ(c.grid.Y(i, j), 0);
                }
            }
        EXPECT_EQ(outside > 0, c.grid.Name == "Orthographic");
    }
}

TEST(SphericalMapGrid, FillDirectionsRefusesAGridOfAnotherSize)
{
    // Filled in a parallel loop, where an out-of-range pixel could not be
    // reported: the size is checked first and nothing is written.
    LwSphericalMapGrid g;
    g.Create(1, 5, 4);
    const LwConvertOrthographicMap convert;
    EXPECT_THROW(g.FillDirections(convert, 5, 5), LwError);
    EXPECT_THROW(g.FillDirections(convert, 6, 4), LwError);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(g.X(i, j), 0);
            EXPECT_EQ(g.W(i, j), 1);
        }
}

TEST(SphericalMapGrid, FillDirectionsRefusesAGridNotBeginningAtPixelZero)
{
    // Pixel (i, j) is written at (i, j): matrices whose elements begin
    // elsewhere are refused before the parallel loop, untouched.
    const struct
    {
        const char* name;
        int colBegin, rowBegin;
    } cases[] = {{"columns begin at 1", 1, 0}, {"rows begin at -2", 0, -2}};
    const LwConvertOrthographicMap convert;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LwSphericalMapGrid g;
        g.Create(1, 5, 4);
        for (LwLDoubleMatrix* m : {&g.X, &g.Y, &g.Z, &g.W}) {
            m->ColBegin = c.colBegin;
            m->RowBegin = c.rowBegin;
        }
        EXPECT_THROW(g.FillDirections(convert, 5, 4), LwError);
        for (int i = 0; i < 5; ++i)
            for (int j = 0; j < 4; ++j) {
                EXPECT_EQ(g.X(c.colBegin + i, c.rowBegin + j), 0);
                EXPECT_EQ(g.W(c.colBegin + i, c.rowBegin + j), 1);
            }
    }
}

TEST(SphericalMapGrid, MoveHandsEveryMatrixOver)
{
    const LwSphericalMapGrid ref = CreateOrthographicGrid(2, 21);
    LwSphericalMapGrid source = ref;
    source.Planes[1](3, 4) = 7;
    const LDouble* const x = source.X.Buffer();
    LwSphericalMapGrid moved(std::move(source));
    LwSphericalMapGrid target = CreateGnomonicGrid(1, 30.0, 5);
    target = std::move(moved);
    EXPECT_EQ(target.X.Buffer(), x);  // handed over, not copied
    EXPECT_EQ(target.Name, ref.Name);
    ASSERT_EQ(target.Planes.size(), 2u);
    EXPECT_EQ(target.Planes[1](3, 4), 7);
    for (const auto& [a, b] :
         {std::pair{&target.X, &ref.X}, {&target.Y, &ref.Y}, {&target.Z, &ref.Z}, {&target.W, &ref.W}}) {
        ASSERT_EQ(a->ColSize, 21);
        ASSERT_EQ(a->RowSize, 21);
        for (int k = 0; k < a->ElementCount(); ++k)
            ASSERT_EQ(a->Buffer()[k], b->Buffer()[k]) << "element " << k;
    }
}
