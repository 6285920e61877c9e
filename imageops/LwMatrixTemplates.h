#pragma once
// Mirror, transpose, block sum and buffer access over the matrix family
// (core/LwMatrix.h): LwLongMatrix, LwFloatMatrix, LwDoubleMatrix,
// LwLDoubleMatrix and LwLComplexMatrix (SubIntegralMatrix: all but the
// complex one). The transpose is the family's own MatrixTranspose
// (core/LwMatrixArithmetic.h): ColSize and RowSize swapped, ColBegin and
// RowBegin swapped, T(i, j) = m(j, i), a complex matrix without conjugation.

#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwTypes.h"

#include <cstdint>
#include <type_traits>

// Which index order MatrixMirror reverses.
enum class LwMirrorOrder {
    Columns,  // the last column becomes the first; rows keep their order
    Rows  // the last row becomes the first; columns keep their order
};

// A copy of m (same sizes and begins) with the column or row order reversed:
// column c goes to ColBegin + (ColBegin + ColSize - 1) - c (Columns), row r
// likewise (Rows). Applied twice it gives m back. Flagged FastReturn.
template <class M>
M MatrixMirror(const M& m, LwMirrorOrder order)
{
    M r = MatrixNewLike(m);
    const auto* src = m.Buffer();
    auto* dst = r.Buffer();
    const std::int64_t cols = m.ColSize;
    const std::int64_t rows = m.RowSize;
    for (std::int64_t j = 0; j < rows; ++j) {
        const std::int64_t dstRow = order == LwMirrorOrder::Rows ? rows - 1 - j : j;
        const auto* s = src + j * cols;
        auto* d = dst + dstRow * cols;
        if (order == LwMirrorOrder::Columns)
            for (std::int64_t i = 0; i < cols; ++i)
                d[cols - 1 - i] = s[i];
        else
            for (std::int64_t i = 0; i < cols; ++i)
                d[i] = s[i];
    }
    return r.Release(true);
}

// Sum in LDouble of the width x height block whose first element is
// (col, row), absolute indices; rows in increasing order, each row in
// increasing column order, every element converted to LDouble before it is
// added. A block that starts before the matrix or reaches beyond it throws
// "SubIntegralMatrixError". height < 1 gives 0; width < 1 adds nothing, so a
// negative width or height passes the range test and gives 0.
template <class M>
LDouble SubIntegralMatrix(const M& m, int col, int row, int width, int height)
{
    static_assert(!std::is_same<typename M::ElementType, LComplex>::value,
                  "SubIntegralMatrix sums real elements only");
    const std::int64_t dc = static_cast<std::int64_t>(col) - m.ColBegin;
    const std::int64_t dr = static_cast<std::int64_t>(row) - m.RowBegin;
    if (dc < 0 || dr < 0 || dc + width > m.ColSize || dr + height > m.RowSize)
        throw LwError("SubIntegralMatrixError");
    LDouble sum = 0;
    if (height < 1)
        return sum;
    for (std::int64_t j = 0; j < height; ++j) {
        const auto* p = m.Buffer() + (dr + j) * m.ColSize + dc;
        for (int i = 0; i < width; ++i)
            sum += static_cast<LDouble>(p[i]);
    }
    return sum;
}

// The first stored element of a matrix (storage order: row after row), or
// nullptr when the matrix holds no element. The pointer stays valid until the
// matrix is resized, handed over (FastReturn) or destroyed.
template <class M, class = std::enable_if_t<LwIsMatrix2D<M>>>
auto GetBuffer(M& m) -> decltype(m.Buffer())
{
    return m.Buffer();
}
