// Neighbourhood filters: the 3 x 3 Laplacian, row- and column-mean images,
// repeated neighbour averaging and the 3 x 3 or 5 x 5 median.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

inline int Clamp(int v, int last)
{
    return v < 0 ? 0 : (v > last ? last : v);
}

// A key whose unsigned order is a total order of the floats: -inf < ... < -0
// < +0 < ... < +inf < NaN (every NaN alike). The median of a window is then
// the same whatever the sorting algorithm, NaN and signed zeros included.
inline std::uint32_t OrderKey(float x)
{
    if (std::isnan(x))
        return 0xffffffffu;
    std::uint32_t u;
    std::memcpy(&u, &x, sizeof u);
    return (u & 0x80000000u) != 0 ? ~u : (u | 0x80000000u);
}

inline float FromOrderKey(std::uint32_t key)
{
    if (key == 0xffffffffu)
        return std::numeric_limits<float>::quiet_NaN();
    const std::uint32_t u = (key & 0x80000000u) != 0 ? (key & 0x7fffffffu) : ~key;
    float x;
    std::memcpy(&x, &u, sizeof x);
    return x;
}

// Every pixel of each line (a row: along = columns; a column: along = rows)
// becomes the line's mean; with skipZero zeros are left out and stay 0.
LwFloatMatrix LineMeanImage(const LwFloatMatrix& image, bool skipZero, bool rows)
{
    LwFloatMatrix result = ElementCopy(image);
    const std::int64_t cols = image.ColSize;
    const int lines = rows ? image.RowSize : image.ColSize;
    const int along = rows ? image.ColSize : image.RowSize;
    const std::int64_t step = rows ? 1 : cols;
    for (int line = 0; line < lines; ++line) {
        const std::int64_t first = rows ? line * cols : line;
        const float* in = image.Buffer() + first;
        float* out = result.Buffer() + first;
        LDouble sum = 0;
        std::int64_t count = 0;
        for (int k = 0; k < along; ++k) {
            const float v = in[k * step];
            if (skipZero && v == 0.0f)
                continue;
            sum += v;
            ++count;
        }
        const float mean = count == 0 ? 0.0f : static_cast<float>(sum / static_cast<LDouble>(count));
        for (int k = 0; k < along; ++k)
            if (!(skipZero && in[k * step] == 0.0f))
                out[k * step] = mean;
    }
    return result.Release(false);
}

}  // namespace

LwFloatMatrix LwMatrixOperator::Laplacian(const LwFloatMatrix& image)
{
    LwFloatMatrix result = MatrixNewLike(image);
    const int cols = image.ColSize;
    const int lastCol = cols - 1;
    const int lastRow = image.RowSize - 1;
    const float* in = image.Buffer();
    float* out = result.Buffer();
    ParallelFor(image.RowSize, [&](int j) {
        for (int i = 0; i < cols; ++i) {
            LDouble sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                const float* line = in + static_cast<std::int64_t>(Clamp(j + dy, lastRow)) * cols;
                for (int dx = -1; dx <= 1; ++dx) {
                    const float weight = (dx == 0 && dy == 0) ? 8.0f : -1.0f;
                    sum += weight * line[Clamp(i + dx, lastCol)];  // product in float
                }
            }
            out[static_cast<std::int64_t>(j) * cols + i] = static_cast<float>(sum);
        }
    });
    return result.Release(true);
}

LwFloatMatrix LwMatrixOperator::RowMeanImage(const LwFloatMatrix& image, bool skipZero)
{
    return LineMeanImage(image, skipZero, true);
}

LwFloatMatrix LwMatrixOperator::ColumnMeanImage(const LwFloatMatrix& image, bool skipZero)
{
    return LineMeanImage(image, skipZero, false);
}

LwFloatMatrix LwMatrixOperator::SmoothNeighbours(LwFloatMatrix& image, int passes, bool skipZero)
{
    LwFloatMatrix result = ElementCopy(image);
    const int cols = image.ColSize;
    const int rows = image.RowSize;
    for (int pass = 0; pass < passes; ++pass) {
        const float* in = image.Buffer();
        float* out = result.Buffer();
        ParallelFor(rows, [&](int j) {
            for (int i = 0; i < cols; ++i) {
                const float v = in[static_cast<std::int64_t>(j) * cols + i];
                float& target = out[static_cast<std::int64_t>(j) * cols + i];
                if (skipZero && v == 0.0f) {
                    target = 0.0f;
                    continue;
                }
                float sum = v;
                int count = 1;
                for (int dy = -1; dy <= 1; ++dy) {
                    const int y = j + dy;
                    if (y < 0 || y >= rows)
                        continue;
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int x = i + dx;
                        if ((dx == 0 && dy == 0) || x < 0 || x >= cols)
                            continue;
                        const float w = in[static_cast<std::int64_t>(y) * cols + x];
                        if (skipZero && w == 0.0f)
                            continue;
                        sum += w;
                        ++count;
                    }
                }
                target = sum / static_cast<float>(count);
            }
        });
        // The next pass reads this one's values; the caller's image ends
        // holding the last pass.
        std::copy(out, out + result.ElementCount(), image.Buffer());
    }
    return result.Release(false);
}

LwFloatMatrix LwMatrixOperator::MedianFilter(const LwFloatMatrix& image, bool skipZero, int pix)
{
    if (pix != 3 && pix != 5)
        throw LwError("Please set pix=3 or 5");
    const int half = pix / 2;
    const int samples = pix * pix;
    LwFloatMatrix result = MatrixNewLike(image);
    result.SetZero();
    const int cols = image.ColSize;
    const int lastCol = cols - 1;
    const int lastRow = image.RowSize - 1;
    const float* in = image.Buffer();
    float* out = result.Buffer();
    ParallelFor(image.RowSize, [&](int j) {
        std::uint32_t keys[25];
        for (int i = 0; i < cols; ++i) {
            const float v = in[static_cast<std::int64_t>(j) * cols + i];
            if (skipZero && v == 0.0f)
                continue;
            int n = 0;
            for (int dy = -half; dy <= half; ++dy) {
                const float* line = in + static_cast<std::int64_t>(Clamp(j + dy, lastRow)) * cols;
                for (int dx = -half; dx <= half; ++dx) {
                    const float s = line[Clamp(i + dx, lastCol)];
                    keys[n++] = OrderKey(s == 0.0f ? v : s);
                }
            }
            std::nth_element(keys, keys + samples / 2, keys + samples);
            out[static_cast<std::int64_t>(j) * cols + i] = FromOrderKey(keys[samples / 2]);
        }
    });
    return result.Release(true);
}
