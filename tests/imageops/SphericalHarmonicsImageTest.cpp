// Spherical-harmonics image unit: the coefficient image, the harmonic tables
// against Boost's complex harmonics, pixel angles and their solid angles
// against closed forms, synthesis followed by expansion against the error of
// the pixel quadrature, exact fits of band-limited images, and the
// degree-by-degree operations against a fresh evaluation of every harmonic
// written out here, at one and at several threads.

#include "core/LwMatrixArithmetic.h"
#include "imageops/LwRealSphericalHarmonics.h"
#include "imageops/SphericalHarmonicsImage.h"
#include "ErrorText.h"
#include "LDoubleNear.h"

#include <boost/math/constants/constants.hpp>
#include <boost/math/special_functions/spherical_harmonic.hpp>
#include <gtest/gtest.h>
#include <omp.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const LDouble kPi = boost::math::constants::pi<LDouble>();
const LDouble kEpsilon = std::numeric_limits<LDouble>::epsilon();
const std::string kAzimuthal = "AzimuthalEquidistant";
const std::string kCylindrical = "EquidistantCylindrical";

int At(int l, int m)
{
    return l * l + l + m;
}

LwLmDoubleArray RandomCoefficients(int L, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    LwLmDoubleArray c;
    c.SetSizeZero(L);
    for (int p = 0; p < L * L; ++p)
        c[p] = uniform(random);
    return c;
}

// A test image with values in [0.5, 1.5] and a zero (no data) at every
// seventh pixel.
LwFloatMatrix RandomImage(int nx, int ny, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(0.5f, 1.5f);
    LwFloatMatrix image(nx, ny);
    for (int i = 0; i < nx * ny; ++i)
        image.Buffer()[i] = (i % 7 == 3) ? 0.0f : uniform(random);
    return image;
}

LwFloatMatrix Constant(int nx, int ny, float value)
{
    LwFloatMatrix image(nx, ny);
    std::fill(image.Buffer(), image.Buffer() + image.ElementCount(), value);
    return image;
}

// Runs f with the given OpenMP thread count and restores the default after.
void WithThreads(int threads, const std::function<void()>& f)
{
    const int saved = omp_get_max_threads();
    omp_set_num_threads(threads);
    try {
        f();
    } catch (...) {
        omp_set_num_threads(saved);
        throw;
    }
    omp_set_num_threads(saved);
}

struct Angles
{
    LwLDoubleMatrix v, theta, phi, dOmega;
};

Angles PixelAngles(const LwFloatMatrix& image, const std::string& projection)
{
    Angles a;
    LwMatrixArithmetic().ConvertMatrix(a.v, image);
    SphericalHarmonicsImage::CalcPixelAngles(a.theta, a.phi, a.dOmega, a.v, projection);
    return a;
}

// The degree-by-degree projection written out directly: every harmonic of
// degree l evaluated afresh at every pixel with CalcRealSphericalHarmonics
// (size l + 1), kept as float maps (values below the smallest normal float
// as 0), summed in pixel order, scaled by 4 pi / S and subtracted from the
// residual.
LwLmDoubleArray FreshExpandByDegree(int L, const LwFloatMatrix& image, const std::string& projection)
{
    Angles a = PixelAngles(image, projection);
    const int n = a.v.ElementCount();
    LwLmDoubleArray c, cache, y;
    c.SetSizeZero(L);
    for (int l = 0; l < L; ++l) {
        const int K = 2 * l + 1;
        std::vector<float> maps(static_cast<std::size_t>(n) * K);
        for (int i = 0; i < n; ++i) {
            CalcRealSphericalHarmonics(cache, y, l + 1, static_cast<double>(a.theta.Buffer()[i]),
                                       static_cast<double>(a.phi.Buffer()[i]));
            for (int m = -l; m <= l; ++m)
                maps[static_cast<std::size_t>(i) * K + m + l] =
                    std::fabs(y[At(l, m)]) < FLT_MIN ? 0.0f : static_cast<float>(y[At(l, m)]);
        }
        LDouble S = 0;
        for (int i = 0; i < n; ++i) {
            const LDouble v = a.v.Buffer()[i], w = a.dOmega.Buffer()[i];
            if (v == 0 || w == 0)
                continue;
            for (int k = 0; k < K; ++k)
                c[l * l + k] += w * v * static_cast<LDouble>(maps[static_cast<std::size_t>(i) * K + k]);
            S += w;
        }
        if (S != 0)
            for (int k = 0; k < K; ++k)
                c[l * l + k] = c[l * l + k] / S * (4 * kPi);
        for (int i = 0; i < n; ++i) {
            LDouble& v = a.v.Buffer()[i];
            if (v == 0)
                continue;
            LDouble fitted = 0;
            for (int k = 0; k < K; ++k)
                fitted += c[l * l + k] * static_cast<LDouble>(maps[static_cast<std::size_t>(i) * K + k]);
            v = v - fitted;
        }
    }
    return c;
}

// The degree-by-degree least-squares fit written out directly, with a fresh
// normalisation cache and a fresh evaluation of every harmonic per degree.
LwLmDoubleArray FreshFitByDegree(int L, const LwFloatMatrix& image, const std::string& projection,
                                 LwFloatMatrix& residual)
{
    Angles a = PixelAngles(image, projection);
    const int n = a.v.ElementCount();
    LwLmDoubleArray c, N, y;
    c.SetSizeZero(L);
    N.SetSizeZero(L);
    for (int l = 0; l < L; ++l) {
        LwLmDoubleArray cache;
        for (int i = 0; i < n; ++i) {
            const LDouble w = a.dOmega.Buffer()[i];
            if (w == 0)
                continue;
            CalcRealSphericalHarmonics(cache, y, l + 1, static_cast<double>(a.theta.Buffer()[i]),
                                       static_cast<double>(a.phi.Buffer()[i]));
            for (int m = -l; m <= l; ++m) {
                N[At(l, m)] += w * y[At(l, m)] * y[At(l, m)];
                c[At(l, m)] += w * a.v.Buffer()[i] * y[At(l, m)];
            }
        }
        for (int m = -l; m <= l; ++m)
            if (N[At(l, m)] != 0)
                c[At(l, m)] = c[At(l, m)] / N[At(l, m)];
        for (int i = 0; i < n; ++i) {
            if (a.dOmega.Buffer()[i] == 0)
                continue;
            CalcRealSphericalHarmonics(cache, y, l + 1, static_cast<double>(a.theta.Buffer()[i]),
                                       static_cast<double>(a.phi.Buffer()[i]));
            for (int m = -l; m <= l; ++m)
                a.v.Buffer()[i] = a.v.Buffer()[i] - c[At(l, m)] * y[At(l, m)];
        }
    }
    LwMatrixArithmetic().ConvertMatrix(residual, a.v);
    return c;
}

void ExpectSameCoefficients(const LwLmDoubleArray& a, const LwLmDoubleArray& b)
{
    ASSERT_EQ(a.GetL(), b.GetL());
    for (int p = 0; p < a.Size(); ++p)
        EXPECT_EQ(a[p], b[p]) << "position " << p;
}

void ExpectAllZero(const LwLmDoubleArray& c, int L)
{
    ASSERT_EQ(c.GetL(), L);
    for (int p = 0; p < c.Size(); ++p)
        EXPECT_EQ(c[p], 0) << "position " << p;
}

}  // namespace

// ------------------------------------------------------------ coefficient image

TEST(SphericalHarmonicsImage, CoefficientImageLayout)
{
    EXPECT_EQ(SphericalHarmonicsImage::Index(2, -2), 4);
    EXPECT_EQ(SphericalHarmonicsImage::Index(2, 2), 8);

    // 5 x 2: L = 2; every pixel distinct, so a pixel read in the wrong place shows.
    LwFloatMatrix image(5, 2);
    for (int i = 0; i < 10; ++i)
        image.Buffer()[i] = 10.0f + i;
    LwLmDoubleArray c;
    SphericalHarmonicsImage::ImageToCoefficients(c, image);
    ASSERT_EQ(c.GetL(), 2);
    EXPECT_EQ(c(0, 0), image(2, 0));
    EXPECT_EQ(c(1, -1), image(1, 1));
    EXPECT_EQ(c(1, 0), image(2, 1));
    EXPECT_EQ(c(1, 1), image(3, 1));

    LwFloatMatrix back;
    SphericalHarmonicsImage::CoefficientsToImage(back, c);
    ASSERT_EQ(back.ColSize, 5);
    ASSERT_EQ(back.RowSize, 2);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 5; ++col) {
            const bool data = std::abs(col - 2) <= row;
            EXPECT_EQ(back(col, row), data ? image(col, row) : 0.0f) << col << "," << row;
        }
}

TEST(SphericalHarmonicsImage, CoefficientsRoundTripRoundedToFloat)
{
    const LwLmDoubleArray c = RandomCoefficients(6, 1);
    LwFloatMatrix image;
    SphericalHarmonicsImage::CoefficientsToImage(image, c);
    EXPECT_EQ(image.ColSize, 13);
    EXPECT_EQ(image.RowSize, 6);
    LwLmDoubleArray back;
    SphericalHarmonicsImage::ImageToCoefficients(back, image);
    ASSERT_EQ(back.GetL(), 6);
    for (int p = 0; p < c.Size(); ++p)
        EXPECT_EQ(back[p], static_cast<LDouble>(static_cast<float>(c[p])));
}

TEST(SphericalHarmonicsImage, CoefficientImageRefusals)
{
    struct Case
    {
        const char* name;
        int cols, rows, colBegin, rowBegin;
        const char* error;
    };
    const Case cases[] = {
        {"4 x 2 is not 2 L + 1 wide", 4, 2, 0, 0, "This image is not Spherical Harmonics data"},
        {"2 x 1 is not 2 L + 1 wide", 2, 1, 0, 0, "This image is not Spherical Harmonics data"},
        {"shifted column begin", 5, 2, 1, 0, "Image begin is not (0,0)"},
        {"shifted row begin", 5, 2, 0, -1, "Image begin is not (0,0)"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LwFloatMatrix image = Constant(k.cols, k.rows, 1.0f);
        image.ColBegin = k.colBegin;
        image.RowBegin = k.rowBegin;
        LwLmDoubleArray c = RandomCoefficients(3, 2);
        const LwLmDoubleArray before = c;
        EXPECT_EQ(ErrorText([&] { SphericalHarmonicsImage::ImageToCoefficients(c, image); }), k.error);
        ExpectSameCoefficients(c, before);
    }
    // 1 x 0 is coefficient data for L = 0.
    LwFloatMatrix empty(1, 0);
    LwLmDoubleArray c = RandomCoefficients(3, 2);
    SphericalHarmonicsImage::ImageToCoefficients(c, empty);
    EXPECT_EQ(c.GetL(), 0);
}

// ------------------------------------------------------------ harmonic tables

// Boost's Y_l^m carries the (-1)^m phase: C(l, m) - i S(l, m) = sqrt(2) Y_l^m
// for m >= 1 and C(l, 0) = Y_l^0.
TEST(SphericalHarmonicsImage, HarmonicTablesAgreeWithComplexHarmonics)
{
    const int L = 9;
    const LDouble directions[][2] = {
        {0.3L, 0.0L}, {kPi / 2, 0.0L}, {1.1L, 2.5L}, {2.9L, -1.3L}, {0.0L, 0.7L}};
    for (const auto& d : directions) {
        SCOPED_TRACE("theta " + std::to_string(static_cast<double>(d[0])) + " phi " +
                     std::to_string(static_cast<double>(d[1])));
        LwLDoubleMatrix C, S;
        SphericalHarmonicsImage::CalcHarmonicTables(C, S, L, d[0], d[1]);
        ASSERT_EQ(C.ColSize, L);
        ASSERT_EQ(S.RowSize, L);
        const LDouble tolerance = 64 * kEpsilon;
        for (int l = 0; l < L; ++l) {
            for (int m = 0; m < L; ++m) {
                if (m > l) {
                    EXPECT_EQ(C(l, m), 0);
                    EXPECT_EQ(S(l, m), 0);
                    continue;
                }
                const std::complex<LDouble> y =
                    boost::math::spherical_harmonic<LDouble, LDouble>(l, m, d[0], d[1]);
                const LDouble root2 = (m == 0) ? 1 : std::sqrt(LDouble(2));
                EXPECT_PRED_FORMAT3(LDoubleNear, C(l, m), root2 * y.real(), tolerance) << l << "," << m;
                EXPECT_PRED_FORMAT3(LDoubleNear, S(l, m), -root2 * y.imag(), tolerance) << l << "," << m;
            }
        }
    }
    LwLDoubleMatrix C, S;
    EXPECT_EQ(ErrorText([&] { SphericalHarmonicsImage::CalcHarmonicTables(C, S, 0, 0.5L, 0.5L); }),
              "Illegal l value");
    EXPECT_EQ(ErrorText([&] { SphericalHarmonicsImage::CalcHarmonicTables(C, S, -1, 0.5L, 0.5L); }),
              "matrix creation Parameter Error");
}

// ------------------------------------------------------------ pixel angles

TEST(SphericalHarmonicsImage, PixelAnglesOfCylindricalImage)
{
    const int nx = 8, ny = 5;
    LwFloatMatrix image = Constant(nx, ny, 1.0f);
    image(3, 2) = 0.0f;
    const Angles a = PixelAngles(image, kCylindrical);
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            if (x == 3 && y == 2) {
                EXPECT_EQ(a.theta(x, y), 0);
                EXPECT_EQ(a.phi(x, y), 0);
                EXPECT_EQ(a.dOmega(x, y), 0);
                continue;
            }
            EXPECT_NEAR(static_cast<double>(a.theta(x, y)), y * M_PI / (ny - 1), 1e-12);
            // The azimuth of column x folded into (-pi, pi]; the north pole has none.
            const double phi =
                (y == 0) ? 0.0 : std::atan2(std::sin(x * 2 * M_PI / nx), std::cos(x * 2 * M_PI / nx));
            EXPECT_NEAR(static_cast<double>(a.phi(x, y)), phi, 1e-12);
            EXPECT_GT(a.dOmega(x, y), 0);
        }
}

TEST(SphericalHarmonicsImage, PixelAnglesOfAzimuthalImage)
{
    // 9 x 9: centre (4, 4), 4 pixels to 90 degrees.
    LwFloatMatrix image = Constant(9, 9, 2.0f);
    image(5, 5) = 0.0f;
    const Angles a = PixelAngles(image, kAzimuthal);
    struct Pixel
    {
        int x, y;
        double theta, phi;
        bool used;
    };
    const Pixel pixels[] = {
        {4, 4, 0.0, 0.0, true},  // centre: no azimuth
        {8, 4, M_PI / 2, 0.0, true},  // rim along +x
        {4, 8, M_PI / 2, M_PI / 2, true},  // rim along +y
        {2, 4, M_PI / 4, M_PI, true},  // half way along -x
        {0, 0, 0.0, 0.0, false},  // corner, outside the disc
        {5, 5, 0.0, 0.0, false},  // value 0
    };
    for (const Pixel& p : pixels) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_NEAR(static_cast<double>(a.theta(p.x, p.y)), p.theta, 1e-12);
        EXPECT_NEAR(static_cast<double>(a.phi(p.x, p.y)), p.phi, 1e-12);
        EXPECT_EQ(a.dOmega(p.x, p.y) > 0, p.used);
    }

    // An unknown projection is refused before anything changes.
    LwLDoubleMatrix theta(1, 1), phi(1, 1), dOmega(1, 1);
    theta(0, 0) = 7;
    EXPECT_EQ(
        ErrorText([&] { SphericalHarmonicsImage::CalcPixelAngles(theta, phi, dOmega, a.v, "Gnomonic"); }),
        "Mapping type is not supported");
    EXPECT_EQ(theta.ColSize, 1);
    EXPECT_EQ(theta(0, 0), 7);
    LwLDoubleMatrix shifted = a.v;
    shifted.RowBegin = 2;
    EXPECT_EQ(
        ErrorText([&] { SphericalHarmonicsImage::CalcPixelAngles(theta, phi, dOmega, shifted, kAzimuthal); }),
        "Image begin is not (0,0)");
}

// On the cylindrical grid with h = pi / (ny - 1) the interior rows sum
// sin(theta_j) h, which is h cot(h / 2) = 2 - h^2 / 6 + O(h^4), and the two
// polar caps add pi h^2 / 4 each: the total is 4 pi (1 + h^2 / 24 + O(h^4)).
// On the azimuthal disc every pixel within half a diagonal of the rim
// (90 degrees, where a pixel of n = 2c + 1 covers (pi / 2c)^2 sr) may be in
// or out, so the sum is 2 pi within pi c sqrt(2) (pi / 2c)^2.
TEST(SphericalHarmonicsImage, SolidAnglesCoverSphereAndHemisphere)
{
    for (const int degreesPerPixel : {1, 2}) {
        SCOPED_TRACE("resolution " + std::to_string(degreesPerPixel));
        const int ny = 180 / degreesPerPixel + 1;
        const int nx = 360 / degreesPerPixel;
        const double h = M_PI / (ny - 1);
        const Angles sphere = PixelAngles(Constant(nx, ny, 1.0f), kCylindrical);
        LDouble total = 0;
        for (int i = 0; i < sphere.dOmega.ElementCount(); ++i)
            total += sphere.dOmega.Buffer()[i];
        EXPECT_NEAR(static_cast<double>(total), 4 * M_PI, 4 * M_PI * h * h / 12);
        EXPECT_GT(static_cast<double>(total), 4 * M_PI);

        const int c = (ny - 1) / 2;
        const Angles disc = PixelAngles(Constant(ny, ny, 1.0f), kAzimuthal);
        LDouble hemisphere = 0;
        for (int i = 0; i < disc.dOmega.ElementCount(); ++i)
            hemisphere += disc.dOmega.Buffer()[i];
        const double rim = M_PI * c * std::sqrt(2.0) * std::pow(M_PI / (2 * c), 2);
        EXPECT_NEAR(static_cast<double>(hemisphere), 2 * M_PI, rim);
    }
}

// ------------------------------------------------------------ plain expansion

// A constant 1 on the upper hemisphere: c(0, 0) = 2 pi / sqrt(4 pi) = sqrt(pi),
// c(1, 0) = sqrt(3 / 4 pi) times the integral of cos(theta), pi; the
// harmonics with m != 0 vanish by the disc's symmetry. The tolerance is the
// rim term of the solid-angle test.
TEST(SphericalHarmonicsImage, ExpandConstantHemisphere)
{
    const int n = 91, c = 45;
    SphericalHarmonicsImage unit;
    LwLmDoubleArray coefficients;
    unit.Expand(coefficients, 3, Constant(n, n, 1.0f), kAzimuthal);
    ASSERT_EQ(coefficients.GetL(), 3);
    const double rim = M_PI * c * std::sqrt(2.0) * std::pow(M_PI / (2 * c), 2);
    EXPECT_NEAR(static_cast<double>(coefficients(0, 0)), std::sqrt(M_PI), rim / std::sqrt(4 * M_PI));
    EXPECT_NEAR(static_cast<double>(coefficients(1, 0)), std::sqrt(3 / (4 * M_PI)) * M_PI, rim);
    for (const auto& lm :
         {std::make_pair(1, 1), std::make_pair(1, -1), std::make_pair(2, 1), std::make_pair(2, -2)})
        EXPECT_NEAR(static_cast<double>(coefficients(lm.first, lm.second)), 0.0, 1e-12);
    EXPECT_EQ(unit.Progress, n - 1);
    EXPECT_EQ(unit.ProgressMax, n);
}

TEST(SphericalHarmonicsImage, ExpandStopAndRefusals)
{
    SphericalHarmonicsImage unit;
    const LwFloatMatrix image = RandomImage(21, 21, 3);
    const std::atomic<bool> stop{true};
    LwLmDoubleArray c = RandomCoefficients(2, 4);
    unit.Expand(c, 5, image, kAzimuthal, &stop);
    ExpectAllZero(c, 5);
    EXPECT_EQ(unit.Progress, 0);
    EXPECT_EQ(unit.ProgressMax, 21);

    struct Case
    {
        const char* name;
        int L;
        const char* projection;
        float value;
        const char* error;
    };
    const Case cases[] = {
        {"L above 500", 501, "AzimuthalEquidistant", 1.0f, "Please correct Size of spherical harmonics"},
        {"negative L", -1, "AzimuthalEquidistant", 1.0f, "Please correct Size of spherical harmonics"},
        {"gnomonic", 3, "Gnomonic", 1.0f, "Mapping type is not supported"},
        {"L = 0 with data", 0, "AzimuthalEquidistant", 1.0f, "Illegal l value"},
        {"L = 0 without data", 0, "AzimuthalEquidistant", 0.0f, "(no error)"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LwLmDoubleArray out;
        EXPECT_EQ(ErrorText([&] { unit.Expand(out, k.L, Constant(9, 9, k.value), k.projection); }), k.error);
    }
    LwFloatMatrix shifted = image;
    shifted.ColBegin = -3;
    LwLmDoubleArray out;
    EXPECT_EQ(ErrorText([&] { unit.Expand(out, 3, shifted, kAzimuthal); }), "Image begin is not (0,0)");
}

// ------------------------------------------------------------ synthesis

TEST(SphericalHarmonicsImage, SynthesisGridSizes)
{
    struct Case
    {
        LDouble resolution;
        const std::string& projection;
        int cols, rows;
    };
    const Case cases[] = {
        {1, kAzimuthal, 181, 181},  {1, kCylindrical, 360, 181},    {2, kAzimuthal, 91, 91},
        {2, kCylindrical, 180, 91}, {0.7L, kCylindrical, 514, 258},
    };
    LwLmDoubleArray c;
    c.SetSizeZero(1);
    SphericalHarmonicsImage unit;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.projection + " " + std::to_string(static_cast<double>(k.resolution)));
        LwFloatMatrix image;
        unit.Synthesize(image, c, k.resolution, k.projection);
        EXPECT_EQ(image.ColSize, k.cols);
        EXPECT_EQ(image.RowSize, k.rows);
        EXPECT_EQ(image.ColBegin, 0);
        EXPECT_EQ(image.RowBegin, 0);
    }
}

// c(0, 0) = sqrt(4 pi) is 1 everywhere on the sphere; c(1, 0) = 1 is
// sqrt(3 / 4 pi) cos(theta): sqrt(3 / 4 pi) at the centre, 0 at the rim.
TEST(SphericalHarmonicsImage, SynthesizeLowDegrees)
{
    SphericalHarmonicsImage unit;
    LwLmDoubleArray c;
    c.SetSizeZero(2);
    c(0, 0) = std::sqrt(4 * kPi);
    LwFloatMatrix image;
    unit.Synthesize(image, c, 2, kAzimuthal);
    const int n = image.ColSize, centre = (n - 1) / 2;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const double r = std::hypot(x - centre, y - centre);
            EXPECT_NEAR(image(x, y), r <= centre ? 1.0 : 0.0, 4 * FLT_EPSILON) << x << "," << y;
        }
    EXPECT_EQ(unit.Progress, n - 1);
    EXPECT_EQ(unit.ProgressMax, n);

    c(0, 0) = 0;
    c(1, 0) = 1;
    unit.Synthesize(image, c, 2, kAzimuthal);
    EXPECT_NEAR(image(centre, centre), std::sqrt(3 / (4 * M_PI)), 4 * FLT_EPSILON);
    EXPECT_NEAR(image(n - 1, centre), 0.0, 1e-7);
    EXPECT_NEAR(image(centre, 0), 0.0, 1e-7);
}

TEST(SphericalHarmonicsImage, SynthesizeRefusalsAndStop)
{
    SphericalHarmonicsImage unit;
    const LwLmDoubleArray c = RandomCoefficients(3, 5);
    struct Case
    {
        const char* name;
        LDouble resolution;
        std::string projection;
        const char* errorStart;
    };
    const Case cases[] = {
        {"zero", 0, kAzimuthal, "Illegal resolution: "},
        {"negative", -1, kCylindrical, "Illegal resolution: "},
        {"negative and large (gave one pixel)", -1000, kAzimuthal, "Illegal resolution: "},
        {"not a number", std::numeric_limits<LDouble>::quiet_NaN(), kCylindrical, "Illegal resolution: "},
        {"one pixel across", 1000, kAzimuthal, "Illegal resolution: "},
        {"one column", 300, kCylindrical, "Illegal resolution: "},
        {"grid overflowing 32 bits", 1e-4L, kCylindrical, "Illegal resolution: "},
        {"gnomonic", 1, "Gnomonic", "Mapping type is not supported"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        LwFloatMatrix image = Constant(3, 2, 5.0f);
        const std::string error = ErrorText([&] { unit.Synthesize(image, c, k.resolution, k.projection); });
        EXPECT_EQ(error.rfind(k.errorStart, 0), 0u) << error;
        EXPECT_EQ(image.ColSize, 3);
        EXPECT_EQ(image(0, 0), 5.0f);
    }
    LwLmDoubleArray empty;
    LwFloatMatrix image;
    EXPECT_EQ(ErrorText([&] { unit.Synthesize(image, empty, 2, kCylindrical); }), "Illegal l value");

    const std::atomic<bool> stop{true};
    unit.Synthesize(image, c, 2, kCylindrical, &stop);
    ASSERT_EQ(image.ColSize, 180);
    ASSERT_EQ(image.RowSize, 91);
    for (int i = 0; i < image.ElementCount(); ++i)
        ASSERT_EQ(image.Buffer()[i], 0.0f);
    EXPECT_EQ(unit.Progress, 0);
    EXPECT_EQ(unit.ProgressMax, 91);

    LwFloatMatrix notCoefficients = Constant(4, 2, 1.0f);
    EXPECT_EQ(
        ErrorText([&] { unit.SynthesizeFromCoefficientImage(image, notCoefficients, 2, kCylindrical); }),
        "This image is not Spherical Harmonics data");
}

// Synthesis on the full-sphere grid followed by the plain expansion. With
// f band-limited to L0 < nx / 2 the sum over the nx azimuths of a row is
// exact, which leaves the polar sum of G = g(theta) sin(theta) over the rows
// theta_j = j h, g being the azimuthal integral of f Y(l, m). By
// Euler-Maclaurin the interior rows give the integral minus
// (h^2 / 12)(g(0) + g(pi)), and the two polar caps (pi h^2 / 4 each) add
// (h^2 / 8)(g(0) + g(pi)); at the poles g = 2 pi f Y(l, 0) for m = 0 and 0
// otherwise. So
//   c'(l, m) = c(l, m) + delta(m, 0) (pi h^2 / 12)(f(N) Y(l, 0)(0) + f(S) Y(l, 0)(pi)) + R,
// with R the O(h^4) terms: the next Euler-Maclaurin term,
// (h^4 / 720)|G'''(pi) - G'''(0)| <= (h^4 / 360) K^3 max|g| by Bernstein's
// inequality (G is a trigonometric polynomial of degree K = 2 L0 - 1 in
// theta), and for the caps' curvature and the variation of f over them at
// most 2 (h^2 / 8)(h / 2)^2 K^2 max|g|; max|g| <= 2 pi max|f| sqrt(K / 4 pi).
// Halving h must divide the raw error by about 4 and the error left after
// the h^2 term by about 16.
TEST(SphericalHarmonicsImage, SynthesisThenExpansionRecoversCoefficients)
{
    const int L0 = 8;
    const int K = 2 * L0 - 1;
    const LwLmDoubleArray c = RandomCoefficients(L0, 6);
    LDouble northValue = 0, southValue = 0;
    for (int l = 0; l < L0; ++l) {
        const LDouble y0 = std::sqrt((2 * l + 1) / (4 * kPi));
        northValue += c(l, 0) * y0;
        southValue += c(l, 0) * y0 * ((l % 2 == 0) ? 1 : -1);
    }

    std::vector<double> raw, left;
    for (const int degreesPerPixel : {4, 2}) {
        SCOPED_TRACE("resolution " + std::to_string(degreesPerPixel));
        const double h = degreesPerPixel * M_PI / 180;
        SphericalHarmonicsImage unit;
        LwFloatMatrix image;
        unit.Synthesize(image, c, degreesPerPixel, kCylindrical);
        LwLmDoubleArray expanded;
        unit.Expand(expanded, L0, image, kCylindrical);

        float maxF = 0;
        for (int i = 0; i < image.ElementCount(); ++i)
            maxF = std::max(maxF, std::fabs(image.Buffer()[i]));
        const double maxG = 2 * M_PI * maxF * std::sqrt(K / (4 * M_PI));
        const double remainder = std::pow(h, 4) * (std::pow(K, 3) / 360.0 + K * K / 16.0) * maxG;
        // Float pixels: a relative 2^-24 of max|f| over a total weight of 4 pi.
        const double rounding = 4 * M_PI * FLT_EPSILON * maxF * std::sqrt(K / (4 * M_PI));
        double worstRaw = 0, worstLeft = 0;
        for (int l = 0; l < L0; ++l)
            for (int m = -l; m <= l; ++m) {
                LDouble predicted = c(l, m);
                if (m == 0) {
                    const LDouble y0 = std::sqrt((2 * l + 1) / (4 * kPi));
                    predicted +=
                        kPi * h * h / 12 * (northValue * y0 + southValue * y0 * ((l % 2 == 0) ? 1 : -1));
                }
                EXPECT_NEAR(static_cast<double>(expanded(l, m)), static_cast<double>(predicted),
                            remainder + rounding)
                    << l << "," << m;
                worstRaw = std::max(worstRaw, std::fabs(static_cast<double>(expanded(l, m) - c(l, m))));
                worstLeft = std::max(worstLeft, std::fabs(static_cast<double>(expanded(l, m) - predicted)));
            }
        raw.push_back(worstRaw);
        left.push_back(worstLeft);
    }
    EXPECT_GT(raw[0] / raw[1], 3.0);
    EXPECT_LT(raw[0] / raw[1], 5.0);
    EXPECT_GT(left[0] / left[1], 10.0) << left[0] << " " << left[1];
    EXPECT_LT(left[1], raw[1] / 50);
}

// ------------------------------------------------------------ degree-by-degree projection

TEST(SphericalHarmonicsImage, ExpandByDegreeMatchesFreshEvaluationAtAnyThreadCount)
{
    struct Case
    {
        const std::string& projection;
        int nx, ny, L;
    };
    // The third case reaches degrees where the harmonics near the poles fall
    // below the float range.
    const Case cases[] = {{kAzimuthal, 31, 31, 10}, {kCylindrical, 36, 19, 12}, {kCylindrical, 40, 31, 45}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.projection + " L " + std::to_string(k.L));
        const LwFloatMatrix image = RandomImage(k.nx, k.ny, 7);
        const LwLmDoubleArray fresh = FreshExpandByDegree(k.L, image, k.projection);
        for (const int threads : {1, 3, 4}) {
            SCOPED_TRACE("threads " + std::to_string(threads));
            SphericalHarmonicsImage unit;
            LwLmDoubleArray c;
            WithThreads(threads, [&] { unit.ExpandByDegree(c, k.L, image, k.projection); });
            ExpectSameCoefficients(c, fresh);
            EXPECT_EQ(unit.Progress, k.L - 1);
            EXPECT_EQ(unit.ProgressMax, k.L);
        }
    }
}

// With L = 1 the single coefficient is sqrt(4 pi) times the mean of the used
// pixels weighted by their solid angles, over a hemisphere as over the sphere.
TEST(SphericalHarmonicsImage, ExpandByDegreeFirstDegreeIsWeightedMean)
{
    for (const std::string& projection : {kAzimuthal, kCylindrical}) {
        SCOPED_TRACE(projection);
        const LwFloatMatrix image = RandomImage(25, 25, 8);
        const Angles a = PixelAngles(image, projection);
        LDouble weighted = 0, total = 0;
        for (int i = 0; i < a.v.ElementCount(); ++i) {
            weighted += a.dOmega.Buffer()[i] * a.v.Buffer()[i];
            total += a.dOmega.Buffer()[i];
        }
        SphericalHarmonicsImage unit;
        LwLmDoubleArray c;
        unit.ExpandByDegree(c, 1, image, projection);
        ASSERT_EQ(c.GetL(), 1);
        const LDouble expected = std::sqrt(4 * kPi) * weighted / total;
        // Y(0, 0) enters as a float.
        EXPECT_PRED_FORMAT3(LDoubleNear, c(0, 0), expected, expected * FLT_EPSILON);
    }
}

// No usable pixel (an all-zero image), or a stop before the work, leaves
// every coefficient 0 (the scale 4 pi / S would be 0 / 0).
TEST(SphericalHarmonicsImage, ExpandByDegreeWithoutDataOrStopped)
{
    SphericalHarmonicsImage unit;
    LwLmDoubleArray c;
    unit.ExpandByDegree(c, 4, Constant(19, 19, 0.0f), kAzimuthal);
    ExpectAllZero(c, 4);

    const std::atomic<bool> stop{true};
    unit.ExpandByDegree(c, 4, RandomImage(19, 19, 9), kAzimuthal, &stop);
    ExpectAllZero(c, 4);

    EXPECT_EQ(ErrorText([&] { unit.ExpandByDegree(c, 181, RandomImage(9, 9, 1), kAzimuthal); }),
              "Please correct Size of spherical harmonics");
    unit.ExpandByDegree(c, 0, RandomImage(9, 9, 1), kAzimuthal);
    EXPECT_EQ(c.GetL(), 0);
    LwFloatMatrix shifted = RandomImage(9, 9, 1);
    shifted.RowBegin = 1;
    EXPECT_EQ(ErrorText([&] { unit.ExpandByDegree(c, 2, shifted, kAzimuthal); }), "Image begin is not (0,0)");
}

// ------------------------------------------------------------ degree-by-degree fit

TEST(SphericalHarmonicsImage, FitByDegreeMatchesFreshEvaluation)
{
    struct Case
    {
        const std::string& projection;
        int nx, ny, L;
    };
    const Case cases[] = {{kAzimuthal, 27, 27, 9}, {kCylindrical, 30, 16, 8}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.projection);
        const LwFloatMatrix image = RandomImage(k.nx, k.ny, 10);
        LwFloatMatrix freshResidual, residual;
        const LwLmDoubleArray fresh = FreshFitByDegree(k.L, image, k.projection, freshResidual);
        SphericalHarmonicsImage unit;
        LwLmDoubleArray c;
        unit.FitByDegree(c, residual, k.L, image, k.projection);
        ExpectSameCoefficients(c, fresh);
        ASSERT_TRUE(IsSameSize(residual, freshResidual));
        for (int i = 0; i < residual.ElementCount(); ++i)
            ASSERT_EQ(residual.Buffer()[i], freshResidual.Buffer()[i]) << "pixel " << i;
    }
}

// On the full-sphere grid harmonics of different m are orthogonal in the
// pixel sums up to rounding (the azimuths are equally spaced), and so are
// degrees of the same m whose difference is odd (the rows are symmetric about
// the equator). An image built from Y(|m|, m) and Y(|m| + 1, m) alone is
// therefore fitted exactly degree by degree: every coefficient comes back and
// the residual vanishes, up to the float rounding of the image (a relative
// 2^-24 of its largest value, spread over the sqrt(4 pi) of a unit
// harmonic's weight). An error of the quadrature would be of order h^2, 1e-3.
TEST(SphericalHarmonicsImage, FitByDegreeFitsBandLimitedImageExactly)
{
    const int L0 = 7;
    LwLmDoubleArray c = RandomCoefficients(L0, 11);
    for (int l = 0; l < L0; ++l)
        for (int m = -l; m <= l; ++m)
            if (l > std::abs(m) + 1)
                c(l, m) = 0;
    SphericalHarmonicsImage unit;
    LwFloatMatrix image;
    unit.Synthesize(image, c, 2, kCylindrical);
    float largest = 0;
    for (int i = 0; i < image.ElementCount(); ++i)
        largest = std::max(largest, std::fabs(image.Buffer()[i]));

    LwLmDoubleArray fitted;
    LwFloatMatrix residual;
    unit.FitByDegree(fitted, residual, L0 + 2, image, kCylindrical);
    ASSERT_EQ(fitted.GetL(), L0 + 2);
    const double tolerance = 8 * FLT_EPSILON * largest * std::sqrt(4 * M_PI);
    for (int l = 0; l < L0 + 2; ++l)
        for (int m = -l; m <= l; ++m)
            EXPECT_NEAR(static_cast<double>(fitted(l, m)), l < L0 ? static_cast<double>(c(l, m)) : 0.0,
                        tolerance)
                << l << "," << m;
    ASSERT_TRUE(IsSameSize(residual, image));
    for (int i = 0; i < residual.ElementCount(); ++i)
        ASSERT_NEAR(residual.Buffer()[i], 0.0, 8 * FLT_EPSILON * largest) << "pixel " << i;
}

TEST(SphericalHarmonicsImage, FitByDegreeEdgeCases)
{
    SphericalHarmonicsImage unit;
    const LwFloatMatrix image = RandomImage(15, 15, 12);
    LwLmDoubleArray c;
    LwFloatMatrix residual;
    // L = 0: nothing fitted, the residual is the image.
    unit.FitByDegree(c, residual, 0, image, kAzimuthal);
    EXPECT_EQ(c.GetL(), 0);
    ASSERT_TRUE(IsSameSize(residual, image));
    for (int i = 0; i < image.ElementCount(); ++i)
        EXPECT_EQ(residual.Buffer()[i], image.Buffer()[i]);
    // A stop before the work: the same, with coefficients sized and 0.
    const std::atomic<bool> stop{true};
    unit.FitByDegree(c, residual, 5, image, kAzimuthal, &stop);
    ExpectAllZero(c, 5);
    for (int i = 0; i < image.ElementCount(); ++i)
        EXPECT_EQ(residual.Buffer()[i], image.Buffer()[i]);
    // 181 degrees pass the size check (the double build's Legendre tables
    // then overflow, the extended build's do not).
    EXPECT_NE(ErrorText([&] { unit.FitByDegree(c, residual, 181, Constant(4, 3, 1.0f), kCylindrical); }),
              "Please correct Size of spherical harmonics");
    EXPECT_EQ(ErrorText([&] { unit.FitByDegree(c, residual, 501, image, kAzimuthal); }),
              "Please correct Size of spherical harmonics");
}

TEST(SphericalHarmonicsImage, ExpandToCoefficientImage)
{
    const LwFloatMatrix image = RandomImage(21, 21, 13);
    for (const bool byDegree : {false, true}) {
        SCOPED_TRACE(byDegree ? "by degree" : "plain");
        SphericalHarmonicsImage unit;
        LwLmDoubleArray c;
        if (byDegree)
            unit.ExpandByDegree(c, 3, image, kAzimuthal);
        else
            unit.Expand(c, 3, image, kAzimuthal);
        LwFloatMatrix coefficientImage;
        unit.ExpandToCoefficientImage(coefficientImage, 3, image, kAzimuthal, byDegree);
        ASSERT_EQ(coefficientImage.ColSize, 7);
        ASSERT_EQ(coefficientImage.RowSize, 3);
        for (int l = 0; l < 3; ++l)
            for (int m = -l; m <= l; ++m)
                EXPECT_EQ(coefficientImage(3 + m, l), static_cast<float>(c(l, m)));

        // And back: the synthesis from the coefficient image is the synthesis
        // of its coefficients.
        LwFloatMatrix a, b;
        unit.SynthesizeFromCoefficientImage(a, coefficientImage, 10, kAzimuthal);
        LwLmDoubleArray rounded;
        SphericalHarmonicsImage::ImageToCoefficients(rounded, coefficientImage);
        unit.Synthesize(b, rounded, 10, kAzimuthal);
        ASSERT_TRUE(IsSameSize(a, b));
        for (int i = 0; i < a.ElementCount(); ++i)
            EXPECT_EQ(a.Buffer()[i], b.Buffer()[i]);
    }
}
