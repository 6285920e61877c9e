// One-dimensional data out of images and back: rows and columns as vectors,
// row means, line profiles, tabulated functions and the accumulation of an
// integer matrix.

#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <map>

namespace {

template <class T, class M>
std::vector<T> Column(const M& m, int column)
{
    std::vector<T> out;
    for (int j = m.RowBegin; j < m.RowBegin + m.RowSize; ++j)
        out.push_back(m(column, j));
    return out;
}

template <class T, class M>
std::vector<T> Row(const M& m, int row)
{
    std::vector<T> out;
    for (int i = m.ColBegin; i < m.ColBegin + m.ColSize; ++i)
        out.push_back(m(i, row));
    return out;
}

template <class M>
void Profile(M& out, const M& image, int x0, int y0, int x1, int y1, int n)
{
    const int length = out.VectorSize();  // "This is not vector" for other shapes
    if (n < 0)
        throw LwError("matrix creation Parameter Error");
    if (n == 1)
        throw LwError("LineProfile: a line profile needs at least 2 points");
    if (length == n && n > 0 && out.VectorBegin() != 0)
        throw LwError("LineProfile: output vector must begin at 0");
    if (length != n)
        out.Create(n);
    if (n == 0)
        return;
    const float dx = static_cast<float>(static_cast<std::int64_t>(x1) - x0) / static_cast<float>(n - 1);
    const float dy = static_cast<float>(static_cast<std::int64_t>(y1) - y0) / static_cast<float>(n - 1);
    for (int i = 0; i < n; ++i) {
        const float x = static_cast<float>(i) * dx + static_cast<float>(x0);
        const float y = static_cast<float>(i) * dy + static_cast<float>(y0);
        const int col = static_cast<int>(static_cast<double>(x) + 0.5);
        const int row = static_cast<int>(static_cast<double>(y) + 0.5);
        out[i] = image(col, row);
    }
}

}  // namespace

std::vector<LDouble> LwMatrixOperator::ColumnToVector(const LwLDoubleMatrix& m, int column)
{
    return Column<LDouble>(m, column);
}

std::vector<float> LwMatrixOperator::ColumnToVector(const LwFloatMatrix& m, int column)
{
    return Column<float>(m, column);
}

std::vector<LDouble> LwMatrixOperator::RowToVector(const LwLDoubleMatrix& m, int row)
{
    return Row<LDouble>(m, row);
}

std::vector<float> LwMatrixOperator::RowToVector(const LwFloatMatrix& m, int row)
{
    return Row<float>(m, row);
}

LwLDoubleMatrix LwMatrixOperator::RowMeans(const LwLDoubleMatrix& m)
{
    LwLDoubleMatrix means(m.RowSize);
    means.RowBegin = m.RowBegin;
    means.SetZero();
    if (m.ColSize <= 0)
        return means.Release(false);
    for (int r = m.RowBegin; r < m.RowBegin + m.RowSize; ++r) {
        LDouble sum = 0;
        for (int c = m.ColBegin; c < m.ColBegin + m.ColSize; ++c)
            sum += m(c, r);
        means[r] = sum / m.ColSize;
    }
    return means.Release(false);
}

void LwMatrixOperator::LineProfile(LwLongMatrix& out, const LwLongMatrix& image, int x0, int y0, int x1,
                                   int y1, int n)
{
    Profile(out, image, x0, y0, x1, y1, n);
}

void LwMatrixOperator::LineProfile(LwFloatMatrix& out, const LwFloatMatrix& image, int x0, int y0, int x1,
                                   int y1, int n)
{
    Profile(out, image, x0, y0, x1, y1, n);
}

LwFloatMatrix LwMatrixOperator::InterpolateTable(const LwFloatMatrix& newAbscissae,
                                                 const LwFloatMatrix& abscissae, const LwFloatMatrix& values)
{
    std::map<float, float> table;
    const int first = abscissae.VectorBegin();
    for (int i = first; i < first + abscissae.VectorSize(); ++i) {
        const float x = abscissae[i];
        if (std::isnan(x))
            throw LwError("InterpolateTable: abscissa is not a number");
        table.emplace(x, values[i]);  // a repeated abscissa keeps its first value
    }
    if (table.empty())
        throw LwError("InterpolateTable: the table is empty");

    LwFloatMatrix result = MatrixNewLike(newAbscissae);
    const int begin = newAbscissae.VectorBegin();
    for (int j = begin; j < begin + newAbscissae.VectorSize(); ++j) {
        const float x = newAbscissae[j];
        auto hi = table.upper_bound(x);
        float value;
        if (hi == table.end()) {
            value = std::prev(hi)->second;
        } else if (hi == table.begin() && table.size() == 1) {
            value = hi->second;
        } else {
            // Below the first abscissa the first two entries extrapolate.
            auto lo = hi == table.begin() ? hi++ : std::prev(hi);
            const float t = (x - lo->first) / (hi->first - lo->first);
            value = (1 - t) * lo->second + t * hi->second;
        }
        result[j] = value;
    }
    return result.Release(false);
}

void LwMatrixOperator::AccumulateLongMatrix(LwLDoubleMatrix& sum, const LwLongMatrix& addend)
{
    if (sum.ColSize != addend.ColSize || sum.RowSize != addend.RowSize || sum.ColBegin != addend.ColBegin ||
        sum.RowBegin != addend.RowBegin)
        throw LwError("SizeDifferent");
    for (int c = sum.ColBegin; c < sum.ColBegin + sum.ColSize; ++c)
        for (int r = sum.RowBegin; r < sum.RowBegin + sum.RowSize; ++r)
            sum(c, r) += static_cast<LDouble>(addend(c, r));
}
