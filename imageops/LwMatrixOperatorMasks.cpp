// Non-zero masks, their growing and shrinking, edge weights that fall to 0 at
// the border of an image's non-zero area, and weighted averages of image
// lists.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <cstdint>

namespace {

// 0 where m is zero, 1 elsewhere (NaN included), in place.
void ToNonZeroMask(LwFloatMatrix& m)
{
    float* p = m.Buffer();
    for (int k = 0; k < m.ElementCount(); ++k)
        p[k] = p[k] == 0.0f ? 0.0f : 1.0f;
}

// NonZeroMask without the copy rule's hand-over: `image` stays intact even
// when it is flagged, as the callers below go on using it.
LwFloatMatrix NonZeroMaskOf(const LwFloatMatrix& image)
{
    if (image.ElementCount() == 0)
        return LwFloatMatrix();
    LwFloatMatrix mask = ElementCopy(image);
    ToNonZeroMask(mask);
    return mask.Release(false);
}

// The smoothed mask thresholded: 1 where the smoothed value passes `above`.
template <class Above>
LwFloatMatrix ThresholdSmoothed(LwMatrixOperator& op, const LwFloatMatrix& mask, int passes, Above above)
{
    LwFloatMatrix smoothed = ElementCopy(mask);
    op.SmoothNeighbours(smoothed, passes, false);
    const float t = static_cast<float>(0.1 / passes);
    float* p = smoothed.Buffer();
    for (int k = 0; k < smoothed.ElementCount(); ++k)
        p[k] = above(p[k], t) ? 1.0f : 0.0f;
    return smoothed.Release(false);
}

// The position of (col, row) with both clamped to m's ranges, counted from 0.
inline std::int64_t ClampedPosition(const LwFloatMatrix& m, int col, int row)
{
    col = col < 0 ? 0 : (col >= m.ColSize ? m.ColSize - 1 : col);
    row = row < 0 ? 0 : (row >= m.RowSize ? m.RowSize - 1 : row);
    return col + static_cast<std::int64_t>(row) * m.ColSize;
}

}  // namespace

LwFloatMatrix LwMatrixOperator::NonZeroMask(const LwFloatMatrix& image)
{
    if (image.ElementCount() == 0)
        return LwFloatMatrix();
    LwFloatMatrix mask(image);  // takes over a flagged image's buffer
    ToNonZeroMask(mask);
    return mask.Release(false);
}

LwFloatMatrix LwMatrixOperator::MaskExpand(const LwFloatMatrix& mask, int passes)
{
    // p > t is false for NaN.
    return ThresholdSmoothed(*this, mask, passes, [](float p, float t) { return p > t; });
}

LwFloatMatrix LwMatrixOperator::MaskShrink(const LwFloatMatrix& mask, int passes)
{
    if (passes <= 0)
        return ElementCopy(mask);
    return ThresholdSmoothed(*this, mask, passes, [](float p, float t) {
        return static_cast<double>(p) > 1.0 - static_cast<double>(t);
    });
}

LwFloatMatrix LwMatrixOperator::MaskMatrixSmoothZeroEdge(const LwFloatMatrix& image, int width, int method)
{
    if (method != 0 && method != 1)
        throw LwError("LwMatrixOperator::MaskMatrixSmoothZeroEdge():Undefined method.");
    const LwFloatMatrix area = NonZeroMaskOf(image);
    const int cols = area.ColSize;
    const int rows = area.RowSize;

    if (method == 0) {
        const LwFloatMatrix core = MaskShrink(area, width);
        LwFloatMatrix weight = MaskShrink(area, width / 3);
        const float* inArea = area.Buffer();
        const float* inCore = core.Buffer();
        for (int round = 0; round < width / 4; ++round) {
            const LwFloatMatrix previous = ElementCopy(weight);
            const float* s = previous.Buffer();
            float* w = weight.Buffer();
            ParallelFor(rows, [&](int j) {
                for (int i = 0; i < cols; ++i) {
                    const std::int64_t k = i + static_cast<std::int64_t>(j) * cols;
                    if (inArea[k] == 0.0f || inCore[k] == 1.0f)
                        continue;
                    double sum = 0;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            sum += s[ClampedPosition(previous, i + dx, j + dy)];
                    w[k] = static_cast<float>(sum / 9.0);
                }
            });
        }
        return weight.Release(false);
    }

    // Linear ramp: each sweep lowers by one step every pixel that is already
    // on the ramp or touches a pixel below 1 or the border.
    LwFloatMatrix ramp = ElementCopy(area);
    if (width <= 0)
        return ramp.Release(false);
    const float step = 1.0f / static_cast<float>(width + 1);
    LwFloatMatrix next = ElementCopy(ramp);
    for (int sweep = 0; sweep < width; ++sweep) {
        const float* a = ramp.Buffer();
        float* b = next.Buffer();
        ParallelFor(rows, [&](int j) {
            for (int i = 0; i < cols; ++i) {
                const std::int64_t k = i + static_cast<std::int64_t>(j) * cols;
                const float v = a[k];
                if (v == 0.0f)
                    continue;
                bool lower = v != 1.0f;
                for (int dy = -1; dy <= 1 && !lower; ++dy)
                    for (int dx = -1; dx <= 1 && !lower; ++dx) {
                        const int x = i + dx;
                        const int y = j + dy;
                        lower = x < 0 || x >= cols || y < 0 || y >= rows ||
                                a[x + static_cast<std::int64_t>(y) * cols] != 1.0f;
                    }
                if (lower)
                    b[k] = v - step;
            }
        });
        std::copy(b, b + next.ElementCount(), ramp.Buffer());
    }
    return ramp.Release(false);
}

LwFloatMatrix LwMatrixOperator::ImageListWeightedAverage(const std::vector<LwFloatMatrix>& images,
                                                         const std::vector<LwFloatMatrix>& weights)
{
    if (images.size() != weights.size())
        throw LwError("ERROR: Size of ListImage and ListWeight is not same");
    if (images.empty())
        throw LwError("ERROR: Size of ListImage is Zero");
    LwFloatMatrix sum = MatrixNewLike(images.front());
    sum.SetZero();
    const int n = sum.ElementCount();
    if (n == 0)
        throw LwError("ERROR: NO DATA");
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (images[i].ElementCount() != n)
            throw LwError("ERROR:Image size is not same");
        if (weights[i].ElementCount() != n)
            throw LwError("ERROR:Weight image size is not same");
    }
    LwFloatMatrix weightSum = MatrixNewLike(sum);
    weightSum.SetZero();
    float* s = sum.Buffer();
    float* w = weightSum.Buffer();
    for (std::size_t i = 0; i < images.size(); ++i) {
        const float* image = images[i].Buffer();
        const float* weight = weights[i].Buffer();
        for (int k = 0; k < n; ++k) {
            s[k] += image[k] * weight[k];
            w[k] += weight[k];
        }
    }
    for (int k = 0; k < n; ++k)
        if (w[k] != 0.0f)
            s[k] /= w[k];
    return sum.Release(false);
}

LwFloatMatrix LwMatrixOperator::ImageListSmoothEdgeAverage(const std::vector<LwFloatMatrix>& images,
                                                           int width)
{
    std::vector<LwFloatMatrix> weights;
    weights.reserve(images.size());
    for (const LwFloatMatrix& image : images)
        weights.push_back(MaskMatrixSmoothZeroEdge(image, width, 0));
    return ImageListWeightedAverage(images, weights);
}
