#include "apps/halvane/engine/RfaNormalEquations.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace {

// Position of (i, j), i <= j, in a triangle packed by columns; the same
// position holds (j, i) of a lower triangle packed by rows.
std::size_t Packed(int i, int j)
{
    return static_cast<std::size_t>(j) * static_cast<std::size_t>(j + 1) / 2 + static_cast<std::size_t>(i);
}

// Power iterations: enough for the estimate to settle to a few per cent on
// the fits' matrices, whose extreme eigenvalues are well separated; the loop
// stops earlier once the Rayleigh quotient changes by less than kSettled.
constexpr int kIterations = 60;
constexpr LDouble kSettled = 1e-6L;

// x scaled to unit Euclidean length; false when it has none.
bool Normalise(std::vector<LDouble>& x)
{
    LDouble s = 0;
    for (const LDouble v : x)
        s += v * v;
    if (!(s > 0) || !std::isfinite(s))
        return false;
    const LDouble f = 1 / std::sqrt(s);
    for (LDouble& v : x)
        v *= f;
    return true;
}

// Largest eigenvalue of a symmetric positive semi-definite operator `apply`
// on vectors of n entries, by the power method from a start vector with no
// zero entry.
template <class Apply>
LDouble LargestEigenvalue(int n, Apply apply)
{
    std::vector<LDouble> x(static_cast<std::size_t>(n));
    // A start vector with no component of any eigenvector forced to 0: all
    // entries positive and not in a pattern that a symmetry of the basis
    // could cancel.
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = 1 + 0.5L * std::sin(static_cast<LDouble>(i) * 1.3L + 0.4L);
    Normalise(x);
    LDouble lambda = 0;
    for (int it = 0; it < kIterations; ++it) {
        std::vector<LDouble> y = x;
        apply(y);
        LDouble q = 0;
        for (int i = 0; i < n; ++i)
            q += x[static_cast<std::size_t>(i)] * y[static_cast<std::size_t>(i)];
        if (!std::isfinite(q))
            return std::numeric_limits<LDouble>::infinity();
        const bool settled = std::fabs(q - lambda) <= kSettled * std::fabs(q);
        lambda = q;
        if (!Normalise(y) || settled)
            break;
        x = y;
    }
    return lambda;
}

}  // namespace

RfaNormalEquations::RfaNormalEquations(const LwLDoubleMatrix& a) : n_(a.RowSize)
{
    const std::size_t count = Packed(0, n_);
    scale_.assign(static_cast<std::size_t>(n_), 0);
    lower_.assign(count, 0);
    for (int i = 0; i < n_; ++i) {
        const LDouble d = a(i, i);
        scale_[static_cast<std::size_t>(i)] = d > 0 && std::isfinite(d) ? 1 / std::sqrt(d) : 0;
    }
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j <= i; ++j)
            lower_[Packed(j, i)] =
                a(j, i) * scale_[static_cast<std::size_t>(i)] * scale_[static_cast<std::size_t>(j)];

    // Cholesky by columns: column j of R from the columns before it. A pivot
    // below the rounding unit of the unit diagonal is rounding noise: the
    // block is singular to working precision.
    r_ = lower_;
    const LDouble tiny = std::numeric_limits<LDouble>::epsilon();
    for (int j = 0; j < n_; ++j) {
        if (scale_[static_cast<std::size_t>(j)] == 0)
            return;
        LDouble* cj = &r_[Packed(0, j)];
        for (int i = 0; i < j; ++i) {
            const LDouble* ci = &r_[Packed(0, i)];
            LDouble s = cj[i];
            for (int k = 0; k < i; ++k)
                s -= ci[k] * cj[k];
            cj[i] = s / ci[i];
        }
        LDouble d = cj[j];
        for (int k = 0; k < j; ++k)
            d -= cj[k] * cj[k];
        if (!(d > tiny) || !std::isfinite(d))
            return;
        cj[j] = std::sqrt(d);
        factored_ = j + 1;
    }
}

LDouble RfaNormalEquations::Scaled(int i, int j) const
{
    return lower_[Packed(j, i)];
}

void RfaNormalEquations::ApplyInverse(std::vector<LDouble>& x, int n) const
{
    // R^T z = x (forward), then R y = z (back).
    for (int j = 0; j < n; ++j) {
        const LDouble* cj = &r_[Packed(0, j)];
        LDouble s = x[static_cast<std::size_t>(j)];
        for (int k = 0; k < j; ++k)
            s -= cj[k] * x[static_cast<std::size_t>(k)];
        x[static_cast<std::size_t>(j)] = s / cj[j];
    }
    for (int j = n - 1; j >= 0; --j) {
        const LDouble* cj = &r_[Packed(0, j)];
        const LDouble y = x[static_cast<std::size_t>(j)] / cj[j];
        x[static_cast<std::size_t>(j)] = y;
        for (int k = 0; k < j; ++k)
            x[static_cast<std::size_t>(k)] -= cj[k] * y;
    }
}

LDouble RfaNormalEquations::Condition(int n) const
{
    if (n > factored_ || n < 1)
        return std::numeric_limits<LDouble>::infinity();
    const LDouble largest = LargestEigenvalue(n, [&](std::vector<LDouble>& x) {
        std::vector<LDouble> y(x.size(), 0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j <= i; ++j) {
                const LDouble s = Scaled(i, j);
                y[static_cast<std::size_t>(i)] += s * x[static_cast<std::size_t>(j)];
                if (j != i)
                    y[static_cast<std::size_t>(j)] += s * x[static_cast<std::size_t>(i)];
            }
        x = y;
    });
    const LDouble inverseLargest = LargestEigenvalue(n, [&](std::vector<LDouble>& x) { ApplyInverse(x, n); });
    return largest * inverseLargest;
}

std::vector<LDouble> RfaNormalEquations::Solve(const std::vector<LDouble>& b, int n) const
{
    std::vector<LDouble> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = b[static_cast<std::size_t>(i)] * scale_[static_cast<std::size_t>(i)];
    ApplyInverse(x, n);
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] *= scale_[static_cast<std::size_t>(i)];
    return x;
}
