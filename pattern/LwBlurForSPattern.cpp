#include "pattern/LwBlurForSPattern.h"

#include "core/LwConstants.h"
#include "core/LwError.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Output of input's shape (begins 0), all elements 0.
LwFloatMatrix ZeroLike(const LwFloatMatrix& input)
{
    LwFloatMatrix m(input.ColSize, input.RowSize);
    m.SetZero();
    return m;
}

// Copy of input's elements into a matrix with begins 0.
LwFloatMatrix CopyOf(const LwFloatMatrix& input)
{
    LwFloatMatrix m = ZeroLike(input);
    for (int r = 0; r < input.RowSize; ++r)
        for (int c = 0; c < input.ColSize; ++c)
            m(c, r) = input(input.ColBegin + c, input.RowBegin + r);
    return m;
}

// Nearest row of cos(theta) = z on a grid of nr rows from -1 to 1; NaN or a
// z outside the grid throws `message`.
int NearestRow(double z, int nr, const char* message)
{
    const double iz = std::floor((nr - 1) * (z + 1) * 0.5 + 0.5);
    if (!(iz >= 0 && iz <= nr - 1))
        throw LwError(message);
    return static_cast<int>(iz);
}

}  // namespace

LwGaussTriple LwBlurForSPattern::FuncGauss(double sigma)
{
    if (!(sigma > 0))
        throw LwError("FuncGauss: Sigma should be positive");
    return {sigma, -1.0 / (2 * sigma * sigma), 1.0 / std::sqrt(2 * LwConst::Pi * sigma * sigma)};
}

void LwBlurForSPattern::Calculate()
{
    LwFloatMatrix angular;
    Ver5(angular, Input, AngularWidth);
    ColumnBlur(Output, angular, ColumnStep, ColumnSigma);
}

bool LwBlurForSPattern::BeginRowBlur(LwFloatMatrix& output, const LwFloatMatrix& input)
{
    SetProgress(0);
    ProgressMax = input.RowSize;
    if (input.RowSize < 2) {
        output = CopyOf(input);
        return false;
    }
    output = ZeroLike(input);
    return true;
}

void LwBlurForSPattern::Ver5(LwFloatMatrix& output, const LwFloatMatrix& input, double sigmaDeg)
{
    const int nr = input.RowSize;
    const int nc = input.ColSize;
    if (!BeginRowBlur(output, input))
        return;
    const double dz = 2.0 / (nr - 1);
    const double sigma = sigmaDeg * LwConst::Pi / 180;
    const double a = 1 / (2 * sigma * sigma);
    const int n = std::max(static_cast<int>(sigma / dz * 4), 20);
    const double d = sigma / n;
    const int n3 = 3 * n;
    std::vector<double> sum(static_cast<size_t>(nc));
    auto gather = [&](int iz, double w) {
        for (int c = 0; c < nc; ++c)
            sum[static_cast<size_t>(c)] += input(input.ColBegin + c, input.RowBegin + iz) * w;
    };
    for (int r = 0; r < nr; ++r) {
        const double z0 = r * dz - 1;
        if (z0 < -1 || z0 > 1)
            throw LwError("LwBlurForSPattern::Ver5() ERROR z0<-1 || z0>1");
        const double s0 = std::sqrt(1 - z0 * z0);
        double weightSum = 0;
        std::fill(sum.begin(), sum.end(), 0.0);
        for (int i = -n3; i <= n3; ++i) {
            const double u = i * d;
            const double w = std::exp(-(u * u) * a);
            const double z = std::sqrt(1 - u * u) * z0 - u * s0;
            gather(NearestRow(z, nr, "z0<-1 || z0>1 ERR iz<0 || iz>=nr"), w);
            weightSum += w;
        }
        for (int i = -n3; i <= n3; ++i) {
            const double u = i * d;
            for (int j = 1; j <= n3; ++j) {
                if (i * i + j * j > n3 * n3)
                    continue;
                const double v = j * d;
                const double w = std::exp(-(u * u + v * v) * a);
                const double z = std::sqrt(1 - u * u - v * v) * z0 - u * s0;
                // (u, v) and (u, -v) land on the same row.
                gather(NearestRow(z, nr, "ERR"), 2 * w);
                weightSum += 2 * w;
            }
        }
        for (int c = 0; c < nc; ++c)
            output(c, r) = static_cast<float>(sum[static_cast<size_t>(c)] / weightSum);
        AddProgress();
    }
}

void LwBlurForSPattern::Ver6(LwFloatMatrix& output, const LwFloatMatrix& input, double sigmaDeg)
{
    const int nr = input.RowSize;
    const int nc = input.ColSize;
    if (!BeginRowBlur(output, input))
        return;
    const double dz = 2.0 / (nr - 1);
    const double sigma = sigmaDeg * LwConst::Pi / 180;
    const double a = 1 / (2 * sigma * sigma);
    const double cMin = std::cos(4 * sigma);
    const double dPhi = LwConst::Pi / (nr - 1);
    // 2 (nr - 1) azimuth steps cover [0, 2 pi) exactly; counting them avoids
    // an extra step from rounding of phi.
    const int phiCount = 2 * (nr - 1);
    const double endArea = std::sqrt(1 - (1 - dz / 2) * (1 - dz / 2)) * dPhi * std::sqrt(dz) * 0.5;
    for (int r = 0; r < nr; ++r) {
        const double z0 = r * dz - 1;
        if (z0 < -1 || z0 > 1)
            throw LwError("LwBlurForSPattern::Ver6() ERROR z0<-1 || z0>1");
        const double s0 = std::sqrt(1 - z0 * z0);
        double weightSum = 0;
        for (int r1 = 0; r1 < nr; ++r1) {
            const double z1 = r1 * dz - 1;
            if (z1 < -1 || z1 > 1)
                throw LwError("LwBlurForSPattern::Ver6() ERROR, z1<-1 || z1>1");
            const double s1 = std::sqrt(1 - z1 * z1);
            if (s1 * s0 + z1 * z0 < cMin)
                continue;
            double area = endArea;
            if (r1 != 0 && r1 != nr - 1) {
                const double sm = std::sqrt(1 - (z1 - dz / 2) * (z1 - dz / 2));
                const double sp = std::sqrt(1 - (z1 + dz / 2) * (z1 + dz / 2));
                const double length = std::sqrt((sm - sp) * (sm - sp) + dz * dz);
                area = (sp * dPhi + sm * dPhi) * length * 0.5;
            }
            for (int k = 0; k < phiCount; ++k) {
                const double c = std::cos(k * dPhi) * s1 * s0 + z1 * z0;
                if (c < cMin)
                    continue;
                const double weight = area * std::exp(-(1 - c * c) * a);
                weightSum += weight;
                for (int col = 0; col < nc; ++col)
                    output(col, r) +=
                        static_cast<float>(input(input.ColBegin + col, input.RowBegin + r1) * weight);
            }
        }
        for (int col = 0; col < nc; ++col)
            output(col, r) = static_cast<float>(output(col, r) / weightSum);
        AddProgress();
    }
}

void LwBlurForSPattern::ColumnBlur(LwFloatMatrix& output, const LwFloatMatrix& input, double step,
                                   double sigma)
{
    if (sigma <= 0 || step <= 0) {
        output = CopyOf(input);
        return;
    }
    const int nr = input.RowSize;
    const int nc = input.ColSize;
    LwFloatMatrix weight = ZeroLike(input);
    output = ZeroLike(input);
    const LwGaussTriple g = FuncGauss(sigma);
    SetProgress(0);
    ProgressMax = nc;
    for (int i = 0; i < nc && !StopRequested(); ++i) {
        AddProgress();
        for (int j = 0; j < nc; ++j) {
            const double x = (i - j) * step;
            const double w = g.Norm * std::exp(g.Exponent * x * x);
            for (int k = 0; k < nr; ++k) {
                weight(i, k) += static_cast<float>(w);
                output(i, k) += static_cast<float>(input(input.ColBegin + j, input.RowBegin + k) * w);
            }
        }
        // Normalised per finished column, so a stop leaves the columns not
        // reached at 0 instead of 0/0.
        for (int k = 0; k < nr; ++k)
            output(i, k) /= weight(i, k);
    }
}
