// Changes of the pixel grid: row resampling, resizing, binning, enlarging and
// rotating images.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// Checks shared by the row resamplers; nothing is written before they pass.
void CheckRowResampling(const LwFloatMatrix& destination, const LwFloatMatrix& source)
{
    if (destination.RowSize != source.RowSize)
        throw LwError("Error");
    if (destination.ColBegin != 0 || destination.RowBegin != 0)
        throw LwError("ResampleRows: destination must begin at (0, 0)");
}

// Calls value(row pointer of the source, k) for every destination pixel (k,
// r), rows split between threads. A source without columns gives zeros.
template <class Value>
void ResampleRows(LwFloatMatrix& destination, const LwFloatMatrix& source, Value value)
{
    CheckRowResampling(destination, source);
    if (source.ColSize == 0) {
        destination.SetZero();
        return;
    }
    const int cols = destination.ColSize;
    ParallelFor(destination.RowSize, [&](int r) {
        const float* in = source.Buffer() + static_cast<std::int64_t>(r) * source.ColSize;
        float* out = destination.Buffer() + static_cast<std::int64_t>(r) * cols;
        for (int k = 0; k < cols; ++k)
            out[k] = static_cast<float>(value(in, k));
    });
}

// One axis of the separable resize: `source` rows to newCols columns.
LwFloatMatrix ResampleAxis(const LwFloatMatrix& source, int newCols, bool skipZero)
{
    const LDouble q = static_cast<LDouble>(newCols) / source.ColSize;
    if (q == 1)
        return ElementCopy(source);
    LwFloatMatrix out(newCols, source.RowSize);
    if (q < 1)
        LwMatrixOperator::ResampleRowsAverage(out, source, skipZero);
    else
        LwMatrixOperator::ResampleRowsLinear(out, source, skipZero);
    return out.Release(false);
}

// Result sizes factor x cols by factor x rows, tested in 64 bits before the
// allocation: a shape of 2^31 elements or more is refused like every matrix.
void CheckEnlargedSize(std::int64_t cols, std::int64_t rows, int factor)
{
    const std::int64_t c = cols * factor;
    const std::int64_t r = rows * factor;
    if (c > std::numeric_limits<int>::max() || r > std::numeric_limits<int>::max() ||
        (c > 0 && r > 0 && c > LwMatrixDetail::kMaxElements / r))
        throw LwError("matrix creation Parameter Error");
}

template <class M>
M Bin(const M& source, int factor)
{
    if (factor < 1)
        throw LwError("Parameter Error");
    using T = typename M::ElementType;
    M result(source.ColSize / factor, source.RowSize / factor);
    const int cols = result.ColSize;
    const LDouble area = static_cast<LDouble>(factor) * factor;
    const std::int64_t stride = source.ColSize;
    ParallelFor(result.RowSize, [&](int j) {
        for (int i = 0; i < cols; ++i) {
            LDouble sum = 0;
            for (int b = 0; b < factor; ++b) {
                const T* line = source.Buffer() + (static_cast<std::int64_t>(j) * factor + b) * stride +
                                static_cast<std::int64_t>(i) * factor;
                for (int a = 0; a < factor; ++a)
                    sum += static_cast<LDouble>(line[a]);
            }
            result.Buffer()[i + static_cast<std::int64_t>(j) * cols] = static_cast<T>(sum / area);
        }
    });
    return result.Release(true);
}

// Interpolation partner and weight of result index I along one axis of n
// source pixels: first neighbour q = I / factor, second q + 1 when the
// fraction is 0 or more, else q - 1, clamped to the source.
struct Partner
{
    int first;
    int second;
    LDouble weight;  // of the second neighbour: |fx|
};

inline Partner PartnerOf(std::int64_t index, int factor, int n)
{
    const int q = static_cast<int>(index / factor);
    const int rem = static_cast<int>(index % factor);
    const LDouble fx = (rem - factor * LDouble(0.5)) / factor;
    int second = fx >= 0 ? q + 1 : q - 1;
    second = second < 0 ? 0 : (second > n - 1 ? n - 1 : second);
    return {q, second, std::fabs(fx)};
}

template <class M>
M Enlarge(const M& source, int factor)
{
    if (factor < 1)
        throw LwError("Parameter Error");
    CheckEnlargedSize(source.ColSize, source.RowSize, factor);
    using T = typename M::ElementType;
    M result(source.ColSize * factor, source.RowSize * factor);
    const int cols = result.ColSize;
    const std::int64_t stride = source.ColSize;
    const T* s = source.Buffer();
    ParallelFor(result.RowSize, [&](int J) {
        const Partner y = PartnerOf(J, factor, source.RowSize);
        const T* row0 = s + y.first * stride;
        const T* row1 = s + y.second * stride;
        for (int I = 0; I < cols; ++I) {
            const Partner x = PartnerOf(I, factor, source.ColSize);
            const LDouble wx = x.weight;
            const LDouble wy = y.weight;
            const LDouble value = (1 - wx) * (1 - wy) * row0[x.first] + wx * (1 - wy) * row0[x.second] +
                                  (1 - wx) * wy * row1[x.first] + wx * wy * row1[x.second];
            result.Buffer()[I + static_cast<std::int64_t>(J) * cols] = static_cast<T>(value);
        }
    });
    return result.Release(false);
}

}  // namespace

void LwMatrixOperator::ResampleRowsAverage(LwFloatMatrix& destination, const LwFloatMatrix& source,
                                           bool skipZero)
{
    const LDouble ns = source.ColSize;
    const LDouble nd = destination.ColSize;
    const LDouble q = nd / ns;
    const LDouble step = q / 2;
    const LDouble h = (q / 2) * std::floor(1 / q);
    const int last = source.ColSize - 1;
    ResampleRows(destination, source, [&](const float* in, int k) {
        LDouble sum = 0;
        int count = 0;
        for (LDouble t = -h; t < LDouble(0.5); t += step) {
            const LDouble u = (k + t + LDouble(0.5)) * (ns / nd) - LDouble(0.5);
            LDouble i = std::floor(u + LDouble(0.5));
            i = i < 0 ? 0 : (i > last ? last : i);
            const float v = in[static_cast<int>(i)];
            if (skipZero && v == 0.0f)
                continue;
            sum += v;
            ++count;
        }
        return count == 0 ? LDouble(0) : sum / count;
    });
}

void LwMatrixOperator::ResampleRowsLinear(LwFloatMatrix& destination, const LwFloatMatrix& source,
                                          bool skipZero)
{
    const LDouble ns = source.ColSize;
    const LDouble nd = destination.ColSize;
    const int last = source.ColSize - 1;
    ResampleRows(destination, source, [&](const float* in, int k) -> LDouble {
        LDouble u = (ns / nd) * (k + LDouble(0.5)) - LDouble(0.5);
        if (u < 0)
            return in[0];
        if (u > last)
            u = last;
        const LDouble i = std::floor(u);
        const LDouble f = u - i;
        const float a = in[static_cast<int>(i)];
        if (f == 0)
            return a;
        const float b = in[static_cast<int>(i) + 1];
        if (skipZero && a == 0.0f)
            return b;
        if (skipZero && b == 0.0f)
            return a;
        return a * (1 - f) + b * f;
    });
}

LwFloatMatrix LwMatrixOperator::ResizeImage(const LwFloatMatrix& source, int newCols, int newRows,
                                            bool skipZero, bool nearest)
{
    LwFloatMatrix result(newCols, newRows);
    if (source.ColSize == 0 || source.RowSize == 0) {
        result.SetZero();
        return result.Release(false);
    }
    if (newCols == 0 || newRows == 0)
        return result.Release(false);
    if (nearest) {
        const int lastRow = source.RowSize - 1;
        const int lastCol = source.ColSize - 1;
        for (int j = 0; j < newRows; ++j) {
            int sr = static_cast<int>(std::floor(static_cast<float>(j) * static_cast<float>(source.RowSize) /
                                                     static_cast<float>(newRows) +
                                                 0.5f));
            sr = sr > lastRow ? lastRow : sr;
            for (int i = 0; i < newCols; ++i) {
                int sc = static_cast<int>(std::floor(
                    static_cast<float>(i) * static_cast<float>(source.ColSize) / static_cast<float>(newCols) +
                    0.5f));
                sc = sc > lastCol ? lastCol : sc;
                result.Buffer()[i + static_cast<std::int64_t>(j) * newCols] =
                    source.Buffer()[sc + static_cast<std::int64_t>(sr) * source.ColSize];
            }
        }
        return result.Release(false);
    }
    // Separable: rows, then columns as the rows of the transpose. Positions
    // count from the source's first pixel, so its begins are dropped.
    LwFloatMatrix start = ElementCopy(source);
    start.ColBegin = 0;
    start.RowBegin = 0;
    const LwFloatMatrix rows = ResampleAxis(start, newCols, skipZero);
    const LwFloatMatrix both = ResampleAxis(MatrixTranspose(rows), newRows, skipZero);
    return MatrixTranspose(both).Release(false);
}

LwFloatMatrix LwMatrixOperator::BinImage(const LwFloatMatrix& source, int factor)
{
    return Bin(source, factor);
}

LwLDoubleMatrix LwMatrixOperator::BinImage(const LwLDoubleMatrix& source, int factor)
{
    return Bin(source, factor);
}

LwDoubleMatrix LwMatrixOperator::BinImage(const LwDoubleMatrix& source, int factor)
{
    return Bin(source, factor);
}

LwFloatMatrix LwMatrixOperator::EnlargeImage(const LwFloatMatrix& source, int factor)
{
    return Enlarge(source, factor);
}

LwLDoubleMatrix LwMatrixOperator::EnlargeImage(const LwLDoubleMatrix& source, int factor)
{
    return Enlarge(source, factor);
}

LwDoubleMatrix LwMatrixOperator::EnlargeImage(const LwDoubleMatrix& source, int factor)
{
    return Enlarge(source, factor);
}

LwFloatMatrix LwMatrixOperator::RotateImage(const LwFloatMatrix& image, const LDouble& angle)
{
    LwFloatMatrix result(image.ColSize, image.RowSize);
    const LDouble cx = LDouble(0.5) * (image.ColSize - 1);
    const LDouble cy = LDouble(0.5) * (image.RowSize - 1);
    // The source of a result pixel is its offset turned back by the angle.
    const LwLDoubleMatrix back = Rotation2D(-angle);
    const LDouble r00 = back(0, 0), r10 = back(1, 0), r01 = back(0, 1), r11 = back(1, 1);
    const int cols = image.ColSize;
    const int rows = image.RowSize;
    ParallelFor(rows, [&](int j) {
        for (int i = 0; i < cols; ++i) {
            const LDouble dx = i - cx;
            const LDouble dy = j - cy;
            const LDouble u = r00 * dx + r10 * dy;
            const LDouble v = r01 * dx + r11 * dy;
            // Truncated toward zero after the centre is added back, as the
            // grid is defined; a non-finite angle gives NaN here, which the
            // comparisons below leave outside.
            const LDouble fx = std::floor(u + LDouble(0.5)) + cx;
            const LDouble fy = std::floor(v + LDouble(0.5)) + cy;
            float value = 0.0f;
            if (fx > -1 && fx < cols && fy > -1 && fy < rows) {
                const int sx = static_cast<int>(fx);
                const int sy = static_cast<int>(fy);
                value = image.Buffer()[sx + static_cast<std::int64_t>(sy) * cols];
            }
            result.Buffer()[i + static_cast<std::int64_t>(j) * cols] = value;
        }
    });
    return result.Release(false);
}
