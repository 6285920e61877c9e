#pragma once
// The normal equations A c = b of a linear least-squares fit, solved by a
// Cholesky factorisation of the equilibrated matrix, with an estimate of how
// ill-conditioned the system is.
//
// A is the Gram matrix of the fit's basis functions over the samples:
// symmetric and positive semi-definite, N x N. It is first scaled to a unit
// diagonal, D A D with D = diag(1 / sqrt(A(k, k))), which leaves the
// least-squares solution unchanged (c = D y with (D A D) y = D b) and makes
// the condition number a property of the basis' span rather than of the
// functions' norms. The scaled matrix is factored as R^T R (R upper
// triangular) in LDouble arithmetic without pivoting, which is backward
// stable for a positive definite matrix; a pivot that is not clearly
// positive ends the factorisation there.
//
// Nested fits. The factor of a leading n x n block of A is the leading block
// of R, so one factorisation serves every leading block: a fit whose basis
// is ordered by degree (lower degrees first) answers for every lower degree
// too. The condition number of a leading block never exceeds that of a
// larger one (Cauchy interlacing), so the usable blocks are those up to some
// size.
//
// Accuracy: a computed solution has a relative error of roughly
// Condition() x the rounding of the sums that built A; Condition() is an
// estimate of the 2-norm condition number of the scaled block (a lower bound
// that is accurate to a few per cent for the matrices of these fits), by
// power iterations on the block and on its inverse.
//
// The object holds its own copies; it may be read by several threads.

#include "core/LwMatrix.h"
#include "core/LwTypes.h"

#include <vector>

class RfaNormalEquations
{
public:
    // Factors the symmetric matrix `a` (square, begins 0; element (i, j) and
    // (j, i) must agree, only those with i >= j are read). An empty matrix
    // gives Size() 0.
    explicit RfaNormalEquations(const LwLDoubleMatrix& a);

    int Size() const { return n_; }
    // The size of the leading block whose factorisation succeeded: every
    // diagonal element positive and every pivot clearly positive.
    int FactoredSize() const { return factored_; }
    // Estimated 2-norm condition number of the scaled leading n x n block,
    // 1 <= n <= Size(); +infinity when n > FactoredSize().
    LDouble Condition(int n) const;
    // The solution of the leading n x n system with the first n entries of
    // b; n <= FactoredSize(), b.size() >= n.
    std::vector<LDouble> Solve(const std::vector<LDouble>& b, int n) const;

private:
    // y = R_n^{-1} R_n^{-T} x in place (x has n entries): the inverse of the
    // scaled leading block applied to x.
    void ApplyInverse(std::vector<LDouble>& x, int n) const;
    LDouble Scaled(int i, int j) const;  // element of D A D, i >= j

    int n_ = 0;
    int factored_ = 0;
    std::vector<LDouble> scale_;  // the diagonal of D
    std::vector<LDouble> lower_;  // A's lower triangle, packed by rows
    std::vector<LDouble> r_;  // R, packed by columns: column j holds R(0..j, j)
};
