// The per-class mirror, transpose and block-sum operations (forwarding to
// LwMatrixTemplates.h) and the conjugate transpose of a complex matrix.

#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixTemplates.h"

#include <complex>

#define LW_MATRIX_OPERATOR_REORDER(M)                                                                        \
    M LwMatrixOperator::MirrorColumnOrder(const M& m)                                                        \
    {                                                                                                        \
        return MatrixMirror(m, LwMirrorOrder::Columns);                                                      \
    }                                                                                                        \
    M LwMatrixOperator::MirrorRowOrder(const M& m)                                                           \
    {                                                                                                        \
        return MatrixMirror(m, LwMirrorOrder::Rows);                                                         \
    }                                                                                                        \
    M LwMatrixOperator::Transpose(const M& m)                                                                \
    {                                                                                                        \
        return MatrixTranspose(m);                                                                           \
    }

LW_MATRIX_OPERATOR_REORDER(LwLongMatrix)
LW_MATRIX_OPERATOR_REORDER(LwFloatMatrix)
LW_MATRIX_OPERATOR_REORDER(LwDoubleMatrix)
LW_MATRIX_OPERATOR_REORDER(LwLDoubleMatrix)
LW_MATRIX_OPERATOR_REORDER(LwLComplexMatrix)

#define LW_MATRIX_OPERATOR_SUB_INTEGRAL(M)                                                                   \
    LDouble LwMatrixOperator::SubIntegral(const M& m, int column, int row, int width, int height)            \
    {                                                                                                        \
        return SubIntegralMatrix(m, column, row, width, height);                                             \
    }

LW_MATRIX_OPERATOR_SUB_INTEGRAL(LwLongMatrix)
LW_MATRIX_OPERATOR_SUB_INTEGRAL(LwFloatMatrix)
LW_MATRIX_OPERATOR_SUB_INTEGRAL(LwDoubleMatrix)
LW_MATRIX_OPERATOR_SUB_INTEGRAL(LwLDoubleMatrix)

LwLComplexMatrix LwMatrixOperator::ConjugateTranspose(const LwLComplexMatrix& m)
{
    LwLComplexMatrix t(m.RowSize, m.ColSize);
    t.ColBegin = m.RowBegin;
    t.RowBegin = m.ColBegin;
    for (int r = m.RowBegin; r < m.RowBegin + m.RowSize; ++r)
        for (int c = m.ColBegin; c < m.ColBegin + m.ColSize; ++c)
            t(r, c) = std::conj(m(c, r));
    return t.Release(false);
}
