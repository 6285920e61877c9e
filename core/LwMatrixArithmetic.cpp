#include "core/LwMatrixArithmetic.h"

#include <cmath>

namespace {

// r(i) = op(a(i), b(i)) over the buffers of two matrices of equal sizes and
// begins (CheckSameSize); the result has b's shape and begins and is flagged.
// Any failure is reported as `errorText` alone.
template <class M, class Op>
M ElementWise(const M& a, const M& b, Op op, const char* errorText)
{
    try {
        a.CheckSameSize(b);
        M r;
        r.CreateLike(b);
        const auto* pa = a.Buffer();
        const auto* pb = b.Buffer();
        auto* pr = r.Buffer();
        const int n = r.ElementCount();
        for (int i = 0; i < n; ++i)
            pr[i] = op(pa[i], pb[i]);
        return r.Release(true);
    } catch (const LwError&) {
        throw LwError(errorText);
    }
}

template <class D, class S>
void Convert(D& destination, const S& source)
{
    using T = typename D::ElementType;
    destination.Create(source.ColSize, source.RowSize);
    destination.ColBegin = source.ColBegin;
    destination.RowBegin = source.RowBegin;
    const auto* ps = source.Buffer();
    T* pd = destination.Buffer();
    const int n = destination.ElementCount();
    for (int i = 0; i < n; ++i)
        pd[i] = static_cast<T>(ps[i]);
}

}  // namespace

LwLDoubleMatrix LwLDoubleMatrix::operator*(const LwLDoubleMatrix& b) const
{
    if (ColSize != b.RowSize)
        throw LwError("Matrix * operation: Size Illigal");
    if (ColBegin != b.RowBegin)
        throw LwError("Matrix * operation: begin err");
    try {
        LwLDoubleMatrix r;
        r.Create(b.ColSize, RowSize);
        r.RowBegin = RowBegin;
        r.ColBegin = b.ColBegin;
        r.SetZero();
        // Row by row: r(c, row) accumulates this(k, row) * b(c, k) over k in
        // increasing order, starting from 0, so every element is summed in
        // the same order as the plain sum over k, while b is read row-wise.
        const int inner = ColSize;
        const int cols = b.ColSize;
        const LDouble* pa = Buffer();
        const LDouble* pb = b.Buffer();
        LDouble* pr = r.Buffer();
        for (int row = 0; row < RowSize; ++row) {
            LDouble* rrow = pr + static_cast<std::int64_t>(row) * cols;
            const LDouble* arow = pa + static_cast<std::int64_t>(row) * inner;
            for (int k = 0; k < inner; ++k) {
                const LDouble ak = arow[k];
                const LDouble* brow = pb + static_cast<std::int64_t>(k) * cols;
                for (int c = 0; c < cols; ++c)
                    rrow[c] += ak * brow[c];
            }
        }
        return r.Release(false);
    } catch (const LwError&) {
        throw LwError(" * operator Error");
    }
}

LwLDoubleMatrix LwLDoubleMatrix::operator*(const LDouble& s) const
{
    try {
        LwLDoubleMatrix r;
        r.CreateLike(*this);
        const LDouble* pa = Buffer();
        LDouble* pr = r.Buffer();
        const int n = r.ElementCount();
        for (int i = 0; i < n; ++i)
            pr[i] = pa[i] * s;
        return r.Release(true);
    } catch (const LwError&) {
        throw LwError("* operator Error");
    }
}

LwLDoubleMatrix operator*(const LDouble& s, const LwLDoubleMatrix& a)
{
    return a * s;
}

LwLDoubleMatrix LwLDoubleMatrix::operator-(const LwLDoubleMatrix& b) const
{
    return ElementWise(
        *this, b, [](LDouble x, LDouble y) { return x - y; }, "- operator Error");
}

LwLDoubleMatrix LwLDoubleMatrix::operator+(const LwLDoubleMatrix& b) const
{
    return ElementWise(
        *this, b, [](LDouble x, LDouble y) { return x + y; }, "+ operator Error");
}

LwLComplexMatrix LwLComplexMatrix::operator+(const LwLComplexMatrix& b) const
{
    return ElementWise(
        *this, b, [](const LComplex& x, const LComplex& y) { return x + y; }, "+ operator Error");
}

LwLDoubleMatrix& LwLDoubleMatrix::operator+=(const LwLDoubleMatrix& b)
{
    CheckSameSize(b);
    LDouble* pa = Buffer();
    const LDouble* pb = b.Buffer();
    const int n = ElementCount();
    for (int i = 0; i < n; ++i)
        pa[i] += pb[i];
    return *this;
}

LwLDoubleMatrix& LwLDoubleMatrix::operator*=(LDouble s)
{
    LDouble* pa = Buffer();
    const int n = ElementCount();
    for (int i = 0; i < n; ++i)
        pa[i] *= s;
    return *this;
}

void LwMatrixArithmetic::ConvertMatrix(LwDoubleMatrix& destination, const LwLDoubleMatrix& source) const
{
    Convert(destination, source);
}

void LwMatrixArithmetic::ConvertMatrix(LwFloatMatrix& destination, const LwLDoubleMatrix& source) const
{
    Convert(destination, source);
}

void LwMatrixArithmetic::ConvertMatrix(LwLDoubleMatrix& destination, const LwDoubleMatrix& source) const
{
    Convert(destination, source);
}

void LwMatrixArithmetic::ConvertMatrix(LwLDoubleMatrix& destination, const LwFloatMatrix& source) const
{
    Convert(destination, source);
}

void LwMatrixArithmetic::ConvertMatrix(LwFloatMatrix& destination, const LwFloatMatrix& source) const
{
    Convert(destination, source);
}

LwLDoubleMatrix LwMatrixArithmetic::ToLDoubleMatrix(const LwFloatMatrix& source) const
{
    LwLDoubleMatrix r;
    Convert(r, source);
    return r.Release(true);
}

LwFloatMatrix LwMatrixArithmetic::ToFloatMatrix(const LwLDoubleMatrix& source) const
{
    LwFloatMatrix r;
    Convert(r, source);
    return r.Release(true);
}

LwFloatMatrix LwMatrixArithmetic::Transpose(const LwFloatMatrix& a) const
{
    return MatrixTranspose(a);
}

LDouble LwMatrixArithmetic::VectorSquareNorm(const LwLDoubleMatrix& v) const
{
    const bool isVector = v.ColSize == 1 || v.RowSize == 1 || (v.ColSize == 0 && v.RowSize == 0);
    if (!isVector)
        throw LwError("This is not vector");
    LDouble sum = 0;
    const LDouble* p = v.Buffer();
    const int n = v.ElementCount();
    for (int i = 0; i < n; ++i)
        sum += p[i] * p[i];
    return sum;
}

namespace {

// Rotation by t about z (axis 2) or y (axis 1), 3 x 3, begins 0.
LwLDoubleMatrix AxisRotation(int axis, LDouble t)
{
    using std::cos;
    using std::sin;
    const LDouble c = cos(t);
    const LDouble s = sin(t);
    // rows[row][col]
    const LDouble rz[3][3] = {{c, -s, 0}, {s, c, 0}, {0, 0, 1}};
    const LDouble ry[3][3] = {{c, 0, s}, {0, 1, 0}, {-s, 0, c}};
    const auto& rows = axis == 2 ? rz : ry;
    LwLDoubleMatrix m(3, 3);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m(col, row) = rows[row][col];
    return m.Release(false);
}

}  // namespace

LwLDoubleMatrix EulerRotationMatrix(LDouble a, LDouble b, LDouble c)
{
    const LwLDoubleMatrix t = AxisRotation(1, b) * AxisRotation(2, a);
    LwLDoubleMatrix r = AxisRotation(2, c) * t;
    return r.Release(false);
}
