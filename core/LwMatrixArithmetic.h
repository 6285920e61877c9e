#pragma once
// Computations on the matrix family: element-wise quotient and product, a new
// matrix of the same shape, the transpose, conversions between element types,
// the rotation matrix of three Euler angles, powers of -i and the squared
// length of a vector. The arithmetic operators of LwLDoubleMatrix and
// LwLComplexMatrix are declared with those classes (LwMatrix.h).
//
// Results returned by value are either flagged FastReturn (the receiving copy
// or assignment takes the buffer over) or handed over unflagged; each function
// says which.

#include "core/LwError.h"
#include "core/LwMatrix.h"
#include "core/LwTypes.h"

// A matrix with a's sizes (Create) and begins whose elements are not set;
// not flagged.
template <class M>
M MatrixNewLike(const M& a)
{
    M r;
    r.Create(a.ColSize, a.RowSize);
    r.ColBegin = a.ColBegin;
    r.RowBegin = a.RowBegin;
    return r.Release(false);
}

// MatrixNewLike with every element 0; not flagged.
template <class M>
M MatrixZeroLike(const M& a)
{
    M r = MatrixNewLike(a);
    r.SetZero();
    return r.Release(false);
}

// r(i) = op(a(i), b(i)) for every element of a result with a's shape and
// begins; not flagged. Unequal sizes or begins throw `sizeError`.
template <class M, class Op>
M MatrixElementApply(const M& a, const M& b, const char* sizeError, Op op)
{
    if (!IsSameSize(a, b))
        throw LwError(sizeError);
    M r = MatrixNewLike(a);
    using T = typename M::ElementType;
    const T* pa = a.Buffer();
    const T* pb = b.Buffer();
    T* pr = r.Buffer();
    const int n = r.ElementCount();
    for (int i = 0; i < n; ++i)
        pr[i] = static_cast<T>(op(pa[i], pb[i]));
    return r.Release(false);
}

// a(i) / b(i) for every element, 0 where b(i) == 0 (a negative zero counts as
// zero); a's shape and begins; not flagged. Unequal sizes or begins:
// "Matrix size is not same".
template <class M>
M MatrixElementDivide(const M& a, const M& b)
{
    using T = typename M::ElementType;
    return MatrixElementApply(a, b, "Matrix size is not same",
                              [](const T& x, const T& y) { return y != T(0) ? T(x / y) : T(0); });
}

// a(i) * b(i) for every element; a's shape and begins; not flagged. Unequal
// sizes or begins: "Matrix is not same size".
template <class M>
M MatrixElementProduct(const M& a, const M& b)
{
    using T = typename M::ElementType;
    return MatrixElementApply(a, b, "Matrix is not same size",
                              [](const T& x, const T& y) { return T(x * y); });
}

// The transpose: ColSize and RowSize swapped, ColBegin := a.RowBegin,
// RowBegin := a.ColBegin, and r(c, r) = a(r, c); flagged.
template <class M>
M MatrixTranspose(const M& a)
{
    M t(a.RowSize, a.ColSize);
    t.ColBegin = a.RowBegin;
    t.RowBegin = a.ColBegin;
    // Element (c, r) of t sits at (c - t.ColBegin) + (r - t.RowBegin) * t.ColSize,
    // element (r, c) of a at (r - a.ColBegin) + (c - a.RowBegin) * a.ColSize:
    // walk both by offsets.
    const auto* src = a.Buffer();
    auto* dst = t.Buffer();
    const int cols = t.ColSize;
    const int rows = t.RowSize;
    for (int dr = 0; dr < rows; ++dr)
        for (int dc = 0; dc < cols; ++dc)
            dst[dc + static_cast<std::int64_t>(dr) * cols] =
                src[dr + static_cast<std::int64_t>(dc) * a.ColSize];
    return t.Release(true);
}

// Stateless operator object of the conversions and of the element-wise
// wrappers; a caller makes one where it needs it. Nothing is read from it.
class LwMatrixArithmetic
{
public:
    // destination.Create (source's sizes; its buffer is kept when the element
    // count is unchanged), then the source's begins and every element
    // converted in buffer order (to float: rounded to the nearest float). A
    // failure of Create passes through and leaves the destination as Create
    // left it. The destination's FastReturn flag is not touched.
    void ConvertMatrix(LwDoubleMatrix& destination, const LwLDoubleMatrix& source) const;
    void ConvertMatrix(LwFloatMatrix& destination, const LwLDoubleMatrix& source) const;
    void ConvertMatrix(LwLDoubleMatrix& destination, const LwDoubleMatrix& source) const;
    void ConvertMatrix(LwLDoubleMatrix& destination, const LwFloatMatrix& source) const;
    void ConvertMatrix(LwFloatMatrix& destination, const LwFloatMatrix& source) const;

    // A new matrix of the other element type with the source's shape and
    // begins; flagged.
    LwLDoubleMatrix ToLDoubleMatrix(const LwFloatMatrix& source) const;
    LwFloatMatrix ToFloatMatrix(const LwLDoubleMatrix& source) const;

    // MatrixElementDivide and MatrixElementProduct (not flagged) and
    // MatrixTranspose (flagged).
    template <class M>
    M ElementDivide(const M& a, const M& b) const
    {
        return MatrixElementDivide(a, b);
    }
    template <class M>
    M ElementProduct(const M& a, const M& b) const
    {
        return MatrixElementProduct(a, b);
    }
    LwFloatMatrix Transpose(const LwFloatMatrix& a) const;

    // Sum of the squares of all elements, from 0 in buffer order, of a column
    // vector, a row vector or an empty 0 x 0 matrix (0); any other shape:
    // "This is not vector".
    LDouble VectorSquareNorm(const LwLDoubleMatrix& v) const;
};

// Rotation matrix R = Rz(c) * Ry(b) * Rz(a) (angles in radians): first a
// rotation by a about z, then by b about y, then by c about z, acting on
// column vectors (ColSize 1). 3 x 3, begins 0, not flagged. Element (col, row)
// is the entry in row `row` and column `col`; as rows,
//   Rz(t) = (cos t, -sin t, 0), (sin t, cos t, 0), (0, 0, 1),
//   Ry(t) = (cos t, 0, sin t), (0, 1, 0), (-sin t, 0, cos t).
LwLDoubleMatrix EulerRotationMatrix(LDouble a, LDouble b, LDouble c);
