#include "physics/LwWaveReexpansion.h"

#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwParallelErrors.h"
#include "core/TextUtilities.h"
#include "physics/LwPartialWaveSource.h"
#include "physics/LwSphericalHarmonics.h"
#include "physics/LwWaveFunction.h"
#include "physics/SphereGrid.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwoPiSquared = 19.739208802178716;

// The grid of iteration n adds 2^(n-1) directions. Iteration 24 adds 2^23
// (a 4096 x 4096 grid with its cell centres, enough for waves of angular
// order in the thousands); a wave that has not converged by then never will
// within bounded time, so the run stops there with an error.
constexpr LwLong kIterationLimit = 25;

// The directions of one iteration are sampled and projected in batches of
// this many, so the buffer of wave values stays bounded however large the
// grid grows. The projection sums run over the batches in direction order,
// so batching does not change a single bit of the result.
constexpr LwLong kBatchSize = 1 << 15;

}  // namespace

void CalcExpPhiTable(LwLmComplexArray& out, LwLong L, LDouble phi)
{
    out.SetSizeZero(L);
    const LDouble c = 1 / std::sqrt(LDouble(kTwoPi));
    for (LwLong m = 0; m < L; ++m) {
        const LDouble a = m * phi;
        const LDouble re = std::cos(a) * c;
        const LDouble im = std::sin(a) * c;
        for (LwLong l = m; l < L; ++l) {
            out[out.Index(l, m)] = LComplex(re, im);
            out[out.Index(l, -m)] = LComplex(re, -im);
        }
    }
}

LwWaveReexpansion::LwWaveReexpansion() : iterationLimit_(kIterationLimit), sampling_(new LwSamplingRadii) {}

LwWaveReexpansion::~LwWaveReexpansion() = default;

void LwWaveReexpansion::SetSize_l(LwLong L)
{
    if (L < 1)
        throw LwError("LwWaveReexpansion::SetSize_l(): L must be at least 1");
    L_ = L;
}

void LwWaveReexpansion::SetSamplingRadii()
{
    sampling_->Rebuild();
}

void LwWaveReexpansion::SetWaveNumber(double k)
{
    sampling_->SetWaveNumber(k);
}

void LwWaveReexpansion::GetSamplingRadii(std::vector<double>& radii) const
{
    radii = sampling_->GetRadii();
}

void LwWaveReexpansion::ExpandToSource(LwPartialWaveSource& target, LwWaveFunction& wave)
{
    LwLmComplexArray a = CalcCoefficients(wave);
    const LwLong count = L_ * L_;
    for (LwLong p = 0; p < count; ++p) {
        const LComplex v = a[p];
        a[p] = LComplex(0.5 * v.real() - 0.0 * v.imag(), 0.5 * v.imag() + 0.0 * v.real());
    }
    target.SetKineticEnergy(wave.GetKineticEnergy());
    target.SetPosition(0.0, 0.0, 0.0);
    // (h+_l + h-_l) / 2 = j_l: equal outgoing and incoming parts make the
    // regular wave about the new centre.
    target.Outgoing() = a;
    target.Incoming() = a;
}

LwLmComplexArray LwWaveReexpansion::CalcCoefficients(LwWaveFunction& wave)
{
    wave_ = &wave;
    sampling_->SetSize_l(L_);
    SetSamplingRadii();
    const double k = wave.GetWaveNumber();
    if (!(k > 0.0) || !std::isfinite(k))
        throw LwError("LwWaveReexpansion::CalcCoefficients(): the wave number is not positive");
    SetWaveNumber(k);

    sums_.SetSizeZero(L_);
    iteration_ = 0;
    pointCount_ = 0;
    accuracy_ = -1.0;

    // Lazily built tables of the wave (normalisation caches of its sources)
    // reach their final size here, before any thread evaluates it.
    wave.PrepareConcurrentEvaluation();

    const LwLong count = L_ * L_;
    const std::vector<double>& w = sampling_->GetW();
    LwLmComplexArray estimate;
    std::vector<Complex> previousEstimate(static_cast<std::size_t>(count));
    std::vector<Complex> result(static_cast<std::size_t>(count));
    std::vector<Complex> previousResult(static_cast<std::size_t>(count));

    for (LwLong n = 0;; ++n) {
        iteration_ = n;
        ProjectOnSpheres(estimate);
        for (LwLong p = 0; p < count; ++p)
            result[std::size_t(p)] = estimate[p];

        if (n >= 5) {
            // Richardson step for the O(h^2) error of the rectangle rule,
            // then the division by j_l(k r_b) of the sampling sphere.
            LwLong p = 0;
            for (LwLong l = 0; l < L_; ++l)
                for (LwLong m = -l; m <= l; ++m, ++p) {
                    const Complex a = result[std::size_t(p)];
                    const Complex b = previousEstimate[std::size_t(p)];
                    const LDouble re = (4 * a.real() - b.real()) / 3;
                    const LDouble im = (4 * a.imag() - b.imag()) / 3;
                    result[std::size_t(p)] = Complex(re / w[std::size_t(l)], im / w[std::size_t(l)]);
                }
            LDouble D = 0;
            LDouble N = 0;
            for (LwLong q = 0; q < count; ++q) {
                const Complex r = result[std::size_t(q)];
                const Complex s = previousResult[std::size_t(q)];
                D += s.real() * s.real() + s.imag() * s.imag();
                const LDouble dr = r.real() - s.real();
                const LDouble di = r.imag() - s.imag();
                N += dr * dr + di * di;
            }
            if (D != 0.0) {
                accuracy_ = double(std::sqrt(N / D));
                if (accuracy_ < EPS_)
                    break;
            } else if (N == 0.0) {
                // Two successive results exactly zero: the wave vanishes on
                // every sampling sphere and finer grids will not change that.
                break;
            }
        }
        if (n >= iterationLimit_ - 1) {
            throw LwError("LwWaveReexpansion::CalcCoefficients(): accuracy EPS=" + DoubleToString(EPS_) +
                          " not reached after " + IntToString(int(n + 1)) +
                          " grid iterations (last relative change " + DoubleToString(accuracy_) + ")");
        }
        for (LwLong q = 0; q < count; ++q)
            previousEstimate[std::size_t(q)] = estimate[q];
        previousResult.swap(result);
    }

    LwLmComplexArray out;
    out.SetSize(L_);
    for (LwLong p = 0; p < count; ++p)
        out[p] = result[std::size_t(p)];
    return out;
}

void LwWaveReexpansion::ProjectOnSpheres(LwLmComplexArray& out)
{
    MakeSphereGrid(iteration_, u_, thetaIndex_, phiIndex_);
    const LwLong directions = LwLong(thetaIndex_.size());
    PrepareTables(directions);

    // One parallel region per batch holds both loops, so the team starts
    // once per batch; the barrier between them makes every row of wave
    // values complete before any thread projects. The thread count is
    // OpenMP's own setting (omp_set_num_threads, OMP_NUM_THREADS) unless
    // SetThreadCount chose one.
    const int threads = threadCount_ > 0 ? threadCount_ : omp_get_max_threads();
    const LwLong positions = L_ * L_;
    const LwLong chunk = std::max<LwLong>(16, (positions + 4 * threads - 1) / (4 * threads));
    const LwLong chunks = (positions + chunk - 1) / chunk;
    for (LwLong first = 0; first < directions; first += kBatchSize) {
        const LwLong batch = std::min(kBatchSize, directions - first);
        // The first grids hold a handful of directions: the calling thread
        // alone is faster than waking the team.
        const bool parallel = batch >= 8 && threads > 1;
        LwParallelErrors errors(threads);
#pragma omp parallel num_threads(threads) if (parallel)
        {
            // Loop 1: the wave on every sampling sphere, one row per direction.
#pragma omp for schedule(static)
            for (LwLong i = 0; i < batch; ++i)
                errors.Run([&] { SampleDirection(first + i, i); });
                // Loop 2: this batch added to the sums of every (l, m), in chunks
                // of positions.
#pragma omp for schedule(static)
            for (LwLong c = 0; c < chunks; ++c)
                errors.Run(
                    [&] { ProjectChunk(c * chunk, std::min(positions, (c + 1) * chunk), first, batch); });
        }
        errors.RethrowFirst();
    }

    const LwLong count = L_ * L_;
    pointCount_ += directions;
    out.SetSizeZero(L_);
    const LDouble points = LDouble(pointCount_);
    for (LwLong p = 0; p < count; ++p) {
        const Complex s = sums_[p] + Complex(iterationRe_[std::size_t(p)], iterationIm_[std::size_t(p)]);
        sums_[p] = s;
        out[p] = Complex(s.real() / points * kTwoPiSquared, s.imag() / points * kTwoPiSquared);
    }
}

// Per coordinate value of the grid: sin(theta) N_lm P_lm(cos theta) at every
// (l, m) and e^{-i m phi} / sqrt(2 pi) at every m. Their product at the
// direction's two coordinates is sin(theta) Y*_lm(theta, phi).
void LwWaveReexpansion::PrepareTables(LwLong directions)
{
    const LwLong count = L_ * L_;
    const LwLong mCount = 2 * L_ - 1;
    const std::size_t coordinates = u_.size();
    thetaTable_.resize(coordinates * std::size_t(count));
    phiRe_.resize(coordinates * std::size_t(mCount));
    phiIm_.resize(coordinates * std::size_t(mCount));
    for (std::size_t c = 0; c < coordinates; ++c) {
        const LDouble theta = u_[c] * LwConst::Pi;
        CalcNormalizedLegendre(cache_, legendre_, L_, theta);
        const LDouble s = std::sin(theta);
        LDouble* row = &thetaTable_[c * std::size_t(count)];
        for (LwLong p = 0; p < count; ++p)
            row[p] = s * legendre_[p];

        const LDouble phi = 2.0 * u_[c] * LwConst::Pi;
        CalcExpPhiTable(expPhi_, L_, phi);
        LDouble* re = &phiRe_[c * std::size_t(mCount)];
        LDouble* im = &phiIm_[c * std::size_t(mCount)];
        for (LwLong m = -(L_ - 1); m < L_; ++m) {
            const LwLong l = m < 0 ? -m : m;
            const Complex v = expPhi_[expPhi_.Index(l, -m)];
            re[m + L_ - 1] = v.real();
            im[m + L_ - 1] = v.imag();
        }
    }

    const LwLong blocks = sampling_->GetBlockCount();
    blockOfL_.resize(std::size_t(L_));
    for (LwLong l = 0; l < L_; ++l)
        blockOfL_[std::size_t(l)] = l / sampling_->GetBlockSize();
    values_.resize(std::size_t(std::min(kBatchSize, directions)) * std::size_t(blocks));
    iterationRe_.assign(std::size_t(count), 0);
    iterationIm_.assign(std::size_t(count), 0);
}

// The wave on every sampling sphere in direction d, into row `row` of the
// batch's values; each direction fills only its own row.
void LwWaveReexpansion::SampleDirection(LwLong d, LwLong row)
{
    const LwLong blocks = sampling_->GetBlockCount();
    const std::vector<double>& radii = sampling_->GetRadii();
    const double theta = u_[std::size_t(thetaIndex_[std::size_t(d)])] * LwConst::Pi;
    const double phi = 2.0 * u_[std::size_t(phiIndex_[std::size_t(d)])] * LwConst::Pi;
    wave_->GetValuesAlong(theta, phi, radii.data(), blocks, &values_[std::size_t(row) * std::size_t(blocks)]);
}

// Adds the directions first ... first + count - 1, in direction order, to
// this iteration's sums of the positions p0 ... p1 - 1. The chunk walks the
// directions outermost so that it reads each direction's table rows once,
// and within a direction runs over the contiguous m of each l (one wave value
// per l). Each position still sums over the directions in order, so neither
// the chunking nor the thread count changes a bit.
void LwWaveReexpansion::ProjectChunk(LwLong p0, LwLong p1, LwLong first, LwLong count)
{
    const LwLong positions = L_ * L_;
    const LwLong mCount = 2 * L_ - 1;
    const LwLong blocks = sampling_->GetBlockCount();
    const LwLmIntArray& lTable = sampling_->GetLTable();
    const LwLong* blockOfL = blockOfL_.data();
    LDouble* sumRe = iterationRe_.data();
    LDouble* sumIm = iterationIm_.data();
    const LwLong lFirst = lTable[p0];
    const LwLong lLast = lTable[p1 - 1];
    for (LwLong i = 0; i < count; ++i) {
        const LwLong d = first + i;
        const LDouble* theta =
            &thetaTable_[std::size_t(thetaIndex_[std::size_t(d)]) * std::size_t(positions)];
        const std::size_t phiRow =
            std::size_t(phiIndex_[std::size_t(d)]) * std::size_t(mCount) + std::size_t(L_ - 1);
        const LDouble* phiRe = &phiRe_[phiRow];
        const LDouble* phiIm = &phiIm_[phiRow];
        const Complex* v = &values_[std::size_t(i) * std::size_t(blocks)];
        for (LwLong l = lFirst; l <= lLast; ++l) {
            const LDouble vr = v[blockOfL[l]].real();
            const LDouble vi = v[blockOfL[l]].imag();
            const LwLong centre = l * (l + 1);
            const LwLong mBegin = std::max(-l, p0 - centre);
            const LwLong mEnd = std::min(l, p1 - 1 - centre);
            // (Theta * Phi) * V written out, without the NaN recovery of the
            // library's complex product. Each m writes its own p, and the
            // sums do not share storage with the tables, so the m loop runs
            // in vector lanes; every lane forms its sums with the same
            // operations in the same order as one m at a time.
#pragma omp simd
            for (LwLong m = mBegin; m <= mEnd; ++m) {
                const LwLong p = centre + m;
                const LDouble tr = theta[p] * phiRe[m];
                const LDouble ti = theta[p] * phiIm[m];
                sumRe[p] += tr * vr - ti * vi;
                sumIm[p] += tr * vi + ti * vr;
            }
        }
    }
}
