#include "physics/CubicSpline.h"

#include "core/LwError.h"

#include <cstddef>

void CalcSplineSecondDerivatives(double yp1, double ypn, const std::vector<double>& x,
                                 const std::vector<double>& f, std::vector<double>& f2)
{
    const std::size_t n = x.size();
    if (n < 2 || f.size() != n)
        throw LwError("Spline needs at least two points and one value per point");
    f2.resize(n);
    std::vector<double> u(n);

    if (yp1 > kSplineNaturalEnd) {
        f2[0] = 0.0;
        u[0] = 0.0;
    } else {
        const double h0 = x[1] - x[0];
        f2[0] = -0.5;
        u[0] = (3.0 / h0) * ((f[1] - f[0]) / h0 - yp1);
    }

    // Forward sweep of the tridiagonal system; f2 temporarily holds the
    // eliminated super-diagonal.
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * f2[i - 1] + 2.0;
        f2[i] = (sig - 1.0) / p;
        u[i] = (6.0 * ((f[i + 1] - f[i]) / (x[i + 1] - x[i]) - (f[i] - f[i - 1]) / (x[i] - x[i - 1])) /
                    (x[i + 1] - x[i - 1]) -
                sig * u[i - 1]) /
               p;
    }

    double q = 0.0;
    double w = 0.0;
    if (!(ypn > kSplineNaturalEnd)) {
        const double h = x[n - 1] - x[n - 2];
        q = 0.5;
        w = (3.0 / h) * (ypn - (f[n - 1] - f[n - 2]) / h);
    }
    f2[n - 1] = (w - q * u[n - 2]) / (q * f2[n - 2] + 1.0);

    for (std::size_t k = n - 1; k-- > 0;)
        f2[k] = f2[k] * f2[k + 1] + u[k];
}

double SplineInterpolate(double x, const std::vector<double>& grid, const std::vector<double>& f,
                         const std::vector<double>& f2)
{
    const std::size_t n = grid.size();
    if (n < 2 || f.size() != n || f2.size() != n)
        throw LwError("Spline needs at least two points and one value per point");

    std::size_t lo = 0;
    std::size_t hi = n - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (hi + lo) / 2;
        if (grid[mid] > x)
            hi = mid;
        else
            lo = mid;
    }
    const double d = grid[hi] - grid[lo];
    const double a = (grid[hi] - x) / d;
    const double b = (x - grid[lo]) / d;
    return ((a * a * a - a) * f2[lo] + (b * b * b - b) * f2[hi]) * (d * d) / 6.0 + (a * f[lo] + b * f[hi]);
}
