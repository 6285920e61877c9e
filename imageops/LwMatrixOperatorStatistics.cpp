// Scalar measures of images: means, root mean squares, the weighted centre,
// the signal-to-noise figure against a model, and the block correlation of
// two integer images.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

template <class T>
LDouble MeanOf(const T* values, int n, bool skipZero)
{
    LDouble sum = 0;
    std::int64_t count = 0;
    for (int k = 0; k < n; ++k) {
        if (skipZero && values[k] == T(0))
            continue;
        sum += static_cast<LDouble>(values[k]);
        ++count;
    }
    return count == 0 ? LDouble(0) : sum / static_cast<LDouble>(count);
}

// Throws unless the block of width x height at storage position (x, y) (both
// from 0) lies inside m. Coordinates are 64-bit so that no sum wraps.
void CheckBlockInside(const LwLongMatrix& m, std::int64_t x, std::int64_t y, int width, int height)
{
    if (x < 0 || y < 0 || x + width > m.ColSize || y + height > m.RowSize)
        throw LwError("BlockProductSum: block outside the matrix");
}

void CheckSameStride(const LwLongMatrix& a, const LwLongMatrix& b)
{
    if (a.ColSize != b.ColSize)
        throw LwError("BlockProductSum: column counts differ");
}

// The block sum without the tests (the callers have made them).
LDouble BlockSum(const LwLongMatrix& a, const LwLongMatrix& b, int width, int height, int xa, int ya, int xb,
                 int yb)
{
    const std::int64_t stride = a.ColSize;
    LDouble sum = 0;
    for (int y = 0; y < height; ++y) {
        const LwLong* pa = a.Buffer() + (ya + y) * stride + xa;
        const LwLong* pb = b.Buffer() + (yb + y) * stride + xb;
        // A product of two 32-bit values always fits 64 bits.
        for (int x = 0; x < width; ++x)
            sum += static_cast<LDouble>(static_cast<std::int64_t>(pa[x]) * pb[x]);
    }
    return sum;
}

}  // namespace

LDouble LwMatrixOperator::Mean(const LwFloatMatrix& m, bool skipZero)
{
    return MeanOf(m.Buffer(), m.ElementCount(), skipZero);
}

LDouble LwMatrixOperator::Mean(const LwLDoubleMatrix& m, bool skipZero)
{
    return MeanOf(m.Buffer(), m.ElementCount(), skipZero);
}

LDouble LwMatrixOperator::RootMeanSquare(const LwFloatMatrix& m, float value, bool skipZero)
{
    const float* p = m.Buffer();
    const int n = m.ElementCount();
    LDouble sum = 0;
    std::int64_t count = 0;
    for (int k = 0; k < n; ++k) {
        if (skipZero && p[k] == 0.0f)
            continue;
        const LDouble d = p[k] - value;  // difference in float
        sum += d * d;
        ++count;
    }
    return count == 0 ? LDouble(0) : std::sqrt(sum / static_cast<LDouble>(count));
}

void LwMatrixOperator::WeightedCentre(LDouble& centreColumn, LDouble& centreRow, const LwFloatMatrix& m,
                                      const LDouble& threshold)
{
    LDouble weight = 0;
    LDouble columnSum = 0;
    LDouble rowSum = 0;
    const float* p = m.Buffer();
    for (int j = 0; j < m.RowSize; ++j) {
        const LDouble row = static_cast<LDouble>(m.RowBegin) + j;
        for (int i = 0; i < m.ColSize; ++i) {
            const LDouble v = p[static_cast<std::int64_t>(j) * m.ColSize + i];
            if (v < threshold)  // NaN is not below: it is taken
                continue;
            weight += v;
            columnSum += (static_cast<LDouble>(m.ColBegin) + i) * v;
            rowSum += row * v;
        }
    }
    if (weight != 0) {
        centreColumn = columnSum / weight;
        centreRow = rowSum / weight;
    } else {
        centreColumn = 0;
        centreRow = 0;
    }
}

void LwMatrixOperator::SignalToNoise(LDouble& ratio, LDouble& meanModel, LDouble& rmsModel,
                                     LDouble& rmsDifference, const LwFloatMatrix& image,
                                     const LwFloatMatrix& model, bool skipZero)
{
    LwFloatMatrix::CheckSameSize(image, model);
    LwFloatMatrix difference = MatrixNewLike(model);
    const int n = model.ElementCount();
    for (int k = 0; k < n; ++k)
        difference.Buffer()[k] = image.Buffer()[k] - model.Buffer()[k];
    meanModel = Mean(model, skipZero);
    rmsModel = RootMeanSquare(model, static_cast<float>(meanModel), skipZero);
    rmsDifference = RootMeanSquare(difference, 0.0f, skipZero);
    ratio = rmsDifference > 0 ? rmsModel / rmsDifference : LDouble(0);
}

LDouble LwMatrixOperator::BlockProductSum(const LwLongMatrix& a, const LwLongMatrix& b, int width, int height,
                                          int xa, int ya, int xb, int yb)
{
    if (width < 1 || height < 1)
        return 0;
    CheckSameStride(a, b);
    CheckBlockInside(a, xa, ya, width, height);
    CheckBlockInside(b, xb, yb, width, height);
    return BlockSum(a, b, width, height, xa, ya, xb, yb);
}

void LwMatrixOperator::FindBestBlockOffset(int& bestDx, int& bestDy, const LwLongMatrix& a,
                                           const LwLongMatrix& b, int x0, int y0, int width, int height,
                                           int range)
{
    if (range < 0)
        return;
    if (range > (std::numeric_limits<int>::max() - 1) / 2)
        throw LwError("BlockProductSum: block outside the matrix");
    const bool empty = width < 1 || height < 1;
    if (!empty) {
        // a's blocks of every offset lie in the rectangle spanned by the two
        // extreme offsets; one test of each end covers the whole search.
        CheckSameStride(a, b);
        CheckBlockInside(a, static_cast<std::int64_t>(x0) - range, static_cast<std::int64_t>(y0) - range,
                         width, height);
        CheckBlockInside(a, static_cast<std::int64_t>(x0) + range, static_cast<std::int64_t>(y0) + range,
                         width, height);
        CheckBlockInside(b, x0, y0, width, height);
    }

    // One item per dx: its best dy (the first of the largest sums) in its
    // own slot; the slots are then compared in increasing dx, so the winner
    // is the one of the serial scan (dx outer, dy inner, first wins).
    const int span = 2 * range + 1;
    std::vector<LDouble> slotSum(static_cast<std::size_t>(span));
    std::vector<int> slotDy(static_cast<std::size_t>(span));
    ParallelFor(span, [&](int item) {
        const int dx = item - range;
        LDouble best = std::numeric_limits<LDouble>::lowest();
        int bestY = -range;
        for (int dy = -range; dy <= range; ++dy) {
            const LDouble s = empty ? LDouble(0) : BlockSum(a, b, width, height, x0 + dx, y0 + dy, x0, y0);
            if (s > best) {
                best = s;
                bestY = dy;
            }
        }
        slotSum[static_cast<std::size_t>(item)] = best;
        slotDy[static_cast<std::size_t>(item)] = bestY;
    });
    LDouble best = std::numeric_limits<LDouble>::lowest();
    for (int item = 0; item < span; ++item) {
        if (slotSum[static_cast<std::size_t>(item)] > best) {
            best = slotSum[static_cast<std::size_t>(item)];
            bestDx = item - range;
            bestDy = slotDy[static_cast<std::size_t>(item)];
        }
    }
}
