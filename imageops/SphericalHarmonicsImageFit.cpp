// Degree-by-degree expansion and fit of SphericalHarmonicsImage.
//
// Both take the degrees one after the other on the residual that the lower
// degrees leave, so degree l needs the harmonics Y(l, m) of that degree only.
// Evaluating all harmonics up to l afresh at every pixel and degree would
// cost O(pixels x L^3). Instead each distinct polar angle of the image keeps
// its associated Legendre rows P(l - 1, .) and P(l, .) and steps them up one
// degree with the three-term recurrence, and each distinct azimuth keeps its
// table of cos(m phi) and sin(m phi), which grows by one entry per degree:
// a degree then costs O(pixels x l) and the whole fit O(pixels x L^2). The
// recurrence and the factors are written exactly as CalcAssociatedLegendre
// and CalcRealSphericalHarmonics write them, so every value is bit-identical
// to a fresh evaluation; only the order of the work differs.

#include "core/LwMatrixArithmetic.h"
#include "core/LwParallelErrors.h"
#include "physics/LwSphericalHarmonics.h"
#include "imageops/LwRealSphericalHarmonics.h"
#include "imageops/SphericalHarmonicsImage.h"
#include "imageops/SphericalHarmonicsImageDetail.h"

#include <omp.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

using namespace SphericalHarmonicsImageDetail;

namespace {

const LDouble kFourPi = static_cast<LDouble>(12.5663706143591729538505735331180116L);

// The pixels a fit uses (dOmega != 0), row after row, each with the index of
// its polar angle and of its azimuth among the distinct values. The angles
// are kept as the doubles through which the harmonics receive them; values
// are told apart by their bit patterns, so that two pixels share an entry
// only when a fresh evaluation would give them identical harmonics.
struct UsedPixels
{
    std::vector<std::size_t> position;  // buffer position in the image
    std::vector<std::uint32_t> thetaIndex, phiIndex;
    std::vector<LDouble> dOmega;
    std::vector<std::size_t> rowStart;  // pixels of row y: rowStart[y] .. rowStart[y + 1] - 1
    std::vector<double> theta, phi;  // the distinct values

    std::size_t Count() const { return position.size(); }
};

std::uint64_t Bits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Distinct values of `values` (by bit pattern) and the index of each value.
void Distinct(const std::vector<double>& values, std::vector<double>& distinct,
              std::vector<std::uint32_t>& index)
{
    std::vector<std::uint64_t> keys(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        keys[i] = Bits(values[i]);
    std::vector<std::uint64_t> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    distinct.resize(sorted.size());
    for (std::size_t k = 0; k < sorted.size(); ++k)
        std::memcpy(&distinct[k], &sorted[k], sizeof(double));
    index.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        index[i] = static_cast<std::uint32_t>(std::lower_bound(sorted.begin(), sorted.end(), keys[i]) -
                                              sorted.begin());
}

UsedPixels CollectPixels(const LwLDoubleMatrix& Theta, const LwLDoubleMatrix& Phi,
                         const LwLDoubleMatrix& dOmega)
{
    UsedPixels px;
    const int nx = dOmega.ColSize;
    const int ny = dOmega.RowSize;
    std::vector<double> theta, phi;
    px.rowStart.reserve(static_cast<std::size_t>(ny) + 1);
    for (int y = 0; y < ny; ++y) {
        px.rowStart.push_back(px.position.size());
        for (int x = 0; x < nx; ++x) {
            const std::size_t i = static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * nx;
            const LDouble w = dOmega.Buffer()[i];
            if (w == 0)
                continue;
            px.position.push_back(i);
            px.dOmega.push_back(w);
            theta.push_back(static_cast<double>(Theta.Buffer()[i]));
            phi.push_back(static_cast<double>(Phi.Buffer()[i]));
        }
    }
    px.rowStart.push_back(px.position.size());
    Distinct(theta, px.theta, px.thetaIndex);
    Distinct(phi, px.phi, px.phiIndex);
    return px;
}

// A harmonic value as the float maps of ExpandByDegree hold it. Values below
// the smallest normal float become 0: near the poles Y(l, m) falls as
// sin^m(theta) and would otherwise fill a large part of the maps at high m
// with subnormal floats, each of which costs a slow microcode path when it
// is made and again when it is read, for a contribution below 1e-38.
inline float ToFloatMap(LDouble y)
{
    return std::fabs(y) < static_cast<LDouble>(FLT_MIN) ? 0.0f : static_cast<float>(y);
}

// Harmonics of one degree at a set of polar angles and azimuths, stepped up
// one degree at a time. Before Evaluate for degree l, AdvanceTheta(t, l) must
// have run for every t and AdvancePhi(q, l) for every q, after degree l - 1.
// Different t (and different q) touch disjoint entries, so threads may
// advance different angles at once.
class DegreeHarmonics
{
public:
    DegreeHarmonics(const std::vector<double>& theta, const std::vector<double>& phi, int L)
        : L_(static_cast<std::size_t>(L))
    {
        try {
            cosTheta_.resize(theta.size());
            sinTheta_.resize(theta.size());
            for (std::size_t t = 0; t < theta.size(); ++t) {
                // The Legendre functions take the angle as CalcAssociatedLegendre does.
                const LDouble angle = theta[t];
                cosTheta_[t] = std::cos(angle);
                sinTheta_[t] = std::sin(angle);
            }
            rows_[0].resize(theta.size() * L_);
            rows_[1].resize(theta.size() * L_);
            pn_.resize(theta.size() * L_);
            phi_.assign(phi.begin(), phi.end());
            cos_.resize(phi.size() * L_);
            sin_.resize(phi.size() * L_);
        } catch (const std::bad_alloc&) {
            throw LwError("Cannot allocate memory");
        }
    }

    std::size_t ThetaCount() const { return cosTheta_.size(); }
    std::size_t PhiCount() const { return phi_.size(); }

    // P(l, m) for m = 0 .. l at polar angle t from P(l - 1, .) and
    // P(l - 2, .), then Pn(l, m) = P(l, m) N(l, -m). norm must hold at least
    // l + 1 degrees. A value that is not finite (the recurrence overflows at
    // very high l) throws the Legendre routine's error.
    void AdvanceTheta(std::size_t t, int l, const LwLmDoubleArray& norm)
    {
        // Row l overwrites row l - 2: each P(l, m) reads P(l - 2, m) at its own place.
        LDouble* P = &rows_[l & 1][t * L_];
        const LDouble* previous = &rows_[(l + 1) & 1][t * L_];
        if (l == 0) {
            P[0] = 1;
        } else {
            const LDouble x = cosTheta_[t];
            const LDouble s = sinTheta_[t];
            const LDouble a = static_cast<LDouble>(2 * l - 1) * x;
            for (int m = 0; m + 2 <= l; ++m)
                P[m] =
                    (a * previous[m] - static_cast<LDouble>(l - 1 + m) * P[m]) / static_cast<LDouble>(l - m);
            P[l - 1] = a * previous[l - 1];
            P[l] = static_cast<LDouble>(2 * l - 1) * s * previous[l - 1];
            for (int m = 0; m <= l; ++m)
                if (!std::isfinite(P[m]))
                    throw LwError(kLegendreOrderTooHigh);
        }
        const LDouble* N = norm.Data();
        LDouble* pn = &pn_[t * L_];
        for (int m = 0; m <= l; ++m)
            pn[m] = P[m] * N[l * l + l - m];
    }

    // cos(l phi) / sqrt(pi) and sin(l phi) / sqrt(pi) at azimuth q.
    void AdvancePhi(std::size_t q, int l)
    {
        if (l == 0)
            return;
        const LDouble a = static_cast<LDouble>(l) * static_cast<LDouble>(phi_[q]);
        cos_[q * L_ + l] = std::cos(a) * kRealHarmonicsInvSqrtPi;
        sin_[q * L_ + l] = std::sin(a) * kRealHarmonicsInvSqrtPi;
    }

    // Y(l, m) for m = -l .. l at (theta t, phi q) into out[m + l].
    void Evaluate(std::size_t t, std::size_t q, int l, LDouble* out) const
    {
        const LDouble* pn = &pn_[t * L_];
        const LDouble* c = &cos_[q * L_];
        const LDouble* s = &sin_[q * L_];
        out[l] = pn[0] * kRealHarmonicsInvSqrt2Pi;
        for (int m = 1; m <= l; ++m) {
            out[l + m] = pn[m] * c[m];
            out[l - m] = pn[m] * s[m];
        }
    }

    // The same narrowed to float by ToFloatMap.
    void Evaluate(std::size_t t, std::size_t q, int l, float* out) const
    {
        const LDouble* pn = &pn_[t * L_];
        const LDouble* c = &cos_[q * L_];
        const LDouble* s = &sin_[q * L_];
        out[l] = ToFloatMap(pn[0] * kRealHarmonicsInvSqrt2Pi);
        for (int m = 1; m <= l; ++m) {
            out[l + m] = ToFloatMap(pn[m] * c[m]);
            out[l - m] = ToFloatMap(pn[m] * s[m]);
        }
    }

private:
    std::size_t L_;
    std::vector<LDouble> cosTheta_, sinTheta_;
    std::vector<LDouble> rows_[2];  // P(l, m) by the parity of l, L entries per polar angle
    std::vector<LDouble> pn_;  // Pn(l, m) of the current degree
    std::vector<double> phi_;
    std::vector<LDouble> cos_, sin_;  // entry m of each azimuth, filled up to the current degree
};

// Grows the normalisation cache to l + 1 degrees. Done on the calling thread
// before the threads of a degree read it: CalcLegendreNormalization resizes
// the cache, which no reader may see half-built.
void GrowNormalization(LwLmDoubleArray& norm, int l)
{
    if (l + 1 > norm.GetL())
        CalcLegendreNormalization(norm, l + 1);
}

std::vector<LDouble> UsedValues(const LwLDoubleMatrix& v, const UsedPixels& px)
{
    std::vector<LDouble> r(px.Count());
    for (std::size_t i = 0; i < r.size(); ++i)
        r[i] = v.Buffer()[px.position[i]];
    return r;
}

}  // namespace

void SphericalHarmonicsImage::ExpandByDegree(LwLmDoubleArray& c, int L, const LwFloatMatrix& image,
                                             const std::string& projection, const std::atomic<bool>* stop)
{
    const MappedImage mapped = PrepareExpansion(c, L, 180, image, projection);
    if (L == 0)
        return;
    const LwLDoubleMatrix& v = mapped.v;

    // Only pixels with a solid angle enter the sums, so only they are
    // evaluated and only their residual is kept.
    const UsedPixels px = CollectPixels(mapped.theta, mapped.phi, mapped.dOmega);
    std::vector<LDouble> residual = UsedValues(v, px);
    DegreeHarmonics table(px.theta, px.phi, L);
    const long long thetaCount = static_cast<long long>(table.ThetaCount());
    const long long phiCount = static_cast<long long>(table.PhiCount());
    const int rows = v.RowSize;
    const std::size_t n = px.Count();

    LwLmDoubleArray norm;
    // Y(l, m) of pixel i at maps[i K + m + l], K = 2l + 1: allocated once
    // for the last degree. A row's entries are read only when the row was
    // evaluated in this degree (a stop request may skip rows), so no stale
    // or unset entry ever enters the sums or the residual.
    std::unique_ptr<float[]> maps(new (std::nothrow) float[n * static_cast<std::size_t>(2 * L - 1)]);
    if (!maps)
        throw LwError("Cannot allocate memory");
    std::vector<char> evaluated(static_cast<std::size_t>(rows));
    const int threads = omp_get_max_threads();
    for (int l = 0; l < L; ++l) {
        if (StopRequested(stop))
            break;
        Progress = l;
        ProgressMax = L;
        GrowNormalization(norm, l);
        const int K = 2 * l + 1;

        // Each thread writes only the entries of its own angles and then the
        // maps of its own rows; the implicit barriers after the first two
        // loops make every angle's degree l complete before any pixel reads it.
        LwParallelErrors errors(threads);
#pragma omp parallel num_threads(threads)
        {
#pragma omp for schedule(static)
            for (long long t = 0; t < thetaCount; ++t)
                errors.Run([&] { table.AdvanceTheta(static_cast<std::size_t>(t), l, norm); });
#pragma omp for schedule(static)
            for (long long q = 0; q < phiCount; ++q)
                errors.Run([&] { table.AdvancePhi(static_cast<std::size_t>(q), l); });
#pragma omp for schedule(static)
            for (int y = 0; y < rows; ++y)
                errors.Run([&] {
                    evaluated[y] = 0;
                    if (StopRequested(stop))
                        return;
                    for (std::size_t i = px.rowStart[y]; i < px.rowStart[y + 1]; ++i)
                        table.Evaluate(px.thetaIndex[i], px.phiIndex[i], l, &maps[i * K]);
                    evaluated[y] = 1;
                });
        }
        errors.RethrowFirst();

        // Sums on the calling thread in pixel order, so that the result does
        // not depend on the thread count.
        std::vector<LDouble> sums(static_cast<std::size_t>(K), 0);
        LDouble S = 0;
        for (int y = 0; y < rows; ++y) {
            if (StopRequested(stop) || !evaluated[y])
                continue;
            for (std::size_t i = px.rowStart[y]; i < px.rowStart[y + 1]; ++i) {
                if (residual[i] == 0)
                    continue;
                const LDouble f = px.dOmega[i] * residual[i];
                const float* Y = &maps[i * K];
                for (int k = 0; k < K; ++k)
                    sums[k] += f * static_cast<LDouble>(Y[k]);
                S += px.dOmega[i];
            }
        }
        // Scaled as if the pixels used covered the sphere. No pixel used
        // (S = 0) leaves the degree at 0.
        LDouble* cl = &c[l * l];
        if (S != 0)
            for (int k = 0; k < K; ++k)
                cl[k] = sums[k] / S * kFourPi;

                // Residual: every pixel on its own, so any split over threads gives
                // the same values.
#pragma omp parallel for num_threads(threads) schedule(static)
        for (int y = 0; y < rows; ++y)
            errors.Run([&] {
                if (!evaluated[y])
                    return;
                for (std::size_t i = px.rowStart[y]; i < px.rowStart[y + 1]; ++i) {
                    if (residual[i] == 0)
                        continue;
                    const float* Y = &maps[i * K];
                    LDouble fitted = 0;
                    for (int k = 0; k < K; ++k)
                        fitted += cl[k] * static_cast<LDouble>(Y[k]);
                    residual[i] = residual[i] - fitted;
                }
            });
        errors.RethrowFirst();
    }
}

void SphericalHarmonicsImage::FitByDegree(LwLmDoubleArray& c, LwFloatMatrix& residualImage, int L,
                                          const LwFloatMatrix& image, const std::string& projection,
                                          const std::atomic<bool>* stop)
{
    MappedImage mapped = PrepareExpansion(c, L, 500, image, projection);
    LwLDoubleMatrix& v = mapped.v;

    if (L > 0) {
        const UsedPixels px = CollectPixels(mapped.theta, mapped.phi, mapped.dOmega);
        std::vector<LDouble> residual = UsedValues(v, px);
        DegreeHarmonics table(px.theta, px.phi, L);
        const int rows = v.RowSize;
        const std::size_t n = px.Count();
        LwLmDoubleArray norm;
        std::vector<LDouble> Y(static_cast<std::size_t>(2 * L - 1));
        for (int l = 0; l < L; ++l) {
            // A stop before the sums of a degree leaves it and every later
            // degree at 0; nothing would be subtracted from the residual.
            if (StopRequested(stop))
                break;
            GrowNormalization(norm, l);
            for (std::size_t t = 0; t < table.ThetaCount(); ++t)
                table.AdvanceTheta(t, l, norm);
            for (std::size_t q = 0; q < table.PhiCount(); ++q)
                table.AdvancePhi(q, l);

            const int K = 2 * l + 1;
            std::vector<LDouble> sums(static_cast<std::size_t>(K), 0);
            std::vector<LDouble> norms(static_cast<std::size_t>(K), 0);
            bool stopped = false;
            for (int y = 0; y < rows; ++y) {
                if (y > 0 && StopRequested(stop)) {
                    stopped = true;
                    break;
                }
                for (std::size_t i = px.rowStart[y]; i < px.rowStart[y + 1]; ++i) {
                    table.Evaluate(px.thetaIndex[i], px.phiIndex[i], l, Y.data());
                    const LDouble w = px.dOmega[i];
                    const LDouble f = w * residual[i];
                    for (int k = 0; k < K; ++k) {
                        norms[k] += w * Y[k] * Y[k];
                        sums[k] += f * Y[k];
                    }
                }
            }
            // A harmonic that vanishes on every pixel used keeps 0.
            LDouble* cl = &c[l * l];
            for (int k = 0; k < K; ++k)
                if (norms[k] != 0)
                    cl[k] = sums[k] / norms[k];
            for (std::size_t i = 0; i < n; ++i) {
                table.Evaluate(px.thetaIndex[i], px.phiIndex[i], l, Y.data());
                for (int k = 0; k < K; ++k)
                    residual[i] = residual[i] - cl[k] * Y[k];
            }
            if (stopped)
                break;
        }
        for (std::size_t i = 0; i < n; ++i)
            v.Buffer()[px.position[i]] = residual[i];
    }

    LwFloatMatrix out;
    LwMatrixArithmetic().ConvertMatrix(out, v);
    residualImage = out.Release(true);
}

void SphericalHarmonicsImage::ExpandToCoefficientImage(LwFloatMatrix& coefficientImage, int L,
                                                       const LwFloatMatrix& image,
                                                       const std::string& projection, bool byDegree,
                                                       const std::atomic<bool>* stop)
{
    LwLmDoubleArray c;
    if (byDegree)
        ExpandByDegree(c, L, image, projection, stop);
    else
        Expand(c, L, image, projection, stop);
    CoefficientsToImage(coefficientImage, c);
}
