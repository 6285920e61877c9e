#include "physics/LwAtomicPotentialTable.h"

#include "core/LwError.h"
#include "physics/CubicSpline.h"

#include <cmath>
#include <cstddef>

void LwAtomicPotentialTable::PrepareSpline()
{
    const std::size_t n = b.size();
    if (n < 2 || a.size() != n || x.size() != n)
        throw LwError("Potential table needs at least two grid points with radius, x and potential each");
    f.resize(n);
    f2.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        f[i] = b[i] * a[i];
    CalcSplineSecondDerivatives(yp1, ypn, x, f, f2);
}

double LwAtomicPotentialTable::GetPotential(double xv) const
{
    const std::size_t n = b.size();
    if (n < 2 || x.size() != n || f.size() != n || f2.size() != n)
        throw LwError("Potential spline is not prepared");
    if (xv < x[0])
        return b[0];
    if (xv >= x[n - 1])
        return 0.0;
    if (xv == x[0])
        return f[0] / std::exp(xv);
    return SplineInterpolate(xv, x, f, f2) / std::exp(xv);
}
