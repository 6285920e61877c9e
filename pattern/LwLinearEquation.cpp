#include "pattern/LwLinearEquation.h"

#include "core/LwError.h"

#include <algorithm>
#include <cmath>

namespace {

// target takes the shape, begins and values of source. Unlike the family's
// copy it never takes over the buffer of a matrix flagged as a returned
// result, so the source is left as it was in every case.
void CopyElements(LwLDoubleMatrix& target, const LwLDoubleMatrix& source)
{
    target.CreateLike(source);
    target.FastReturn = false;
    for (int r = source.RowBegin; r < source.RowBegin + source.RowSize; ++r)
        for (int c = source.ColBegin; c < source.ColBegin + source.ColSize; ++c)
            target(c, r) = source(c, r);
}

}  // namespace

void LwLinearEquation::LuDecomposition(LwLDoubleMatrix& a, LwLongMatrix& index)
{
    const int n = a.RowSize;
    const int b0 = a.RowBegin;
    const int e = b0 + n - 1;

#if LW_EXTENDED_LDOUBLE
    // halvane's decomposition leaves everything, the permutation vector
    // included, as it is for an empty matrix.
    if (n == 0)
        return;
#endif
    index.Create(n);
    index.RowBegin = b0;

    // A row of zeros makes the matrix singular whatever the elimination
    // order; it is reported before anything is changed.
    for (int r = b0; r <= e; ++r) {
        LDouble largest = 0.0;
        for (int c = b0; c <= e; ++c)
            largest = std::max(largest, std::fabs(a(c, r)));
        if (largest == 0.0)
            throw LwError("Sirngular matrirx irn routirne luExtractiron");
    }

    for (int j = b0; j <= e; ++j) {
        // Column j of U (rows above and on the diagonal) and of L before its
        // division by the pivot (rows below): both subtract the products of
        // the factors already known, min(i, j) - b0 terms, in increasing k.
        for (int i = b0; i <= e; ++i) {
            LDouble s = a(j, i);
            const int kEnd = std::min(i, j);
            for (int k = b0; k < kEnd; ++k)
                s -= a(k, i) * a(j, k);
            a(j, i) = s;
        }
        index[j] = j;
        // A zero pivot is no error: it is replaced by a tiny value and the
        // decomposition goes on without exchanging rows.
        if (a(j, j) == 0.0)
            a(j, j) = 1e-20;
#if LW_EXTENDED_LDOUBLE
        // halvane divides every multiplier by the pivot.
        for (int i = j + 1; i <= e; ++i)
            a(j, i) /= a(j, j);
#else
        // cmd_drev and velmora multiply by the pivot's reciprocal (one
        // division per column; the results may differ in the last bit).
        if (j < e) {
            const LDouble d = 1.0 / a(j, j);
            for (int i = j + 1; i <= e; ++i)
                a(j, i) *= d;
        }
#endif
    }
}

void LwLinearEquation::LuBackSubstitution(const LwLDoubleMatrix& lu, const LwLongMatrix& index,
                                          LwLDoubleMatrix& b)
{
    const int b0 = lu.RowBegin;
    const int e = b0 + lu.RowSize - 1;

    // Forward pass with the unit lower triangle. Until the first non-zero
    // right-hand side value, every earlier solution value is 0 and no sum is
    // formed; this saves most of the work for unit vectors.
    bool started = false;
    int first = b0;
    for (int i = b0; i <= e; ++i) {
        const int p = index[i];
        LDouble s = b[p];
        b[p] = b[i];
        if (started) {
            for (int j = first; j < i; ++j)
                s -= lu(j, i) * b[j];
        } else if (s != 0.0) {
            started = true;
            first = i;
        }
        b[i] = s;
    }

    // Backward pass with the upper triangle and its diagonal.
    for (int i = e; i >= b0; --i) {
        LDouble s = b[i];
        for (int j = i + 1; j <= e; ++j)
            s -= lu(j, i) * b[j];
        b[i] = s / lu(i, i);
    }
}

void LwLinearEquation::Solve(LwLDoubleMatrix& x, const LwLDoubleMatrix& a, const LwLDoubleMatrix& b)
{
    // a is copied before x is written, so that x may be a itself.
    LwLDoubleMatrix lu;
    CopyElements(lu, a);
    if (&x != &b)
        CopyElements(x, b);
    LwLongMatrix index;
    LuDecomposition(lu, index);
    LuBackSubstitution(lu, index, x);
}

void LwLinearEquation::Inverse(LwLDoubleMatrix& y, const LwLDoubleMatrix& a)
{
    // a is copied before y is resized, so that y may be a itself.
    LwLDoubleMatrix lu;
    CopyElements(lu, a);
    y.CreateLike(a);
    y.FastReturn = false;
    LwLongMatrix index;
    LuDecomposition(lu, index);

    // One unit right-hand side per column; the forward pass skips the rows
    // above its 1.
    LwLDoubleMatrix b(lu.RowSize);
    b.RowBegin = lu.RowBegin;
    for (int j = a.ColBegin; j < a.ColBegin + a.ColSize; ++j) {
        b.SetZero();
        b[j] = 1;
        LuBackSubstitution(lu, index, b);
        for (int i = b.RowBegin; i < b.RowBegin + b.RowSize; ++i)
            y(j, i) = b[i];
    }
}
