// The azimuthal average of an image around a centre and the image divided by
// it.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

namespace {

// Radius bin of the pixel at absolute (col, row): floor(r + 0.5) of the
// distance, every step in single precision as the bins are defined; -1 when
// the bin does not fit a 32-bit integer (or the distance overflows float).
inline std::int64_t RadiusBin(std::int64_t col, std::int64_t row, float cx, float cy)
{
    const float dx = static_cast<float>(col) - cx;
    const float dy = static_cast<float>(row) - cy;
    const float r = std::sqrt(dx * dx + dy * dy);
    const float bin = std::floor(r + 0.5f);
    // 2^31 is exactly representable; every float below it converts exactly.
    if (!(bin < 2147483648.0f))
        return -1;
    return static_cast<std::int64_t>(bin);
}

// Rebuilds `map` with the image's sizes and begins, every pixel's bin for the
// centre (cx, cy). The farthest pixel from any point is a corner, and every
// single-precision step above is monotonic in |dx| and |dy|, so testing the
// four corners before the map is touched proves that every bin fits.
void BuildRadiusMap(LwLongMatrix& map, const LwFloatMatrix& image, float cx, float cy)
{
    const std::int64_t c0 = image.ColBegin;
    const std::int64_t r0 = image.RowBegin;
    const std::int64_t c1 = c0 + image.ColSize - 1;
    const std::int64_t r1 = r0 + image.RowSize - 1;
    if (image.ColSize > 0 && image.RowSize > 0)
        for (const std::int64_t c : {c0, c1})
            for (const std::int64_t r : {r0, r1})
                if (RadiusBin(c, r, cx, cy) < 0)
                    throw LwError("AverageAlongAzimuthal: centre is too far from the image");

    map.Create(image.ColSize, image.RowSize);
    map.ColBegin = image.ColBegin;
    map.RowBegin = image.RowBegin;
    LwLong* bins = map.Buffer();
    const int cols = map.ColSize;
    ParallelFor(map.RowSize, [&](int j) {
        LwLong* row = bins + static_cast<std::int64_t>(j) * cols;
        for (int i = 0; i < cols; ++i)
            row[i] = static_cast<LwLong>(RadiusBin(c0 + i, r0 + j, cx, cy));
    });
}

}  // namespace

LwFloatMatrix LwMatrixOperator::AverageAlongAzimuthal(const LwFloatMatrix& image, float cx, float cy,
                                                      bool skipZero, LwLongMatrix& radiusMap)
{
    if (image.ColSize == 0 && image.RowSize == 0)
        return LwFloatMatrix();
    if (!std::isfinite(cx) || !std::isfinite(cy))
        throw LwError("AverageAlongAzimuthal: centre is not finite");

    if (radiusMap.ColSize != image.ColSize || radiusMap.RowSize != image.RowSize)
        BuildRadiusMap(radiusMap, image, cx, cy);

    // Bin count from the corners of the map's own index ranges (the checked
    // access fails for a map without columns or rows).
    const int mc0 = radiusMap.ColBegin;
    const int mr0 = radiusMap.RowBegin;
    const int mc1 = mc0 + radiusMap.ColSize - 1;
    const int mr1 = mr0 + radiusMap.RowSize - 1;
    LwLong largest = radiusMap(mc0, mr0);
    largest = std::max(largest, radiusMap(mc0, mr1));
    largest = std::max(largest, radiusMap(mc1, mr0));
    largest = std::max(largest, radiusMap(mc1, mr1));
    if (largest < 0)
        throw LwError("AverageAlongAzimuthal: radius map does not fit the image");
    const std::int64_t binCount = static_cast<std::int64_t>(largest) + 1;

    std::vector<double> sum;
    std::vector<LwLong> count;
    try {
        sum.assign(static_cast<std::size_t>(binCount), 0.0);
        count.assign(static_cast<std::size_t>(binCount), 0);
    } catch (const std::bad_alloc&) {
        throw LwError("Cannot Get Memory");
    }

    // One pass in storage order. The sums stay on one thread: their order of
    // addition is the storage order, so the means do not depend on the
    // thread count. A bin outside the table (a reused map that does not
    // belong to its corners) is refused before anything is added.
    const LwLong* bins = radiusMap.Buffer();
    const float* pixels = image.Buffer();
    const int n = image.ElementCount();
    for (int k = 0; k < n; ++k) {
        const LwLong b = bins[k];
        if (b < 0 || b >= binCount)
            throw LwError("AverageAlongAzimuthal: radius map does not fit the image");
        const float v = pixels[k];
        if (skipZero && v == 0.0f)
            continue;
        ++count[static_cast<std::size_t>(b)];
        sum[static_cast<std::size_t>(b)] += static_cast<double>(v);
    }
    for (std::size_t b = 0; b < sum.size(); ++b)
        if (count[b] != 0)
            sum[b] /= count[b];

    LwFloatMatrix result = MatrixNewLike(image);
    float* out = result.Buffer();
    const int cols = image.ColSize;
    ParallelFor(image.RowSize, [&](int j) {
        const std::int64_t first = static_cast<std::int64_t>(j) * cols;
        for (std::int64_t k = first; k < first + cols; ++k)
            out[k] = static_cast<float>(sum[static_cast<std::size_t>(bins[k])]);
    });
    return result.Release(false);
}

LwFloatMatrix LwMatrixOperator::DivideByAzimuthalAverage(const LwFloatMatrix& image, float cx, float cy,
                                                         bool skipZero, LwLongMatrix& radiusMap)
{
    const LwFloatMatrix average = AverageAlongAzimuthal(image, cx, cy, skipZero, radiusMap);
    return MatrixElementDivide(image, average);
}
