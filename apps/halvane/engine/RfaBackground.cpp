// Backgrounds of RFA screen images: the least-squares spherical-harmonics
// fit, the degree-by-degree projection, the azimuthal average, and the
// search for the screen edge.
#include "core/LwConstants.h"
#include "core/LwError.h"
#include "core/LwMatrixArithmetic.h"
#include "core/LwParallelErrors.h"
#include "physics/LwLmArray.h"
#include "imageops/LwMatrixOperator.h"
#include "imageops/LwRealSphericalHarmonics.h"
#include "apps/halvane/engine/LwProcessLog.h"
#include "apps/halvane/engine/RfaNormalEquations.h"
#include "apps/halvane/engine/RfaParameters.h"

#include <QDebug>
#include <QLoggingCategory>

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

// The fit's traces (normal matrix, inverse, per-degree sums) are debug
// messages of this category, off unless the logging rules turn them on
// (QT_LOGGING_RULES="halvane.fit.debug=true").
Q_LOGGING_CATEGORY(lcHalvaneFit, "halvane.fit", QtInfoMsg)

namespace {

// The sample square of a fit of radius R: integer offsets from trunc(-R)
// while the offset is at most R.
struct SampleSquare
{
    int first = 0;
    int count = 0;  // offsets first .. first + count - 1
};

SampleSquare MakeSquare(double R)
{
    SampleSquare s;
    s.first = static_cast<int>(std::trunc(-R));
    int last = s.first;
    while (static_cast<double>(last + 1) <= R)
        ++last;
    s.count = static_cast<double>(s.first) <= R ? last - s.first + 1 : 0;
    return s;
}

// Fixed number of row blocks of the fit's sums: each block is summed by one
// thread, and the blocks are added in their order, so the sums do not depend
// on the thread count.
constexpr int kFitBlocks = 16;
// A fit with a progress callback reports between slices: every block's rows
// are summed in kFitSumSlices consecutive slices (each block keeps its
// running sums from slice to slice, so the order of the additions does not
// change), and the background is filled in kFitFillSlices slices of its
// rows. Without a callback each is one slice.
constexpr int kFitSumSlices = 32;
constexpr int kFitFillSlices = 8;

// Calls `progress` (when there is one) and throws RfaCancelled with `what`
// when it answers false.
void Report(const RfaProgress& progress, int done, int total, const char* what)
{
    if (progress && !progress(done, total))
        throw RfaCancelled(what);
}

// The part `slice` of `slices` of the range [from, to).
int SliceBegin(int from, int to, int slice, int slices)
{
    return from + static_cast<int>(static_cast<long long>(to - from) * slice / slices);
}

// Samples of one block of the fit waiting to be added to its sums: their
// harmonics, function by function, and their values. AddTo adds them with
// every sum receiving its products in sample order, so the sums are those of
// adding sample by sample; it only keeps each sum in a register over the
// samples, four sums of a row of the normal matrix side by side, instead of
// loading and storing the extended value once per product.
class FitBatch
{
public:
    static constexpr int kSamples = 32;

    explicit FitBatch(int functions)
        : functions_(functions), y_(static_cast<std::size_t>(functions) * kSamples)
    {}
    void Add(const LDouble* y, float value)
    {
        for (int k = 0; k < functions_; ++k)
            y_[static_cast<std::size_t>(k) * kSamples + static_cast<std::size_t>(size_)] = y[k];
        value_[size_++] = value;
    }
    bool Full() const { return size_ == kSamples; }
    // Adds the samples to the packed upper triangle `a` of the normal matrix
    // (row k holding k' = k .. N - 1) and to the right-hand side `b`, and
    // empties the batch.
    void AddTo(std::vector<LDouble>& a, std::vector<LDouble>& b)
    {
        const int n = functions_, m = size_;
        for (int k = 0; k < n; ++k) {
            const LDouble* yk = Column(k);
            LDouble s = b[static_cast<std::size_t>(k)];
            for (int i = 0; i < m; ++i)
                s += yk[i] * value_[i];
            b[static_cast<std::size_t>(k)] = s;
        }
        LDouble* row = a.data();
        for (int k = 0; k < n; ++k) {
            const LDouble* yk = Column(k);
            int k2 = k;
            for (; k2 + 4 <= n; k2 += 4) {
                const LDouble *y0 = Column(k2), *y1 = Column(k2 + 1), *y2 = Column(k2 + 2),
                              *y3 = Column(k2 + 3);
                LDouble* out = row + (k2 - k);
                LDouble s0 = out[0], s1 = out[1], s2 = out[2], s3 = out[3];
                for (int i = 0; i < m; ++i) {
                    const LDouble v = yk[i];
                    s0 += v * y0[i];
                    s1 += v * y1[i];
                    s2 += v * y2[i];
                    s3 += v * y3[i];
                }
                out[0] = s0;
                out[1] = s1;
                out[2] = s2;
                out[3] = s3;
            }
            for (; k2 < n; ++k2) {
                const LDouble* y0 = Column(k2);
                LDouble s0 = row[k2 - k];
                for (int i = 0; i < m; ++i)
                    s0 += yk[i] * y0[i];
                row[k2 - k] = s0;
            }
            row += n - k;
        }
        size_ = 0;
    }

private:
    const LDouble* Column(int k) const { return &y_[static_cast<std::size_t>(k) * kSamples]; }

    int functions_;
    int size_ = 0;
    std::vector<LDouble> y_;
    LDouble value_[kSamples] = {};
};

void TraceMatrix(const char* tag, const LwLDoubleMatrix& m, int n)
{
    if (!lcHalvaneFit().isDebugEnabled())
        return;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            qCDebug(lcHalvaneFit) << tag << i << j << static_cast<double>(m(i, j));
}

// The largest condition number of the normal equations (scaled to a unit
// diagonal) that the fit accepts. The computed coefficients' relative error
// is bounded by about the condition number times the machine epsilon of
// LDouble; the fit keeps that bound below 10 % (the fitted values, whose
// error grows only with the square root of the condition number for a
// smooth background, are then far more accurate than the float image).
// Near 1 / epsilon the factorisation itself breaks down, and rounding, not
// the data, decides the background: its residual then rises with the
// degree. For 80-bit LDouble the limit is 9.2e17.
const LDouble kMaxCondition = 0.1L / std::numeric_limits<LDouble>::epsilon();

// Whether the fit of degree l, whose functions are the leading (l + 1)^2
// unknowns, can be solved to that accuracy.
bool WellConditioned(const RfaNormalEquations& equations, int l)
{
    const int n = (l + 1) * (l + 1);
    return equations.FactoredSize() >= n && equations.Condition(n) <= kMaxCondition;
}

// The inverse of the normal matrix, traced as "iM" in the layout of
// TraceMatrix; computed only when the trace is on.
void TraceInverse(const RfaNormalEquations& equations, int n)
{
    if (!lcHalvaneFit().isDebugEnabled() || equations.FactoredSize() < n)
        return;
    LwLDoubleMatrix inverse(n, n);
    std::vector<LDouble> e(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j) {
        std::fill(e.begin(), e.end(), 0);
        e[static_cast<std::size_t>(j)] = 1;
        const std::vector<LDouble> column = equations.Solve(e, n);
        for (int i = 0; i < n; ++i)
            inverse(j, i) = column[static_cast<std::size_t>(i)];
    }
    TraceMatrix("iM", inverse, n);
}

}  // namespace

bool RfaParameters::PixelToSphere(LDouble& theta, LDouble& phi, const LDouble& x, const LDouble& y,
                                  const LDouble& R, bool gnomonic, bool azimuthal, const LDouble& thetaMax)
{
    const LDouble u = static_cast<LDouble>(static_cast<double>(x)) / R;
    const LDouble v = static_cast<LDouble>(static_cast<double>(y)) / R;
    const double rho2 = static_cast<double>(u * u + v * v);
    if (!(rho2 < 1))
        return false;
    phi = std::atan2(v, u);
    if (gnomonic) {
        const double d = std::clamp(1.0 - rho2, 0.0, 1.0);
        theta = std::acos(static_cast<LDouble>(std::sqrt(d)));
        return true;
    }
    if (azimuthal) {
        theta = static_cast<LDouble>(std::sqrt(rho2)) * thetaMax;
        return true;
    }
    throw LwError("Undefined Mapping Method");
}

void RfaParameters::CheckFitSettings(bool usesAngle) const
{
    if (Size_l_ < 0 || Size_l_ > kMaxDegree) {
        std::ostringstream text;
        text << "Number of l = " << Size_l_ << " is out of range: it must be from 0 to " << kMaxDegree;
        throw LwError(text.str());
    }
    const double R = Sr_ - SMargin_;
    if (!(R > 0))
        throw LwError("Screen R minus Screen Margin must be greater than 0");
    if (!std::isfinite(R) || R > 1e6)
        throw LwError("Screen R is too large");
    if (!usesAngle)
        return;
    const LDouble angle = MappingAzThetaMax_deg_;
    if (!(angle > 0 && angle <= 180)) {
        std::ostringstream text;
        text << "Max angle = " << angle
             << " is out of range: it must be greater than 0 and at most 180 degrees";
        throw LwError(text.str());
    }
}

void RfaParameters::CheckFitDisc(const LwFloatMatrix& image) const
{
    // The sample square runs over the offsets -floor(R) .. floor(R) around
    // (ColSize / 2, RowSize / 2); it must lie in the image.
    const int cx = image.ColSize / 2, cy = image.RowSize / 2;
    const int room = std::min({cx, image.ColSize - 1 - cx, cy, image.RowSize - 1 - cy});
    const double R = Sr_ - SMargin_;
    if (room >= 0 && std::floor(R) <= room)
        return;
    std::ostringstream text;
    text << "Screen R minus Screen Margin = " << R << " pixels reaches beyond the image of " << image.ColSize
         << " x " << image.RowSize << " pixels around its centre (" << cx << ", " << cy
         << "): it must be less than " << room + 1;
    throw LwError(text.str());
}

LwFloatMatrix RfaParameters::FitBackgroundSh(const LwFloatMatrix& image, const RfaProgress& progress) const
{
    CheckFitSettings(true);
    CheckFitDisc(image);
    const int L = Size_l_;
    const int N = (L + 1) * (L + 1);
    const LDouble thetaMax = MappingAzThetaMax_deg_ * LwConst::Pi / 180;
    const double R = Sr_ - SMargin_;
    const LDouble RL = R;
    const int cx = image.ColSize / 2;
    const int cy = image.RowSize / 2;
    const SampleSquare square = MakeSquare(R);
    const char* const cancelled = "The spherical-harmonics fit was cancelled";
    const int sumSlices = progress ? kFitSumSlices : 1;
    const int fillSlices = progress ? kFitFillSlices : 1;
    const int totalSteps = sumSlices + fillSlices;
    Report(progress, 0, totalSteps, cancelled);

    // Upper triangle of the normal matrix (k <= k') and the right-hand side,
    // one set per block.
    const std::size_t tri = static_cast<std::size_t>(N) * static_cast<std::size_t>(N + 1) / 2;
    std::vector<std::vector<LDouble>> blockA(kFitBlocks, std::vector<LDouble>(tri, 0));
    std::vector<std::vector<LDouble>> blockB(kFitBlocks,
                                             std::vector<LDouble>(static_cast<std::size_t>(N), 0));
    std::vector<long long> blockCount(kFitBlocks, 0);
    const int threads = omp_get_max_threads();
    // Working arrays of the harmonics, one pair per thread.
    std::vector<LwLmDoubleArray> caches(static_cast<std::size_t>(threads));
    std::vector<LwLmDoubleArray> harmonics(static_cast<std::size_t>(threads));
    std::vector<FitBatch> batches(static_cast<std::size_t>(threads), FitBatch(N));
    LwParallelErrors errors(threads);
    for (int slice = 0; slice < sumSlices; ++slice) {
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
        for (int block = 0; block < kFitBlocks; ++block) {
            errors.Run([&] {
                const std::size_t t = static_cast<std::size_t>(omp_get_thread_num());
                LwLmDoubleArray& cache = caches[t];
                LwLmDoubleArray& Y = harmonics[t];
                FitBatch& batch = batches[t];
                std::vector<LDouble>& A = blockA[static_cast<std::size_t>(block)];
                std::vector<LDouble>& b = blockB[static_cast<std::size_t>(block)];
                long long& used = blockCount[static_cast<std::size_t>(block)];
                const int blockFrom = square.count * block / kFitBlocks;
                const int blockTo = square.count * (block + 1) / kFitBlocks;
                const int rowFrom = SliceBegin(blockFrom, blockTo, slice, sumSlices);
                const int rowTo = SliceBegin(blockFrom, blockTo, slice + 1, sumSlices);
                for (int iy = rowFrom; iy < rowTo; ++iy) {
                    const int y = square.first + iy;
                    const float* row = &image(cx + square.first, cy + y);
                    for (int ix = 0; ix < square.count; ++ix) {
                        const float f = row[ix];
                        if (f == 0)
                            continue;
                        const int x = square.first + ix;
                        LDouble theta = 0, phi = 0;
                        if (!PixelToSphere(theta, phi, x, y, RL, false, true, thetaMax))
                            continue;
                        CalcRealSphericalHarmonics(cache, Y, L + 1, theta, phi);
                        batch.Add(&Y[0], f);
                        if (batch.Full())
                            batch.AddTo(A, b);
                        ++used;
                    }
                }
                batch.AddTo(A, b);
            });
        }
        errors.RethrowFirst();
        Report(progress, slice + 1, totalSteps, cancelled);
    }

    long long used = 0;
    LwLDoubleMatrix A(N, N);
    LwLDoubleMatrix b(1, N);
    A.SetZero();
    b.SetZero();
    for (int block = 0; block < kFitBlocks; ++block) {
        used += blockCount[static_cast<std::size_t>(block)];
        const std::vector<LDouble>& a = blockA[static_cast<std::size_t>(block)];
        std::size_t p = 0;
        for (int k = 0; k < N; ++k) {
            b(0, k) += blockB[static_cast<std::size_t>(block)][static_cast<std::size_t>(k)];
            for (int k2 = k; k2 < N; ++k2)
                A(k2, k) += a[p++];
        }
    }
    for (int k = 0; k < N; ++k)
        for (int k2 = k + 1; k2 < N; ++k2)
            A(k, k2) = A(k2, k);
    if (used < N) {
        std::ostringstream text;
        text << "Too few pixels with data inside the fit radius: " << used << " for " << N
             << " spherical harmonics";
        throw LwError(text.str());
    }

    TraceMatrix("M", A, N);
    const RfaNormalEquations equations(A);
    if (!WellConditioned(equations, L)) {
        int usable = -1;  // the highest degree below L that passes, by bisection
        for (int lo = 0, hi = L - 1; lo <= hi;) {
            const int mid = (lo + hi) / 2;
            if (WellConditioned(equations, mid)) {
                usable = mid;
                lo = mid + 1;
            } else {
                hi = mid - 1;
            }
        }
        std::ostringstream text;
        text << "Number of l = " << L << " is too high for this screen (Screen R minus Screen Margin = " << R
             << " pixels, Max angle = " << MappingAzThetaMax_deg_
             << " degrees): the fit's equations are too ill-conditioned for the pixels with data";
        if (usable >= 0)
            text << "; the highest degree that can be fitted here is " << usable;
        throw LwError(text.str());
    }
    TraceInverse(equations, N);
    std::vector<LDouble> rhs(static_cast<std::size_t>(N));
    for (int k = 0; k < N; ++k)
        rhs[static_cast<std::size_t>(k)] = b(0, k);
    const std::vector<LDouble> c = equations.Solve(rhs, N);
    for (int k = 0; k < N; ++k)
        if (!std::isfinite(static_cast<long double>(c[static_cast<std::size_t>(k)])))
            throw LwError("The spherical-harmonics fit gave no finite result");

    LwFloatMatrix background(image.ColSize, image.RowSize);
    background.ColBegin = image.ColBegin;
    background.RowBegin = image.RowBegin;
    background.SetZero();
    LwParallelErrors fillErrors(threads);
    for (int slice = 0; slice < fillSlices; ++slice) {
        const int rowFrom = SliceBegin(0, square.count, slice, fillSlices);
        const int rowTo = SliceBegin(0, square.count, slice + 1, fillSlices);
#pragma omp parallel for num_threads(threads) schedule(static)
        for (int iy = rowFrom; iy < rowTo; ++iy) {
            fillErrors.Run([&] {
                const std::size_t t = static_cast<std::size_t>(omp_get_thread_num());
                LwLmDoubleArray& cache = caches[t];
                LwLmDoubleArray& Y = harmonics[t];
                const int y = square.first + iy;
                for (int ix = 0; ix < square.count; ++ix) {
                    const int x = square.first + ix;
                    LDouble theta = 0, phi = 0;
                    if (!PixelToSphere(theta, phi, x, y, RL, false, true, thetaMax))
                        continue;
                    CalcRealSphericalHarmonics(cache, Y, L + 1, theta, phi);
                    LDouble sum = 0;
                    for (int k = 0; k < N; ++k)
                        sum += c[static_cast<std::size_t>(k)] * Y[k];
                    background(cx + x, cy + y) = static_cast<float>(sum);
                }
            });
        }
        fillErrors.RethrowFirst();
        if (slice + 1 < fillSlices)
            Report(progress, sumSlices + slice + 1, totalSteps, cancelled);
    }
    for (int i = 0; i < background.ElementCount(); ++i)
        if (!std::isfinite(background.Buffer()[i]))
            throw LwError("The spherical-harmonics fit gave no finite result");
    Report(progress, totalSteps, totalSteps, cancelled);
    return background.Release(true);
}

namespace {

// The record "RFA_background" of both methods; the least-squares fit's has
// the flag "MappingIsAzM2_".
void LogBackgroundRecord(const RfaParameters& p, LwProcessLog& log, bool withLeastSquaresFlag)
{
    log.LogOpenFunction("RFA_background");
    log.LogAddDouble("ScreenRadius", p.Sr_);
    log.LogAddInt("ScreenMargin", p.SMargin_);
    log.LogAddBool("MappingIsGnomonic", p.MappingIsGnomonic_);
    log.LogAddBool("MappingIsAz_", p.MappingIsAz_);
    if (withLeastSquaresFlag)
        log.LogAddBool("MappingIsAzM2_", p.MappingIsAzM2_);
    log.LogAddLDouble("MappingAzThetaMax_deg", p.MappingAzThetaMax_deg_);
    log.LogAddInt("Size_l", p.Size_l_);
    log.LogAddBool("UseAllSphere", p.UseAllSphere_);
}

}  // namespace

void RfaParameters::LogRfaBackground(LwProcessLog& log) const
{
    LogBackgroundRecord(*this, log, true);
}

void RfaParameters::LogRfaBackgroundByDegree(LwProcessLog& log) const
{
    LogBackgroundRecord(*this, log, false);
}

LwFloatMatrix RfaParameters::BackgroundShByDegree(const LwFloatMatrix& source) const
{
    CheckFitSettings(!MappingIsGnomonic_);
    CheckFitDisc(source);
    const int L = Size_l_;
    const LDouble thetaMax = MappingAzThetaMax_deg_ * LwConst::Pi / 180;
    const double R = Sr_ - SMargin_;
    const int cx = source.ColSize / 2;
    const int cy = source.RowSize / 2;
    const SampleSquare square = MakeSquare(R);
    LwFloatMatrix background(source.ColSize, source.RowSize);
    background.ColBegin = source.ColBegin;
    background.RowBegin = source.RowBegin;
    background.SetZero();
    LwFloatMatrix residual = source;
    LwLmDoubleArray cache;
    LwLmDoubleArray Y;
    // `visit(x, y, theta, phi)` for each pixel offset of the square inside
    // the disc, in storage order, with its direction.
    auto forEachSample = [&](auto&& visit) {
        for (int iy = 0; iy < square.count; ++iy) {
            const int y = square.first + iy;
            for (int ix = 0; ix < square.count; ++ix) {
                const int x = square.first + ix;
                LDouble theta = 0, phi = 0;
                if (PixelToSphere(theta, phi, x, y, R, MappingIsGnomonic_, MappingIsAz_, thetaMax))
                    visit(x, y, theta, phi);
            }
        }
    };
    for (int l = 0; l <= L; ++l) {
        std::vector<LDouble> c(static_cast<std::size_t>(2 * l + 1), 0);
        int count = 0;
        forEachSample([&](int x, int y, const LDouble& theta, const LDouble& phi) {
            const LDouble value = residual(cx + x, cy + y);
            ++count;
            CalcRealSphericalHarmonics(cache, Y, l + 1, theta, phi);
            for (int m = -l; m <= l; ++m)
                c[static_cast<std::size_t>(m + l)] += Y(l, m) * value;
            if (UseAllSphere_) {
                ++count;
                CalcRealSphericalHarmonics(cache, Y, l + 1, LwConst::Pi - theta, phi);
                for (int m = -l; m <= l; ++m)
                    c[static_cast<std::size_t>(m + l)] += Y(l, m) * value;
            }
        });
        if (count == 0)
            throw LwError("No pixel lies inside the fit radius");
        for (int m = -l; m <= l; ++m) {
            LDouble& cm = c[static_cast<std::size_t>(m + l)];
            qCDebug(lcHalvaneFit) << "total" << m << static_cast<double>(cm) << count;
            cm /= count;
        }
        forEachSample([&](int x, int y, const LDouble& theta, const LDouble& phi) {
            CalcRealSphericalHarmonics(cache, Y, l + 1, theta, phi);
            LDouble sum = 0;
            for (int m = -l; m <= l; ++m)
                sum += c[static_cast<std::size_t>(m + l)] * Y(l, m);
            const float layer = static_cast<float>(sum);
            residual(cx + x, cy + y) -= layer;
            background(cx + x, cy + y) += layer;
        });
    }
    return background.Release(true);
}

LwFloatMatrix RfaParameters::AzimuthalBackground(const LwFloatMatrix& image) const
{
    LwLongMatrix radiusMap;
    return LwMatrixOperator().AverageAlongAzimuthal(image, static_cast<float>(Ax_), static_cast<float>(Ay_),
                                                    true, radiusMap);
}

void RfaParameters::LogAverageAlong(LwProcessLog& log) const
{
    log.LogOpenFunction("AverageAlong");
    log.LogAddDouble("CenterX", Ax_);
    log.LogAddDouble("CenterY", Ay_);
}

namespace {

// The ring of a pixel around a centre, as AverageAlongAzimuthal bins it:
// floor(r + 0.5) of the single-precision distance, from the squared offset
// summed in single precision.
int RingBin(float d2)
{
    return static_cast<int>(std::floor(std::sqrt(d2) + 0.5f));
}

// The centres of the screen-edge search lie on a grid of half pixels, so
// the offset of a pixel from a centre is (i + px / 2, j + py / 2) with
// integers i, j and parities px, py of 0 or 1. The ring of every such offset
// is tabulated once, per parity pair, by its absolute integer parts
// (|dx| - px / 2, |dy| - py / 2): the offsets are exact in single precision
// (the image is checked to be small enough), so an entry is the very bin
// that RingBin gives for the pixel.
class RingTable
{
public:
    RingTable(int maxAdx, int maxAdy) : width_(maxAdx + 1), height_(maxAdy + 1)
    {
        const std::size_t plane = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
        bins_.resize(4 * plane);
        int largest = 0;
        // Float arithmetic and stores into bins_, sized above: nothing in the
        // loop can throw.
#pragma omp parallel for schedule(static) reduction(max : largest)
        for (int line = 0; line < 4 * height_; ++line) {
            const int parities = line / height_;
            const int ady = line % height_;
            const float dy = static_cast<float>(ady) + 0.5f * static_cast<float>(parities >> 1);
            const float dx0 = 0.5f * static_cast<float>(parities & 1);
            std::uint16_t* out = &bins_[static_cast<std::size_t>(line) * static_cast<std::size_t>(width_)];
            for (int adx = 0; adx < width_; ++adx) {
                const float dx = static_cast<float>(adx) + dx0;
                const int bin = RingBin(dx * dx + dy * dy);
                largest = std::max(largest, bin);
                out[adx] = static_cast<std::uint16_t>(bin);
            }
        }
        largest_ = largest;
    }
    // The largest bin of the table.
    int Largest() const
    {
        return largest_;
    }
    // The bins of offsets (adx + px / 2, ady + py / 2) for adx = 0, 1, ...
    const std::uint16_t* Line(int px, int py, int ady) const
    {
        const int line = (py * 2 + px) * height_ + ady;
        return &bins_[static_cast<std::size_t>(line) * static_cast<std::size_t>(width_)];
    }

private:
    int width_;
    int height_;
    int largest_ = 0;
    std::vector<std::uint16_t> bins_;
};

// A centre of the search: x = whole + half / 2 (half 0 or 1).
struct HalfCoordinate
{
    int whole;
    int half;
    // |p - x| - half / 2 for an integer p.
    int Distance(int p) const { return p < whole + half ? whole - p : p - whole - half; }
};

// Per thread: the ring sums and counts of one centre and the means along
// the image's diagonal.
struct RingWork
{
    std::vector<double> sum;
    std::vector<int> count;
    std::vector<float> mean;
};

// What one centre gives: the smallest second difference (0 when none is
// negative) and its diagonal position.
struct EdgeCandidate
{
    float d2 = 0;
    float r = 0;
};

// The search at centre (hx, hy): the ring sums and counts in storage order,
// as AverageAlongAzimuthal takes them (sums in double, means narrowed to
// float), then the second differences of the means along the diagonal
// (k, k), k = 0 .. n - 1.
EdgeCandidate ScanCentre(const LwFloatMatrix& image, const RingTable& table, HalfCoordinate hx,
                         HalfCoordinate hy, int n, RingWork& work)
{
    const int c0 = image.ColBegin, r0 = image.RowBegin;
    const int cols = image.ColSize, rows = image.RowSize;
    const std::size_t bins = static_cast<std::size_t>(table.Largest()) + 1;
    work.sum.assign(bins, 0.0);
    work.count.assign(bins, 0);
    double* sum = work.sum.data();
    int* count = work.count.data();
    // Columns left of the centre, whose bins fall with the column, and the
    // rest, whose bins rise.
    const int left = std::clamp(hx.whole + hx.half - c0, 0, cols);
    const int leftBase = hx.whole - c0;  // Distance of column c < left: leftBase - c
    const int rightBase = c0 - hx.whole - hx.half;  // of column c >= left: c + rightBase
    for (int r = 0; r < rows; ++r) {
        const std::uint16_t* line = table.Line(hx.half, hy.half, hy.Distance(r0 + r));
        const float* row = image.Buffer() + static_cast<std::size_t>(r) * static_cast<std::size_t>(cols);
        for (int c = 0; c < left; ++c) {
            const std::size_t b = line[leftBase - c];
            sum[b] += row[c];
            ++count[b];
        }
        for (int c = left; c < cols; ++c) {
            const std::size_t b = line[c + rightBase];
            sum[b] += row[c];
            ++count[b];
        }
    }

    const float x = static_cast<float>(hx.whole) + 0.5f * static_cast<float>(hx.half);
    const float y = static_cast<float>(hy.whole) + 0.5f * static_cast<float>(hy.half);
    work.mean.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) {
        const float dx = static_cast<float>(k) - x;
        const float dy = static_cast<float>(k) - y;
        const std::size_t b = static_cast<std::size_t>(RingBin(dx * dx + dy * dy));
        work.mean[static_cast<std::size_t>(k)] = count[b] > 0 ? static_cast<float>(sum[b] / count[b]) : 0.0f;
    }
    // d2[k] = 2 mean[k] - mean[k + 1] - mean[k - 1] for k = 1 .. n - 2 and 0
    // at both ends; the first smallest entry wins.
    const float* mean = work.mean.data();
    EdgeCandidate best;
    int kmin = 0;
    for (int k = 1; k <= n - 2; ++k) {
        const float d2 = 2 * mean[k] - mean[k + 1] - mean[k - 1];
        if (d2 < best.d2) {
            best.d2 = d2;
            kmin = k;
        }
    }
    best.r = static_cast<float>(kmin);
    return best;
}

}  // namespace

RfaParameters::ScreenEdge RfaParameters::FindScreenEdge(const LwFloatMatrix& image,
                                                        const RfaProgress& progress) const
{
    if (image.ElementCount() == 0)
        throw LwError("The image has no pixels");
    // The candidate centres lie within 20 pixels of the image centre: an
    // image that cannot hold them gives a centre outside itself.
    const std::string size = std::to_string(image.ColSize) + " x " + std::to_string(image.RowSize);
    if (image.ColSize < 40 || image.RowSize < 40)
        throw LwError("The image (" + size +
                      " pixels) is too small for the edge search of Adjust Screen, which looks for the "
                      "screen centre within 20 pixels of the image centre: it needs at least 40 x 40 pixels");
    if (!std::isfinite(static_cast<double>(AdjThres_)))
        throw LwError("Adj Screen: Threshold is not a finite number");
    LwFloatMatrix clipped = image;
    float m = clipped.Buffer()[0];
    for (int i = 0; i < clipped.ElementCount(); ++i)
        m = std::max(m, clipped.Buffer()[i]);
    const float clip = static_cast<float>(AdjThres_ * m);
    for (int i = 0; i < clipped.ElementCount(); ++i)
        if (clipped.Buffer()[i] > clip)
            clipped.Buffer()[i] = clip;
    // The profile is read along the main diagonal, (k, k) for k from 0 to
    // the end of the shorter side; the candidate centres lie around the
    // image centre, each coordinate on its own axis.
    (void)clipped.Index(0, 0);
    const int n = std::min(clipped.ColBegin + clipped.ColSize, clipped.RowBegin + clipped.RowSize);

    constexpr int kCandidates = 80;
    const int loX = clipped.ColSize / 2 - 20;
    const int loY = clipped.RowSize / 2 - 20;
    float coordX[kCandidates], coordY[kCandidates];
    HalfCoordinate halfX[kCandidates], halfY[kCandidates];
    for (int i = 0; i < kCandidates; ++i) {
        coordX[i] = static_cast<float>(static_cast<LDouble>(loX) + 0.5L * i);
        coordY[i] = static_cast<float>(static_cast<LDouble>(loY) + 0.5L * i);
        halfX[i] = HalfCoordinate{loX + i / 2, i % 2};
        halfY[i] = HalfCoordinate{loY + i / 2, i % 2};
    }

    // The ring table covers every offset of a pixel from a centre. Its bins
    // are 16-bit; below that bound the offsets are far inside the range
    // where single precision holds them exactly.
    const int colFirst = clipped.ColBegin;
    const int colLast = clipped.ColBegin + clipped.ColSize - 1;
    const int rowFirst = clipped.RowBegin;
    const int rowLast = clipped.RowBegin + clipped.RowSize - 1;
    int maxAdx = 0, maxAdy = 0;
    for (const int i : {0, kCandidates - 1}) {
        maxAdx = std::max({maxAdx, halfX[i].Distance(colFirst), halfX[i].Distance(colLast)});
        maxAdy = std::max({maxAdy, halfY[i].Distance(rowFirst), halfY[i].Distance(rowLast)});
    }
    if (std::hypot(maxAdx + 1.0, maxAdy + 1.0) > 0xFFFF)
        throw LwError("The image is too large for Adjust Screen");
    // The diagonal passes |cols - rows| / (2 sqrt 2) from the image centre;
    // from sqrt 2 times the shorter side on, that is beyond half the shorter
    // side, and no screen inside the image crosses it.
    const double sideDifference = std::abs(static_cast<double>(image.ColSize) - image.RowSize);
    if (sideDifference >= std::sqrt(2.0) * std::min(image.ColSize, image.RowSize))
        throw LwError(
            "The image (" + size +
            " pixels) is too narrow for the edge search of Adjust Screen, which reads the screen "
            "edge along the diagonal from pixel (0, 0): the longer side must be less than about 2.4 "
            "times the shorter side");
    const RingTable table(maxAdx, maxAdy);

    // Per centre: the smallest d2 and its position. The centres of a few
    // rows of the scan at a time run in parallel, each on its own, handed out
    // one by one to whichever thread is free; the best is taken in scan
    // order afterwards, so the thread count changes nothing.
    constexpr int kRowsPerStep = 4;
    std::vector<EdgeCandidate> results(static_cast<std::size_t>(kCandidates) * kCandidates);
    const int threads = omp_get_max_threads();
    std::vector<RingWork> work(static_cast<std::size_t>(threads));
    LwParallelErrors errors(threads);
    for (int firstRow = 0; firstRow < kCandidates; firstRow += kRowsPerStep) {
        Report(progress, firstRow, kCandidates, "Adjust Screen was cancelled");
        const int first = firstRow * kCandidates;
        const int last = std::min(firstRow + kRowsPerStep, kCandidates) * kCandidates;
#pragma omp parallel for num_threads(threads) schedule(dynamic, 1)
        for (int i = first; i < last; ++i) {
            errors.Run([&] {
                results[static_cast<std::size_t>(i)] =
                    ScanCentre(clipped, table, halfX[i % kCandidates], halfY[i / kCandidates], n,
                               work[static_cast<std::size_t>(omp_get_thread_num())]);
            });
        }
        errors.RethrowFirst();
    }
    Report(progress, kCandidates, kCandidates, "Adjust Screen was cancelled");

    ScreenEdge edge;
    float best = 0;
    for (int iy = 0; iy < kCandidates; ++iy)
        for (int ix = 0; ix < kCandidates; ++ix) {
            const EdgeCandidate& r =
                results[static_cast<std::size_t>(iy) * kCandidates + static_cast<std::size_t>(ix)];
            if (r.d2 < best) {
                best = r.d2;
                edge.found = true;
                edge.x = coordX[ix];
                edge.y = coordY[iy];
                edge.position = r.r;
            }
        }
    if (edge.found) {
        const LDouble px = static_cast<LDouble>(edge.position) - edge.x;
        const LDouble py = static_cast<LDouble>(edge.position) - edge.y;
        const LDouble d = std::sqrt(px * px + py * py);
        edge.radius = static_cast<int>(std::floor(2 * d + 0.5L) * 0.5L);
        // An edge at the centre itself (a single dark pixel, say) is no
        // screen: a circle needs a radius of at least one pixel.
        edge.found = edge.radius >= 1;
    }
    edge.clipped = std::move(clipped);
    return edge;
}
