#include "pattern/LwSphericalMappingConvert.h"
#include "ReferenceConstants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {
// Round trips go through acos/atan2/tan once each way; the loss is a few ulp
// of the pixel coordinate (at most ~500) amplified near the poles.
constexpr double kPixelTol = 1e-8;
constexpr double kDirTol = 1e-9;

struct Projection
{
    const char* name;
    std::shared_ptr<LwSphericalMappingConvert> convert;
    int nx, ny;
};

std::vector<Projection> AllProjections()
{
    return {
        {"AzimuthalEquidistant", std::make_shared<LwConvertAzimuthalEquidistantMap>(), 91, 91},
        {"EquidistantCylindrical", std::make_shared<LwConvertEquidistantCylindricalMap>(), 120, 61},
        {"Gnomonic", std::make_shared<LwConvertGnomonicMap>(60.0), 81, 81},
        {"Stereographic", std::make_shared<LwConvertStereographicMap>(90.0), 81, 81},
        {"Orthographic", std::make_shared<LwConvertOrthographicMap>(), 81, 81},
    };
}

}  // namespace

TEST(SphericalMappingConvert, NamesSizesAndMaxTheta)
{
    const float maxTheta[] = {90.0f, 180.0f, 60.0f, 90.0f, 90.0f};
    int i = 0;
    for (const auto& p : AllProjections()) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(p.convert->GetName(), p.name);
        EXPECT_EQ(p.convert->GetMaxTheta(), maxTheta[i++]);
        const bool cylindrical = p.convert->GetName() == "EquidistantCylindrical";
        EXPECT_TRUE(p.convert->IsSupportedSize(64, 64));
        EXPECT_EQ(p.convert->IsSupportedSize(64, 32), cylindrical);
    }
    LwConvertGnomonicMap g(30.0);
    g.SetAngle(50.0);
    EXPECT_EQ(g.GetMaxTheta(), 50.0f);
}

TEST(SphericalMappingConvert, PixelDirectionPixelRoundTrip)
{
    for (const auto& p : AllProjections()) {
        SCOPED_TRACE(p.name);
        const bool cylindrical = p.convert->GetName() == "EquidistantCylindrical";
        int inside = 0;
        for (int py = 0; py < p.ny; ++py) {
            // The pole rows of the cylindrical map hold one direction each.
            if (cylindrical && (py == 0 || py == p.ny - 1))
                continue;
            for (int px = 0; px < p.nx; ++px) {
                double x, y, z, w;
                if (!p.convert->PixelToDirection(x, y, z, w, px, py, p.nx, p.ny))
                    continue;
                ++inside;
                ASSERT_NEAR(x * x + y * y + z * z, 1.0, 1e-12);
                ASSERT_GT(w, 0.0);
                double qx, qy;
                const bool back = p.convert->DirectionToPixel(qx, qy, p.nx, p.ny, x, y, z);
                // A pixel on the image border may come back an ulp outside it.
                const bool border = px == 0 || py == 0 || px == p.nx - 1 || py == p.ny - 1;
                if (!border) {
                    ASSERT_TRUE(back) << px << "," << py;
                }
                ASSERT_NEAR(qx, px, kPixelTol) << px << "," << py;
                ASSERT_NEAR(qy, py, kPixelTol) << px << "," << py;
            }
        }
        EXPECT_GT(inside, p.nx * p.ny / 2);
    }
}

TEST(SphericalMappingConvert, DirectionPixelDirectionRoundTrip)
{
    std::mt19937 rng(3);
    std::normal_distribution<double> g;
    for (const auto& p : AllProjections()) {
        SCOPED_TRACE(p.name);
        int mapped = 0;
        for (int i = 0; i < 2000; ++i) {
            double x = g(rng), y = g(rng), z = g(rng);
            const double n = std::sqrt(x * x + y * y + z * z);
            x /= n, y /= n, z /= n;
            // Square images also show directions beyond the largest polar
            // angle in their corners; only the projected area maps back.
            if (std::acos(z) * 180 / Reference::Pi > p.convert->GetMaxTheta())
                continue;
            double px, py;
            if (!p.convert->DirectionToPixel(px, py, p.nx, p.ny, x, y, z))
                continue;
            ++mapped;
            double rx, ry, rz, w;
            ASSERT_TRUE(p.convert->PixelToDirection(rx, ry, rz, w, px, py, p.nx, p.ny));
            ASSERT_NEAR(rx, x, kDirTol);
            ASSERT_NEAR(ry, y, kDirTol);
            ASSERT_NEAR(rz, z, kDirTol);
        }
        EXPECT_GT(mapped, 200);
    }
}

TEST(SphericalMappingConvert, SolidAnglesCoverTheSphere)
{
    // The weights are a quadrature of the solid angle: the hemisphere (2 pi)
    // for the azimuthal-equidistant map and the sphere (4 pi) for the
    // cylindrical one. The cylindrical error shrinks steadily with the grid;
    // the disc edge of the azimuthal map makes its error fluctuate.
    LwConvertAzimuthalEquidistantMap ae;
    LwConvertEquidistantCylindricalMap ec;
    double previousEc = 1.0;
    for (int n : {91, 181, 361}) {
        double sumAe = 0.0, sumEc = 0.0, x, y, z, w;
        for (int py = 0; py < n; ++py)
            for (int px = 0; px < n; ++px)
                if (ae.PixelToDirection(x, y, z, w, px, py, n, n))
                    sumAe += w;
        for (int py = 0; py < n; ++py)
            for (int px = 0; px < 2 * (n - 1); ++px)
                if (ec.PixelToDirection(x, y, z, w, px, py, 2 * (n - 1), n))
                    sumEc += w;
        const double errAe = std::abs(sumAe / (2 * Reference::Pi) - 1),
                     errEc = std::abs(sumEc / (4 * Reference::Pi) - 1);
        SCOPED_TRACE(n);
        EXPECT_LT(errAe, 2e-3);
        EXPECT_LT(errEc, 1e-3);
        EXPECT_LT(errEc, previousEc);
        previousEc = errEc;
    }
}

TEST(SphericalMappingConvert, AzimuthalEquidistantPixels)
{
    LwConvertAzimuthalEquidistantMap m;
    double x, y, z, w;
    ASSERT_TRUE(m.PixelToDirection(x, y, z, w, 90, 90, 181, 181));
    EXPECT_DOUBLE_EQ(z, 1.0);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_DOUBLE_EQ(w, Reference::Pi * Reference::Pi / 32400);
    ASSERT_TRUE(m.PixelToDirection(x, y, z, w, 180, 90, 181, 181));
    EXPECT_NEAR(x, 1.0, 1e-15);
    EXPECT_NEAR(z, 0.0, 1e-15);
    // Corner: 90 sqrt(2) pixels = 127.3 degrees, outside; outputs untouched.
    x = y = z = w = -7;
    EXPECT_FALSE(m.PixelToDirection(x, y, z, w, 0, 0, 181, 181));
    EXPECT_EQ(x, -7);
    EXPECT_EQ(w, -7);
    double u, v;
    ASSERT_TRUE(m.DirectionToRectangle(u, v, -1, 1, -1, 1, 0, 1, 0));
    EXPECT_NEAR(u, 0.0, 1e-15);
    EXPECT_NEAR(v, 1.0, 1e-15);
}

TEST(SphericalMappingConvert, EquidistantCylindricalPixels)
{
    LwConvertEquidistantCylindricalMap m;
    double x, y, z, w;
    ASSERT_TRUE(m.PixelToDirection(x, y, z, w, 90, 90, 360, 181));
    EXPECT_NEAR(x, 0.0, 1e-15);
    EXPECT_NEAR(y, 1.0, 1e-15);
    EXPECT_NEAR(z, 0.0, 1e-15);
    const double pole = std::pow(Reference::Pi, 3) / (4.0 * 180 * 180 * 360);
    for (int px : {0, 17, 359}) {
        ASSERT_TRUE(m.PixelToDirection(x, y, z, w, px, 0, 360, 181));
        EXPECT_EQ(z, 1.0);
        EXPECT_NEAR(w, pole, 1e-15 * pole);
    }
    double px, py;
    const double a = -0.6 * Reference::Pi / 180, b = -0.4 * Reference::Pi / 180;
    ASSERT_TRUE(m.DirectionToPixel(px, py, 360, 181, std::cos(a), std::sin(a), 0));
    EXPECT_NEAR(px, 359.4, 1e-9);
    EXPECT_NEAR(py, 90.0, 1e-9);
    ASSERT_TRUE(m.DirectionToPixel(px, py, 360, 181, std::cos(b), std::sin(b), 0));
    EXPECT_NEAR(px, -0.4, 1e-9);
    double u = 5, v = 5;
    EXPECT_FALSE(m.DirectionToRectangle(u, v, -1, 1, -1, 1, 0, 0, 1));
    EXPECT_EQ(u, 5);
}

TEST(SphericalMappingConvert, GnomonicStereographicOrthographicPixels)
{
    double x, y, z, w;
    LwConvertGnomonicMap gn(45.0);
    ASSERT_TRUE(gn.PixelToDirection(x, y, z, w, 100, 50, 101, 101));
    EXPECT_NEAR(x, std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(y, 0.0, 1e-15);
    EXPECT_NEAR(z, std::sqrt(0.5), 1e-15);
    double px, py;
    EXPECT_FALSE(gn.DirectionToPixel(px, py, 101, 101, 0, 0.6, -0.8));

    LwConvertStereographicMap st(90.0);
    ASSERT_TRUE(st.DirectionToPixel(px, py, 101, 101, 0, 0, 1));
    EXPECT_DOUBLE_EQ(px, 51.0);  // centre at (n + 1) / 2
    EXPECT_DOUBLE_EQ(py, 51.0);
    ASSERT_TRUE(st.PixelToDirection(x, y, z, w, 0, 51, 101, 101));
    EXPECT_NEAR(x, -1.0, 1e-15);
    EXPECT_NEAR(z, 0.0, 1e-15);

    LwConvertOrthographicMap orth;
    x = y = z = w = 9;
    EXPECT_FALSE(orth.PixelToDirection(x, y, z, w, 0, 0, 101, 101));
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(z, 0.0);
    EXPECT_EQ(w, 0.0);
    ASSERT_TRUE(orth.PixelToDirection(x, y, z, w, 50, 50, 101, 101));
    EXPECT_EQ(z, 1.0);
    EXPECT_EQ(w, z);
    EXPECT_FALSE(orth.DirectionToPixel(px, py, 101, 101, 0, 0, -1));
}

TEST(SphericalMappingConvert, DegenerateImagesAreOutside)
{
    double x, y, z, w;
    EXPECT_FALSE(LwConvertAzimuthalEquidistantMap().PixelToDirection(x, y, z, w, 0, 0, 1, 1));
    EXPECT_FALSE(LwConvertEquidistantCylindricalMap().PixelToDirection(x, y, z, w, 0, 0, 4, 1));
    EXPECT_FALSE(LwConvertGnomonicMap(45).PixelToDirection(x, y, z, w, 0, 0, 1, 1));
    EXPECT_FALSE(LwConvertOrthographicMap().PixelToDirection(x, y, z, w, 0, 0, 1, 1));
}

TEST(SphericalMappingConvert, SlightlyNonUnitDirectionsStayFinite)
{
    // A unit vector computed in floating point may have |z| a little above 1.
    double px = -1, py = -1;
    LwConvertAzimuthalEquidistantMap ae;
    ASSERT_TRUE(ae.DirectionToPixel(px, py, 181, 181, 0, 0, 1.0 + 4e-16));
    EXPECT_DOUBLE_EQ(px, 90.0);
    EXPECT_DOUBLE_EQ(py, 90.0);
}
