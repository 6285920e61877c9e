// Correlation of every ring of a square image with itself when turned about
// the image centre.

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwMatrixOperatorDetail.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// Number of turn steps summed side by side: independent float accumulators
// keep the processor's adders busy while each sum still adds its products
// one after another in ring order.
constexpr int kLagBlock = 8;

// C(m, L) for every lag L of one ring: ring holds the ring's nphi samples
// twice in a row, so that sample (u + L) mod nphi is ring[u + L].
void RingCorrelation(const std::vector<float>& ring, int nphi, float* out)
{
    int lag = 0;
    for (; lag + kLagBlock <= nphi; lag += kLagBlock) {
        float acc[kLagBlock] = {};
        for (int u = 0; u < nphi; ++u) {
            const float p = ring[static_cast<std::size_t>(u)];
            const float* q = &ring[static_cast<std::size_t>(u + lag)];
            for (int l = 0; l < kLagBlock; ++l)
                acc[l] += p * q[l];
        }
        for (int l = 0; l < kLagBlock; ++l)
            out[lag + l] = acc[l];
    }
    for (; lag < nphi; ++lag) {
        float acc = 0.0f;
        for (int u = 0; u < nphi; ++u)
            acc += ring[static_cast<std::size_t>(u)] * ring[static_cast<std::size_t>(u + lag)];
        out[lag] = acc;
    }
}

}  // namespace

LwFloatMatrix LwMatrixOperator::CorrelationAlongAzimuthal(const LwFloatMatrix& image, bool skipZero)
{
    if (image.RowSize != image.ColSize)
        throw LwError("Correlation along azimuthal: vertical and horizontal size is not same");
    LwFloatMatrix result = MatrixNewLike(image);
    result.SetZero();
    if (image.ColSize == 0)
        return result.Release(false);

    const int c0 = image.ColBegin;
    const int c1 = c0 + image.ColSize - 1;
    const int r0 = image.RowBegin;
    const int r1 = r0 + image.RowSize - 1;
    const float xc = static_cast<float>(c1 + static_cast<std::int64_t>(c0)) * 0.5f;
    const float yc = static_cast<float>(r0 + static_cast<std::int64_t>(r1)) * 0.5f;
    const float R = xc - static_cast<float>(c0);
    const int nr = static_cast<int>(2 * R);
    const int nphi = static_cast<int>(2 * (2 * LwConst::Pi * static_cast<LDouble>(R)));
    if (nr <= 0 || nphi <= 0)
        return result.Release(false);

    // Polar table P: column m is the radius m / 2, row k the angle k 2 pi / nphi.
    LwFloatMatrix polar(nr, nphi);
    polar.SetZero();
    const LDouble dphi = 2 * LwConst::Pi / nphi;
    ParallelFor(nphi, [&](int k) {
        const LDouble phi = k * dphi;
        const LDouble cosPhi = std::cos(phi);
        const LDouble sinPhi = std::sin(phi);
        float* row = polar.Buffer() + static_cast<std::int64_t>(k) * nr;
        for (int m = 0; m < nr; ++m) {
            const LDouble x = std::floor(xc + LDouble(0.5) * m * cosPhi + LDouble(0.5));
            const LDouble y = std::floor(yc + LDouble(0.5) * m * sinPhi + LDouble(0.5));
            if (x >= c0 && x <= c1 && y >= r0 && y <= r1)
                row[m] = image(static_cast<int>(x), static_cast<int>(y));
        }
    });

    // C(m, L) = sum over u of P(m, u) P(m, (u + L) mod nphi), in float and in
    // increasing u, one ring per item.
    LwFloatMatrix correlation(nr, nphi);
    ParallelFor(nr, [&](int m) {
        std::vector<float> ring(2 * static_cast<std::size_t>(nphi));
        for (int u = 0; u < nphi; ++u)
            ring[static_cast<std::size_t>(u)] = ring[static_cast<std::size_t>(u + nphi)] =
                polar.Buffer()[m + static_cast<std::int64_t>(u) * nr];
        std::vector<float> lags(static_cast<std::size_t>(nphi));
        RingCorrelation(ring, nphi, lags.data());
        for (int lag = 0; lag < nphi; ++lag)
            correlation.Buffer()[m + static_cast<std::int64_t>(lag) * nr] =
                lags[static_cast<std::size_t>(lag)];
    });

    // Squared ring means (0 where P is 0 when zeros are skipped).
    const LwFloatMatrix means = ColumnMeanImage(polar, skipZero);
    const LwFloatMatrix norm = MatrixElementProduct(means, means);

    const LDouble twoR = 2 * static_cast<LDouble>(R);
    const int cols = image.ColSize;
    ParallelFor(image.RowSize, [&](int j) {
        const int y = r0 + j;
        for (int i = 0; i < cols; ++i) {
            const int x = c0 + i;
            const float dx = static_cast<float>(x) - xc;
            const float dy = static_cast<float>(y) - yc;
            const LDouble r = std::sqrt(static_cast<LDouble>(dx) * dx + static_cast<LDouble>(dy) * dy);
            LDouble phi = 0;
            if (dx != 0.0f || dy != 0.0f) {
                phi = std::atan2(static_cast<LDouble>(dy), static_cast<LDouble>(dx));
                if (phi < 0)
                    phi += 2 * LwConst::Pi;
            }
            const LDouble m = std::floor(2 * r + LDouble(0.5));
            const LDouble lag = std::floor(twoR * phi + LDouble(0.5));
            if (m < 0 || m >= nr || lag < 0 || lag >= nphi)
                continue;
            const std::int64_t k = static_cast<std::int64_t>(m) + static_cast<std::int64_t>(lag) * nr;
            const float n = norm.Buffer()[k];
            if (n != 0.0f)
                result.Buffer()[i + static_cast<std::int64_t>(j) * cols] =
                    static_cast<float>(correlation.Buffer()[k] / n);
        }
    });
    return result.Release(false);
}
