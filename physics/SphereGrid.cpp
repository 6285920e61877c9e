#include "physics/SphereGrid.h"

#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>

void MakeSphereGrid(LwLong n, std::vector<double>& u, std::vector<LwLong>& thetaIndex,
                    std::vector<LwLong>& phiIndex)
{
    assert(n >= 0 && n <= 40);
    u.clear();
    thetaIndex.clear();
    phiIndex.clear();
    if (n == 0) {
        u.push_back(0.0);
        thetaIndex.push_back(0);
        phiIndex.push_back(0);
        return;
    }

    const LwLong h = (n - 1) / 2;
    const std::int64_t M = std::int64_t(1) << h;
    // 2^(h+1) is a power of two, so every coordinate is exact.
    const double denominator = std::ldexp(1.0, h + 1);
    const std::size_t count = std::size_t(1) << (n - 1);
    thetaIndex.reserve(count);
    phiIndex.reserve(count);

    if (n % 2 == 1) {
        u.resize(std::size_t(M));
        for (std::int64_t i = 0; i < M; ++i)
            u[std::size_t(i)] = double(2 * i + 1) / denominator;
        for (std::int64_t a = 0; a < M; ++a)
            for (std::int64_t b = 0; b < M; ++b) {
                thetaIndex.push_back(LwLong(a));
                phiIndex.push_back(LwLong(b));
            }
    } else {
        u.resize(std::size_t(2 * M));
        for (std::int64_t i = 0; i < 2 * M; ++i)
            u[std::size_t(i)] = double(i) / denominator;
        for (std::int64_t a = 0; a < M; ++a)
            for (std::int64_t b = 0; b < M; ++b) {
                thetaIndex.push_back(LwLong(2 * a + 1));
                phiIndex.push_back(LwLong(2 * b));
                thetaIndex.push_back(LwLong(2 * b));
                phiIndex.push_back(LwLong(2 * a + 1));
            }
    }
}
