#pragma once
// Expansion of images on the sphere in real spherical harmonics, and images
// built back from the coefficients.
//
// Harmonics: Y(l, m) of CalcRealSphericalHarmonics (LwRealSphericalHarmonics.h),
// orthonormal over the unit sphere, cosine type for m > 0, sine type for
// m < 0, no (-1)^m phase.
//
// Coefficients: an LwLmDoubleArray of size L holding c(l, m) for 0 <= l < L,
// -l <= m <= l, at position l*l + l + m (Index).
//
// Coefficient image: a float image of (2L + 1) x L pixels, begins 0, pixel
// (L + m, l) holding c(l, m); every other pixel is 0. The shape alone marks
// coefficient data: ColSize == 2 RowSize + 1.
//
// Mapped images: pattern images in the projections "AzimuthalEquidistant"
// (a hemisphere in an n x n disc) or "EquidistantCylindrical" (the whole
// sphere, columns the azimuth 0..2 pi, rows the polar angle 0..pi) of
// LwSphericalMappingConvert. Pixel (x, y) is column x, row y, counted from 0:
// every operation refuses an image whose begins are not (0, 0) ("Image begin
// is not (0,0)"). A pixel whose value is exactly 0 carries no data and is
// left out of every expansion.
//
// Long operations (Expand, ExpandByDegree, FitByDegree, Synthesize) keep
// Progress and ProgressMax up to date and read an optional stop request,
// which another thread may set at any time; a set request is final: the
// operation ends at its next check, leaving the coefficients (or image rows)
// it has not reached at 0. Both sides are atomics, so a window may poll the
// progress and set the request while the calculation runs on a worker.
//
// Thread use: ExpandByDegree runs its per-pixel work on the OpenMP thread
// count (omp_get_max_threads()); its result does not depend on that count.
// The other operations run on the calling thread. One object serves one
// operation at a time.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"
#include "physics/LwLmArray.h"

#include <atomic>
#include <string>

class SphericalHarmonicsImage
{
public:
    // Step being worked on and number of steps of the running operation (an
    // image row or a degree, as each operation says). Written only by the
    // thread that runs the operation.
    std::atomic<LwLong> Progress{0};
    std::atomic<LwLong> ProgressMax{0};

    // Position of (l, m) in a coefficient array: l*l + l + m, unchecked.
    static int Index(int l, int m) { return l * l + l + m; }

    // Coefficient image to coefficient array; c is resized to L = RowSize.
    // Errors: "This image is not Spherical Harmonics data" (ColSize is not
    // 2 RowSize + 1; c unchanged), "Image begin is not (0,0)" (c unchanged),
    // "Cannot allocate memory".
    static void ImageToCoefficients(LwLmDoubleArray& c, const LwFloatMatrix& image);
    // Coefficient array to coefficient image ((2L + 1) x L, values narrowed
    // to float, every other pixel 0).
    static void CoefficientsToImage(LwFloatMatrix& image, const LwLmDoubleArray& c);

    // Cosine and sine tables at one direction (radians), both L x L,
    // element (col l, row m) for 0 <= m <= l < L:
    //   C(l, 0) = Y(l, 0), C(l, m) = (-1)^m Y(l, m), S(l, m) = (-1)^(m+1) Y(l, -m),
    // so that C(l, m) - i S(l, m) is sqrt(2) times the complex harmonic with
    // the (-1)^m phase for m >= 1. Every other element is 0.
    // Errors: L = 0 "Illegal l value", L < 0 "matrix creation Parameter Error".
    static void CalcHarmonicTables(LwLDoubleMatrix& C, LwLDoubleMatrix& S, int L, LDouble theta, LDouble phi);

    // Polar angle Theta (0..pi), azimuth Phi (-pi..pi) and solid angle dOmega
    // (steradian) of every usable pixel of a mapped image: the three maps get
    // the image's shape; a pixel whose value is 0 or that lies outside the
    // projected area keeps 0 in all three. Errors: "Mapping type is not
    // supported" (before anything is changed), "Image begin is not (0,0)".
    static void CalcPixelAngles(LwLDoubleMatrix& Theta, LwLDoubleMatrix& Phi, LwLDoubleMatrix& dOmega,
                                const LwLDoubleMatrix& image, const std::string& projection);

    // Projection of a mapped image on the harmonics by the pixel quadrature:
    // c(l, m) = sum over usable pixels of value * dOmega * Y(l, m), l < L,
    // not divided by anything (for an image covering the sphere, the
    // expansion coefficients). 0 <= L <= 500, else "Please correct Size of
    // spherical harmonics". Progress counts image rows; the stop request is
    // read before each row. L = 0 with a usable pixel: "Illegal l value".
    void Expand(LwLmDoubleArray& c, int L, const LwFloatMatrix& image, const std::string& projection,
                const std::atomic<bool>* stop = nullptr);

    // Degree-by-degree projection: for l = 0 .. L-1 the coefficients of
    // degree l are the sums of dOmega * residual * Y(l, m) over the pixels
    // used, scaled by 4 pi / (their total solid angle S) as if they covered
    // the sphere; the degree's fitted part is then subtracted from the
    // residual. S = 0 (no pixel used) leaves the degree at 0. The harmonic
    // values enter as floats, those below the smallest normal float
    // (1.2e-38) as 0. 0 <= L <= 180. Progress counts degrees.
    // The cost is O(pixels x L^2): each distinct polar angle keeps its
    // Legendre recurrence from one degree to the next and each distinct
    // azimuth its cosines and sines, with values bit-identical to
    // CalcRealSphericalHarmonics evaluated afresh at every degree.
    void ExpandByDegree(LwLmDoubleArray& c, int L, const LwFloatMatrix& image, const std::string& projection,
                        const std::atomic<bool>* stop = nullptr);

    // Degree-by-degree least-squares fit: the coefficients of degree l are
    // sum(dOmega * residual * Y(l, m)) / sum(dOmega * Y(l, m)^2) over the
    // pixels used (0 where the norm is 0), then subtracted from the residual.
    // residual receives the final residual image (the image itself for
    // L = 0). 0 <= L <= 500. Runs on the calling thread; does not write
    // Progress. The stop request is read before each row of a degree's sums;
    // a degree stopped half way keeps the fit of the rows it has summed.
    void FitByDegree(LwLmDoubleArray& c, LwFloatMatrix& residual, int L, const LwFloatMatrix& image,
                     const std::string& projection, const std::atomic<bool>* stop = nullptr);

    // ExpandByDegree (byDegree set) or Expand, returned as a coefficient image.
    void ExpandToCoefficientImage(LwFloatMatrix& coefficientImage, int L, const LwFloatMatrix& image,
                                  const std::string& projection, bool byDegree,
                                  const std::atomic<bool>* stop = nullptr);

    // Image of the series sum of c(l, m) Y(l, m) at every pixel of a mapped
    // image of the given resolution (degrees per pixel, begins 0):
    //   "AzimuthalEquidistant":   n x n, n = floor(180 / resolution + 1.5);
    //   "EquidistantCylindrical": floor(360 / resolution + 0.5) x
    //                             floor(180 / resolution + 1.5).
    // Pixels outside the projected area are 0. Progress counts rows; the stop
    // request is read before the first row and after each row.
    // Errors: "Mapping type is not supported" (image unchanged); a resolution
    // that is not positive, gives fewer than 2 pixels across or a grid of 2^31
    // pixels or more: "Illegal resolution: ..." (image unchanged); an empty c:
    // "Illegal l value" (image unchanged).
    void Synthesize(LwFloatMatrix& image, const LwLmDoubleArray& c, LDouble resolution,
                    const std::string& projection, const std::atomic<bool>* stop = nullptr);
    // The same from a coefficient image (ImageToCoefficients' errors first).
    void SynthesizeFromCoefficientImage(LwFloatMatrix& image, const LwFloatMatrix& coefficientImage,
                                        LDouble resolution, const std::string& projection,
                                        const std::atomic<bool>* stop = nullptr);
};
