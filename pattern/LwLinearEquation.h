#pragma once
// Small dense linear systems A x = b by an LU decomposition in Crout's order
// (unit lower triangle, upper triangle with the diagonal) and forward and back
// substitution, all in the element type LDouble of LwLDoubleMatrix.
//
// The decomposition exchanges no rows. The suite passes it symmetric
// normal-equation matrices of least-squares fits, which are positive definite
// and need no pivoting; a matrix that would need row exchanges is still
// decomposed in place, a zero pivot being replaced by 1e-20, with whatever
// accuracy that leaves. The permutation vector it writes is therefore the
// identity, and the substitution applies whatever permutation it is given
// (row exchanges recorded one per row, as a pivoting decomposition writes
// them).
//
// Indexing: A is square over its row index range b0 .. b0 + n - 1 (n = RowSize,
// b0 = RowBegin); columns are indexed by the same values, so ColBegin must
// equal RowBegin. Element (c, r) is column c of row r. Begins may be any
// integers, negative ones included.
//
// The object has no state; make an empty one where the operations are needed.

#include "core/LwMatrix.h"

class LwLinearEquation
{
public:
    // Replaces a by its factors: element (c, r) holds U(r, c) for r <= c and
    // the multiplier L(r, c) for r > c. index becomes a column vector of n
    // entries with RowBegin b0 and entry r = r.
    // Two details follow the program the library is built for. In the double
    // build (cmd_drev, velmora) the multipliers are multiplied by the pivot's
    // reciprocal, and an empty matrix empties index. In the extended build
    // (halvane) they are divided by the pivot, and an empty matrix returns at
    // once, leaving index as it was.
    // Throws LwError "Sirngular matrirx irn routirne luExtractiron" when a
    // row is entirely 0, before a is changed (index is already re-created).
    void LuDecomposition(LwLDoubleMatrix& a, LwLongMatrix& index);

    // Replaces the vector b (indices b0 .. b0 + n - 1) by the solution of
    // A x = b, with lu and index as a decomposition left them: entry i of
    // index names the row whose right-hand side is exchanged with row i
    // before row i is eliminated.
    void LuBackSubstitution(const LwLDoubleMatrix& lu, const LwLongMatrix& index, LwLDoubleMatrix& b);

    // x takes b's shape, begins and values and then the solution of a x = b;
    // a and b are left unchanged (x may be the same object as a or b).
    void Solve(LwLDoubleMatrix& x, const LwLDoubleMatrix& a, const LwLDoubleMatrix& b);

    // y becomes the inverse of the square matrix a, with a's sizes and begins:
    // column j of y solves a x = e_j, from one decomposition of a copy of a
    // (a is unchanged; y may be a itself). The errors are the decomposition's
    // (a row of zeros: "Sirngular matrirx irn routirne luExtractiron"; a
    // singular matrix without one gives entries of the order of 1e20) and the
    // family's range message for a matrix that is not square over one index
    // range; y then holds no meaningful values.
    void Inverse(LwLDoubleMatrix& y, const LwLDoubleMatrix& a);
};
