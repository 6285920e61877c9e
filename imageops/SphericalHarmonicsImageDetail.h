#pragma once
// Helpers shared by the source files of SphericalHarmonicsImage; not part of
// the library's interface.

#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "physics/LwLmArray.h"
#include "pattern/LwSphericalMappingConvert.h"

#include <atomic>
#include <memory>
#include <string>

namespace SphericalHarmonicsImageDetail {

inline bool StopRequested(const std::atomic<bool>* stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// Pixels are addressed from (0, 0): an image with other begins would be read
// shifted (or run out of range), so it is refused.
template <class Matrix>
void CheckBeginsZero(const Matrix& image)
{
    if (image.ColBegin != 0 || image.RowBegin != 0)
        throw LwError("Image begin is not (0,0)");
}

// 0 <= L <= maxL, else "Please correct Size of spherical harmonics".
inline void CheckDegreeCount(int L, int maxL)
{
    if (L < 0 || L > maxL)
        throw LwError("Please correct Size of spherical harmonics");
}

// The working copy of a mapped image (long double) and its angle maps.
struct MappedImage
{
    LwLDoubleMatrix v, theta, phi, dOmega;
};

// The common start of the expansions: L checked against 0..maxL, the image's
// begins checked, its working copy and angle maps made (the projection name
// checked), and only then c resized to L and cleared.
MappedImage PrepareExpansion(LwLmDoubleArray& c, int L, int maxL, const LwFloatMatrix& image,
                             const std::string& projection);

// The convert of "AzimuthalEquidistant" or "EquidistantCylindrical" (exact
// names); any other name: "Mapping type is not supported".
std::unique_ptr<LwSphericalMappingConvert> MakeMappingConvert(const std::string& projection);

}  // namespace SphericalHarmonicsImageDetail
