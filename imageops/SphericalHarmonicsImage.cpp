// Coefficients and their image form, harmonic tables, pixel angles, the
// plain expansion and the synthesis of SphericalHarmonicsImage. The
// degree-by-degree fits are in SphericalHarmonicsImageFit.cpp.

#include "imageops/SphericalHarmonicsImage.h"

#include "core/LwMatrixArithmetic.h"
#include "core/TextUtilities.h"
#include "physics/LwSphericalHarmonics.h"
#include "pattern/LwProjection.h"
#include "imageops/LwRealSphericalHarmonics.h"
#include "imageops/SphericalHarmonicsImageDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

using namespace SphericalHarmonicsImageDetail;

namespace {

const LDouble kSqrt2 = static_cast<LDouble>(1.41421356237309504880168872420969808L);

// Size of the image that Synthesize builds. The counts are formed in LDouble
// (floor after adding the constant); a resolution that is not a positive
// number, that gives fewer than 2 pixels across (no angular scale: the
// converts map no pixel) or a grid of 2^31 pixels or more is refused.
void SynthesisGridSize(LDouble resolution, bool azimuthal, int& cols, int& rows)
{
    const auto refuse = [&](const char* reason) {
        throw LwError("Illegal resolution: " + DoubleToString(static_cast<double>(resolution)) + reason);
    };
    if (!(resolution > 0) || !std::isfinite(resolution))
        refuse(" (a positive number of degrees is needed)");
    const LDouble r = std::floor(LDouble(180) / resolution + LDouble(1.5));
    const LDouble c = azimuthal ? r : std::floor(LDouble(360) / resolution + LDouble(0.5));
    if (r < 2 || c < 2)
        refuse(" (the image would have fewer than 2 pixels across)");
    if (!(r * c <= static_cast<LDouble>(std::numeric_limits<std::int32_t>::max())))
        refuse(" (the image would be too large)");
    rows = static_cast<int>(r);
    cols = static_cast<int>(c);
}

}  // namespace

std::unique_ptr<LwSphericalMappingConvert>
SphericalHarmonicsImageDetail::MakeMappingConvert(const std::string& projection)
{
    // Only the projections sized by a resolution have an image form here.
    const std::optional<LwProjection> kind = LwProjection::FromName(projection);
    if (!kind || !kind->IsSizedByResolution())
        throw LwError("Mapping type is not supported");
    return kind->MakeConvert();
}

SphericalHarmonicsImageDetail::MappedImage
SphericalHarmonicsImageDetail::PrepareExpansion(LwLmDoubleArray& c, int L, int maxL,
                                                const LwFloatMatrix& image, const std::string& projection)
{
    CheckDegreeCount(L, maxL);
    CheckBeginsZero(image);
    MappedImage mapped;
    LwMatrixArithmetic().ConvertMatrix(mapped.v, image);
    SphericalHarmonicsImage::CalcPixelAngles(mapped.theta, mapped.phi, mapped.dOmega, mapped.v, projection);
    c.SetSizeZero(L);
    return mapped;
}

// ---------------------------------------------------------------- coefficient image

void SphericalHarmonicsImage::ImageToCoefficients(LwLmDoubleArray& c, const LwFloatMatrix& image)
{
    if (image.ColSize != 2 * image.RowSize + 1)
        throw LwError("This image is not Spherical Harmonics data");
    CheckBeginsZero(image);
    const int L = image.RowSize;
    c.SetSizeZero(L);
    for (int l = 0; l < L; ++l)
        for (int m = -l; m <= l; ++m)
            c[Index(l, m)] = static_cast<LDouble>(image(L + m, l));
}

void SphericalHarmonicsImage::CoefficientsToImage(LwFloatMatrix& image, const LwLmDoubleArray& c)
{
    const int L = c.GetL();
    image.Create(2 * L + 1, L);
    image.SetZero();
    for (int l = 0; l < L; ++l)
        for (int m = -l; m <= l; ++m)
            image(L + m, l) = static_cast<float>(c[Index(l, m)]);
}

void SphericalHarmonicsImage::CalcHarmonicTables(LwLDoubleMatrix& C, LwLDoubleMatrix& S, int L, LDouble theta,
                                                 LDouble phi)
{
    C.Create(L, L);
    S.Create(L, L);
    // Pn(l, m) = N(l, m) P(l, m); for m > 0 N carries the factor (-1)^m.
    LwLmDoubleArray norm, Pn;
    CalcNormalizedLegendre(norm, Pn, L, theta);
    C.SetZero();
    S.SetZero();
    for (int l = 0; l < L; ++l)
        C(l, 0) = Pn[Index(l, 0)] * kRealHarmonicsInvSqrt2Pi;
    for (int m = 1; m < L; ++m) {
        const LDouble a = static_cast<LDouble>(m) * phi;
        const LDouble cm = std::cos(a);
        const LDouble sm = std::sin(a);
        for (int l = m; l < L; ++l) {
            C(l, m) = Pn[Index(l, m)] * kSqrt2 * kRealHarmonicsInvSqrt2Pi * cm;
            S(l, m) = Pn[Index(l, m)] * (-kSqrt2) * kRealHarmonicsInvSqrt2Pi * sm;
        }
    }
}

// ---------------------------------------------------------------- pixel angles

void SphericalHarmonicsImage::CalcPixelAngles(LwLDoubleMatrix& Theta, LwLDoubleMatrix& Phi,
                                              LwLDoubleMatrix& dOmega, const LwLDoubleMatrix& image,
                                              const std::string& projection)
{
    const std::unique_ptr<LwSphericalMappingConvert> convert = MakeMappingConvert(projection);
    CheckBeginsZero(image);
    Theta.CreateLike(image);
    Phi.CreateLike(image);
    dOmega.CreateLike(image);
    Theta.SetZero();
    Phi.SetZero();
    dOmega.SetZero();

    const int nx = image.ColSize;
    const int ny = image.RowSize;
    const LDouble* value = image.Buffer();
    LDouble* theta = Theta.Buffer();
    LDouble* phi = Phi.Buffer();
    LDouble* w = dOmega.Buffer();
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) {
            const std::size_t i = static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * nx;
            if (value[i] == 0)
                continue;
            double X, Y, Z, solidAngle;
            if (!convert->PixelToDirection(X, Y, Z, solidAngle, x, y, nx, ny))
                continue;
            // acos through atan2 keeps full accuracy near the poles; the
            // clamp guards the square root against a Z that rounds past 1.
            const LDouble z = Z;
            theta[i] = std::atan2(std::sqrt(std::max(LDouble(0), 1 - z * z)), z);
            phi[i] = (X == 0 && Y == 0) ? LDouble(0)
                                        : std::atan2(static_cast<LDouble>(Y), static_cast<LDouble>(X));
            w[i] = solidAngle;
        }
    }
}

// ---------------------------------------------------------------- plain expansion

void SphericalHarmonicsImage::Expand(LwLmDoubleArray& c, int L, const LwFloatMatrix& image,
                                     const std::string& projection, const std::atomic<bool>* stop)
{
    const MappedImage mapped = PrepareExpansion(c, L, 500, image, projection);
    const LwLDoubleMatrix& v = mapped.v;
    const LwLDoubleMatrix& theta = mapped.theta;
    const LwLDoubleMatrix& phi = mapped.phi;
    const LwLDoubleMatrix& dOmega = mapped.dOmega;

    const int nx = v.ColSize;
    const int ny = v.RowSize;
    if (ny == 0)
        return;
    Progress = 0;
    ProgressMax = ny;
    // One normalisation cache for every pixel: it is built at the first
    // pixel and only read afterwards.
    LwLmDoubleArray norm, Y;
    LDouble* sums = c.Data();
    const LwLong count = L * L;
    for (int y = 0; y < ny; ++y) {
        if (StopRequested(stop))
            return;
        for (int x = 0; x < nx; ++x) {
            const std::size_t i = static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * nx;
            const LDouble w = dOmega.Buffer()[i];
            const LDouble value = v.Buffer()[i];
            if (w == 0 || value == 0)
                continue;
            // The angles enter through double precision.
            CalcRealSphericalHarmonics(norm, Y, L, static_cast<double>(theta.Buffer()[i]),
                                       static_cast<double>(phi.Buffer()[i]));
            const LDouble f = value * w;
            const LDouble* harmonics = Y.Data();
            for (LwLong p = 0; p < count; ++p)
                sums[p] += f * harmonics[p];
        }
        if (y + 1 < ny)
            Progress = y + 1;
    }
}

// ---------------------------------------------------------------- synthesis

void SphericalHarmonicsImage::Synthesize(LwFloatMatrix& image, const LwLmDoubleArray& c, LDouble resolution,
                                         const std::string& projection, const std::atomic<bool>* stop)
{
    const std::unique_ptr<LwSphericalMappingConvert> convert = MakeMappingConvert(projection);
    int nx = 0, ny = 0;
    SynthesisGridSize(resolution, LwProjection::FromName(projection) == LwProjection::AzimuthalEquidistant,
                      nx, ny);
    const int L = c.GetL();
    if (L == 0)
        throw LwError("Illegal l value");

    // Built aside and handed over at the end, so that a failure leaves the
    // caller's image as it was.
    LwFloatMatrix out(nx, ny);
    out.SetZero();
    Progress = 0;
    ProgressMax = ny;
    if (!StopRequested(stop)) {
        LwLmDoubleArray norm, Y;
        const LDouble* coefficients = c.Data();
        const LwLong count = L * L;
        for (int y = 0; y < ny; ++y) {
            for (int x = 0; x < nx; ++x) {
                double X, Yd, Z, solidAngle;
                if (!convert->PixelToDirection(X, Yd, Z, solidAngle, x, y, nx, ny))
                    continue;
                const LDouble theta = std::acos(std::clamp(static_cast<LDouble>(Z), LDouble(-1), LDouble(1)));
                const LDouble phi = (X == 0 && Yd == 0)
                                        ? LDouble(0)
                                        : std::atan2(static_cast<LDouble>(Yd), static_cast<LDouble>(X));
                CalcRealSphericalHarmonics(norm, Y, L, theta, phi);
                const LDouble* harmonics = Y.Data();
                LDouble sum = 0;
                for (LwLong p = 0; p < count; ++p)
                    sum += coefficients[p] * harmonics[p];
                out(x, y) = static_cast<float>(sum);
            }
            if (y + 1 < ny) {
                Progress = y + 1;
                if (StopRequested(stop))
                    break;
            }
        }
    }
    image = out.Release(true);
}

void SphericalHarmonicsImage::SynthesizeFromCoefficientImage(LwFloatMatrix& image,
                                                             const LwFloatMatrix& coefficientImage,
                                                             LDouble resolution,
                                                             const std::string& projection,
                                                             const std::atomic<bool>* stop)
{
    LwLmDoubleArray c;
    ImageToCoefficients(c, coefficientImage);
    Synthesize(image, c, resolution, projection, stop);
}
