#pragma once
// The two-dimensional matrix family: one class per element type, all built
// from one template so that they share one body of code.
//
//   LwFloatMatrix     float          images
//   LwDoubleMatrix    double         the double form of LwLDoubleMatrix in documents
//   LwLDoubleMatrix   LDouble        positions, tensors, rotations, real fields
//   LwLComplexMatrix  LComplex       wave coefficients, complex fields
//   LwCharMatrix      signed char    one small signed number per atom
//   LwLongMatrix      LwLong         index vectors, integer matrices (32 bits)
//
// Addressing. Element (col, row) exists for ColBegin <= col < ColBegin +
// ColSize and RowBegin <= row < RowBegin + RowSize and lies at buffer position
// (col - ColBegin) + (row - RowBegin) * ColSize: the column index runs fastest
// and the matrix is stored row after row. A shape is written ColSize x RowSize
// (3 x 2: three columns, two rows). A column vector has ColSize 1, a row
// vector RowSize 1. Every element access is range-checked.
//
// Sizes. A matrix holds fewer than 2^31 elements: every shape whose element
// count does not fit a signed 32-bit integer is refused, so the buffer always
// covers everything the range check lets through.
//
// Hand-over (FastReturn). An operation that returns a matrix by value may
// flag it. The first copy construction or assignment that reads from a
// flagged matrix takes over its buffer, sizes and (for the assignment) begins
// instead of copying the elements, and leaves it 0 x 0 without a buffer (its
// begins and flag stay). A matrix initialised from a flagged result is that
// result itself (C++17 guaranteed copy elision) and keeps the flag, so a later
// copy from it empties it. A copy is never flagged.
//
// Concurrency: no locks. Several threads may read one matrix, and several
// threads may write different elements of a matrix whose shape does not
// change; anything that changes sizes, begins, buffer or flag needs the matrix
// to itself.

#include "core/LwTypes.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <type_traits>

namespace LwMatrixDetail {

// Largest element count of any matrix of the family (signed 32-bit).
constexpr std::int64_t kMaxElements = 0x7fffffff;

// Element count of a shape whose sizes are non-negative, or -1 when it does
// not fit kMaxElements. The sizes are 32-bit, so the 64-bit product is exact.
inline std::int64_t CheckedCount(std::int64_t a, std::int64_t b)
{
    const std::int64_t n = a * b;
    return n > kMaxElements ? -1 : n;
}

// Cold paths, kept out of line so that the inlined element access is a compare
// and a multiply-add.
[[noreturn]] void ThrowOverRange(int col, int row, int colSize, int rowSize, int colBegin, int rowBegin,
                                 bool fastReturn);
[[noreturn]] void ThrowError(const char* text);

}  // namespace LwMatrixDetail

#if defined(__GNUC__)
#define LW_MATRIX_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define LW_MATRIX_LIKELY(x) (x)
#endif

// Tag of the constructor that takes over another matrix's buffer (used by
// Release to return results by value).
struct LwMatrixHandOver
{};

// Marks the two-dimensional classes of the family (for the free functions
// that accept any pair of them).
struct LwMatrix2DTag
{};

template <class M>
constexpr bool LwIsMatrix2D = std::is_base_of<LwMatrix2DTag, M>::value;

// T: element type. Derived: the named class built on this template (the type
// that results and copies have).
template <class T, class Derived>
class LwMatrix2D : public LwMatrix2DTag
{
public:
    using ElementType = T;

    // Empty 0 x 0 matrix, begins 0, not flagged, no buffer.
    LwMatrix2D() = default;

    // colSize x rowSize, begins 0; elements not set (0 + 0i for complex
    // elements). A negative size or a shape of 2^31 or more elements throws
    // "matrix creation Parameter Error".
    explicit LwMatrix2D(int colSize, int rowSize)
    {
        if (colSize < 0 || rowSize < 0 || LwMatrixDetail::CheckedCount(colSize, rowSize) < 0)
            LwMatrixDetail::ThrowError("matrix creation Parameter Error");
        GetMemory(colSize, rowSize);
    }

    // Column vector of n elements (1 x n), begins 0; n < 0 throws
    // "matrix creation Parameter Error".
    explicit LwMatrix2D(int n)
    {
        if (n < 0)
            LwMatrixDetail::ThrowError("matrix creation Parameter Error");
        GetMemory(1, n);
    }

    // Takes a flagged source's buffer (leaving it 0 x 0), else copies it.
    // The copy is never flagged.
    LwMatrix2D(const LwMatrix2D& s) : RowBegin(s.RowBegin), ColBegin(s.ColBegin)
    {
        if (s.FastReturn) {
            TakeBuffer(s);
        } else {
            GetMemory(s.ColSize, s.RowSize);
            std::copy(s.buffer_, s.buffer_ + s.ElementCount(), buffer_);
        }
    }

    // A new matrix (flagged when `fastReturn`) that holds `s`'s begins, sizes
    // and buffer; `s` is left 0 x 0 without a buffer. See Release.
    LwMatrix2D(LwMatrixHandOver, LwMatrix2D& s, bool fastReturn)
        : RowBegin(s.RowBegin), ColBegin(s.ColBegin), FastReturn(fastReturn)
    {
        TakeBuffer(s);
    }

    // Clears the target's flag; self-assignment changes nothing more. A
    // flagged source hands its begins, sizes and buffer over and is left
    // 0 x 0; otherwise begins, sizes and elements are copied. Sizes and begins
    // follow the source whatever the buffers hold, so an empty block such as
    // 0 x 5 at (3, 1) keeps its shape in a target without a buffer.
    LwMatrix2D& operator=(const LwMatrix2D& s)
    {
        FastReturn = false;
        if (this == &s)
            return *this;
        ColBegin = s.ColBegin;
        RowBegin = s.RowBegin;
        if (s.FastReturn) {
            DeleteMemory();
            TakeBuffer(s);
        } else {
            GetMemory(s.ColSize, s.RowSize);
            std::copy(s.buffer_, s.buffer_ + s.ElementCount(), buffer_);
        }
        return *this;
    }

    virtual ~LwMatrix2D() { delete[] buffer_; }

    // Both sizes negative, or a shape of 2^31 or more elements: "matrix
    // creation Parameter Error" and nothing changes. Otherwise the begins
    // become 0 and GetMemory follows, so exactly one negative size fails there
    // with "Matrix Parameter Error" after the begins were reset. Elements are
    // not cleared.
    void Create(int colSize, int rowSize)
    {
        if ((colSize < 0 && rowSize < 0) ||
            (colSize >= 0 && rowSize >= 0 && LwMatrixDetail::CheckedCount(colSize, rowSize) < 0))
            LwMatrixDetail::ThrowError("matrix creation Parameter Error");
        ColBegin = 0;
        RowBegin = 0;
        GetMemory(colSize, rowSize);
    }

    // Column vector 1 x n; n < 0: "matrix creation Parameter Error", nothing changed.
    void Create(int n)
    {
        if (n < 0)
            LwMatrixDetail::ThrowError("matrix creation Parameter Error");
        Create(1, n);
    }

    // Row vector n x 1; n < 0: "matrix creation Parameter Error", nothing changed.
    void CreateRow(int n)
    {
        if (n < 0)
            LwMatrixDetail::ThrowError("matrix creation Parameter Error");
        Create(n, 1);
    }

    // The other's sizes (Create) and begins; elements are not copied.
    void CreateLike(const Derived& other)
    {
        const int colBegin = other.ColBegin;
        const int rowBegin = other.RowBegin;
        Create(other.ColSize, other.RowSize);
        ColBegin = colBegin;
        RowBegin = rowBegin;
    }

    // Gives the matrix colSize x rowSize elements; begins untouched.
    // - a negative size, or 2^31 or more elements: "Matrix Parameter Error",
    //   nothing changed;
    // - a held buffer of the same element count is kept (a reshape: the
    //   elements keep their stored order), so re-creating a matrix of the same
    //   size in a loop allocates nothing;
    // - otherwise the buffer is released and a new one of colSize x rowSize
    //   elements allocated (none for 0 elements); new elements are not set,
    //   except complex ones, which are 0 + 0i;
    // - a failed allocation leaves 0 x 0 without a buffer and throws
    //   "Cannot Get Memory".
    void GetMemory(int colSize, int rowSize)
    {
        if (colSize < 0 || rowSize < 0)
            LwMatrixDetail::ThrowError("Matrix Parameter Error");
        const std::int64_t count = LwMatrixDetail::CheckedCount(colSize, rowSize);
        if (count < 0)
            LwMatrixDetail::ThrowError("Matrix Parameter Error");
        if (buffer_ != nullptr && count == ElementCount()) {
            ColSize = colSize;
            RowSize = rowSize;
            return;
        }
        DeleteMemory();
        ColSize = colSize;
        RowSize = rowSize;
        if (count != 0) {
            // new T[] leaves arithmetic elements unset and value-initialises
            // std::complex ones to 0 + 0i.
            buffer_ = new (std::nothrow) T[static_cast<std::size_t>(count)];
            if (buffer_ == nullptr) {
                ColSize = 0;
                RowSize = 0;
                LwMatrixDetail::ThrowError("Cannot Get Memory");
            }
        }
    }

    // Releases the buffer. The sizes become 0 with it, so that the range check
    // never admits an index into a buffer that is gone; the begins stay.
    void DeleteMemory()
    {
        delete[] buffer_;
        buffer_ = nullptr;
        ColSize = 0;
        RowSize = 0;
    }

    // Buffer position of element (col, row). Outside the ranges: LwError
    // "Matrix over range. access=(col,row) size=(ColSize,RowSize)
    // begin=(ColBegin,RowBegin)FastReturn=true|false". The differences are
    // taken in 64 bits, so no index or begin can wrap into the range.
    int Index(int col, int row) const
    {
        const std::int64_t dc = static_cast<std::int64_t>(col) - ColBegin;
        const std::int64_t dr = static_cast<std::int64_t>(row) - RowBegin;
        if (LW_MATRIX_LIKELY(static_cast<std::uint64_t>(dc) < static_cast<std::uint64_t>(ColSize) &&
                             static_cast<std::uint64_t>(dr) < static_cast<std::uint64_t>(RowSize)))
            return static_cast<int>(dc + dr * ColSize);
        LwMatrixDetail::ThrowOverRange(col, row, ColSize, RowSize, ColBegin, RowBegin, FastReturn);
    }

    T& operator()(int col, int row) { return buffer_[Index(col, row)]; }
    const T& operator()(int col, int row) const { return buffer_[Index(col, row)]; }

    // Element i of a vector, i in the vector's own index range: (ColBegin, i)
    // of a column vector (ColSize 1, which includes 1 x 1) or of a 0 x 0
    // matrix (which fails with the range error), (i, RowBegin) of a row
    // vector; any other shape: "This is not vector".
    T& operator[](int i) { return buffer_[VectorIndex(i)]; }
    const T& operator[](int i) const { return buffer_[VectorIndex(i)]; }

    // Length of a vector: RowSize of a column vector (0 for 0 x 0), ColSize of
    // a row vector; any other shape: "This is not vector".
    int VectorSize() const { return IsColumnVector() ? RowSize : ColSize; }

    // First index of a vector: RowBegin of a column vector (or 0 x 0),
    // ColBegin of a row vector; any other shape: "This is not vector".
    int VectorBegin() const { return IsColumnVector() ? RowBegin : ColBegin; }

    bool IsEmpty() const { return ColSize == 0 || RowSize == 0; }

    void SetZero() { std::fill(buffer_, buffer_ + ElementCount(), T(0)); }

    // Every element 0, then 1 at (i, i) for every i that is both a valid column
    // and a valid row index: with unequal begins the ones lie on the diagonal
    // of equal index values, not of equal positions.
    void SetUnit()
    {
        SetZero();
        const std::int64_t first = std::max<std::int64_t>(ColBegin, RowBegin);
        const std::int64_t end = std::min(static_cast<std::int64_t>(ColBegin) + ColSize,
                                          static_cast<std::int64_t>(RowBegin) + RowSize);
        for (std::int64_t i = first; i < end; ++i)
            buffer_[(i - ColBegin) + (i - RowBegin) * ColSize] = T(1);
    }

    // Throws unless both have equal sizes and begins, testing in this order:
    // "ColSize or RowSize is different", "ColBegin is different",
    // "RowBegin is different". Any two classes of the family may be compared.
    template <class Other>
    void CheckSameSize(const Other& other) const
    {
        CheckSameSize(*this, other);
    }
    template <class A, class B>
    static void CheckSameSize(const A& a, const B& b)
    {
        if (a.ColSize != b.ColSize || a.RowSize != b.RowSize)
            LwMatrixDetail::ThrowError("ColSize or RowSize is different");
        if (a.ColBegin != b.ColBegin)
            LwMatrixDetail::ThrowError("ColBegin is different");
        if (a.RowBegin != b.RowBegin)
            LwMatrixDetail::ThrowError("RowBegin is different");
    }

    // The buffer in storage order (nullptr when the matrix holds no element)
    // and its length, for whole-buffer work: conversions, element-wise
    // operations, document forms, image transfer.
    T* Buffer() { return buffer_; }
    const T* Buffer() const { return buffer_; }
    int ElementCount() const { return static_cast<int>(static_cast<std::int64_t>(ColSize) * RowSize); }

    // Returns this matrix by value without copying elements: the result takes
    // the begins, sizes and buffer, carries FastReturn = `fastReturn`, and
    // this matrix is left 0 x 0 without a buffer. Operations build their
    // result in a local matrix and return local.Release(true) for a flagged
    // result or local.Release(false) for a result handed over unflagged.
    Derived Release(bool fastReturn) { return Derived(LwMatrixHandOver{}, *this, fastReturn); }

    // Fields, in this order. The sizes and the buffer are mutable because
    // reading a flagged matrix hands them over, also from a const one.
    mutable LwLong RowSize = 0;  // number of rows: range of the second index
    mutable LwLong ColSize = 0;  // number of columns: range of the first index
    LwLong RowBegin = 0;  // index of the first row
    LwLong ColBegin = 0;  // index of the first column
    bool FastReturn = false;  // a result handed over by value (see above)

private:
    // True for a column vector (ColSize 1, 1 x 1 included) or 0 x 0, false
    // for a row vector (RowSize 1); any other shape: "This is not vector".
    bool IsColumnVector() const
    {
        if (ColSize == 1 || (ColSize == 0 && RowSize == 0))
            return true;
        if (RowSize == 1)
            return false;
        LwMatrixDetail::ThrowError("This is not vector");
    }

    int VectorIndex(int i) const { return IsColumnVector() ? Index(ColBegin, i) : Index(i, RowBegin); }

    // Takes s's sizes and buffer (this holds none); s is left 0 x 0.
    void TakeBuffer(const LwMatrix2D& s)
    {
        ColSize = s.ColSize;
        RowSize = s.RowSize;
        buffer_ = s.buffer_;
        s.ColSize = 0;
        s.RowSize = 0;
        s.buffer_ = nullptr;
    }

    mutable T* buffer_ = nullptr;
};

// True when ColSize, RowSize, ColBegin and RowBegin are all equal.
template <class A, class B, class = std::enable_if_t<LwIsMatrix2D<A> && LwIsMatrix2D<B>>>
bool IsSameSize(const A& a, const B& b)
{
    return a.ColSize == b.ColSize && a.RowSize == b.RowSize && a.ColBegin == b.ColBegin &&
           a.RowBegin == b.RowBegin;
}

class LwFloatMatrix : public LwMatrix2D<float, LwFloatMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;
};

class LwDoubleMatrix : public LwMatrix2D<double, LwDoubleMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;
};

// The physics matrix. Its arithmetic is defined in LwMatrixArithmetic.cpp.
class LwLDoubleMatrix : public LwMatrix2D<LDouble, LwLDoubleMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;

    // Matrix product: element (c, r) of the result is the sum over k, in
    // increasing k from ColBegin, of this(k, r) * b(c, k), i.e. row r of this
    // times column c of b. Needs ColSize == b.RowSize ("Matrix * operation:
    // Size Illigal") and ColBegin == b.RowBegin ("Matrix * operation: begin
    // err"); the result is b.ColSize x RowSize with begins (b.ColBegin,
    // RowBegin), not flagged; a later failure is " * operator Error".
    LwLDoubleMatrix operator*(const LwLDoubleMatrix& b) const;
    // Every element times s, this matrix's shape and begins; flagged.
    // Failure: "* operator Error".
    LwLDoubleMatrix operator*(const LDouble& s) const;
    // Element-wise difference and sum of matrices of equal sizes and begins;
    // flagged. Any failure, unequal shapes included: "- operator Error",
    // "+ operator Error".
    LwLDoubleMatrix operator-(const LwLDoubleMatrix& b) const;
    LwLDoubleMatrix operator+(const LwLDoubleMatrix& b) const;
    // In place; += throws CheckSameSize's texts before changing anything.
    LwLDoubleMatrix& operator+=(const LwLDoubleMatrix& b);
    LwLDoubleMatrix& operator*=(LDouble s);
};

// s times every element of a; flagged (the same as a * s).
LwLDoubleMatrix operator*(const LDouble& s, const LwLDoubleMatrix& a);

class LwLComplexMatrix : public LwMatrix2D<LComplex, LwLComplexMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;

    // Element-wise sum of matrices of equal sizes and begins; flagged. Any
    // failure, unequal shapes included: "+ operator Error".
    LwLComplexMatrix operator+(const LwLComplexMatrix& b) const;
};

class LwCharMatrix : public LwMatrix2D<signed char, LwCharMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;
};

class LwLongMatrix : public LwMatrix2D<LwLong, LwLongMatrix>
{
public:
    using LwMatrix2D::LwMatrix2D;
};
