#pragma once
// Images and helpers shared by the LwMatrixOperator tests.

#include "core/LwMatrix.h"

#include <omp.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <type_traits>

namespace imageops_test {

// cols x rows with the given begins, element (c, r) = f(c, r) (absolute indices).
template <class M = LwFloatMatrix, class F>
M MakeMatrix(int cols, int rows, int colBegin, int rowBegin, F f)
{
    M m(cols, rows);
    m.ColBegin = colBegin;
    m.RowBegin = rowBegin;
    for (int r = rowBegin; r < rowBegin + rows; ++r)
        for (int c = colBegin; c < colBegin + cols; ++c)
            m(c, r) = f(c, r);
    return m;
}

// Reproducible pseudo-random pixels in [low, high); about one in `zeroEvery`
// is exactly 0 (0: none).
inline LwFloatMatrix RandomImage(int cols, int rows, int colBegin, int rowBegin, unsigned seed,
                                 float low = -5.0f, float high = 20.0f, int zeroEvery = 0)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> value(low, high);
    std::uniform_int_distribution<int> pick(0, zeroEvery > 0 ? zeroEvery - 1 : 0);
    return MakeMatrix(cols, rows, colBegin, rowBegin, [&](int, int) {
        const float v = value(engine);
        return zeroEvery > 0 && pick(engine) == 0 ? 0.0f : v;
    });
}

// Equal values, distinguishing -0 from +0 and taking NaN as equal to NaN.
// (Compared by value: the 80-bit type's padding bytes hold no value.)
template <class T>
bool SameValue(const T& a, const T& b)
{
    if constexpr (std::is_floating_point<T>::value)
        return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
    else if constexpr (std::is_integral<T>::value)
        return a == b;
    else
        return SameValue(a.real(), b.real()) && SameValue(a.imag(), b.imag());
}

// Equal sizes, begins and elements (SameValue).
template <class M>
bool SameElements(const M& a, const M& b)
{
    if (a.ColSize != b.ColSize || a.RowSize != b.RowSize || a.ColBegin != b.ColBegin ||
        a.RowBegin != b.RowBegin)
        return false;
    for (int k = 0; k < a.ElementCount(); ++k)
        if (!SameValue(a.Buffer()[k], b.Buffer()[k]))
            return false;
    return true;
}

// Runs f with OpenMP limited to `threads` threads, then restores the setting.
template <class F>
auto WithThreads(int threads, F f)
{
    const int before = omp_get_max_threads();
    omp_set_num_threads(threads);
    struct Restore
    {
        int n;
        ~Restore() { omp_set_num_threads(n); }
    } restore{before};
    return f();
}

// The machine's thread count, at least 4, so that a comparison with one
// thread splits the work even on a small machine.
inline int ManyThreads()
{
    const int n = omp_get_num_procs();
    return n < 4 ? 4 : n;
}

}  // namespace imageops_test
