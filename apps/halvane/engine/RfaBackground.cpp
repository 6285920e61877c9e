// Backgrounds of RFA screen images: the least-squares spherical-harmonics
// fit, the degree-by-degree projection and the azimuthal average. Adjust
// Screen's edge search is in ScreenEdgeSearch.cpp.
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
    if (!(angle > 0 && angle <= kMaxAngle_deg)) {
        std::ostringstream text;
        text << "Max angle = " << angle << " is out of range: it must be greater than 0 and at most "
             << kMaxAngle_deg << " degrees";
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

namespace {

// How the pixels of a fit disc map to directions (RfaParameters::PixelToSphere).
struct DiscMapping
{
    LDouble R;
    bool gnomonic;
    bool azimuthal;
    LDouble thetaMax;
};

// The one walk over a fit disc: the pixel offsets (x, y) from the centre in
// rows [rowFrom, rowTo) of `square`, in storage order. `skip(x, y)` passes
// a pixel over before its direction is computed; every other pixel inside
// the disc goes to `visit(x, y, theta, phi)`.
template <class Skip, class Visit>
void ForEachDiscPixel(const SampleSquare& square, int rowFrom, int rowTo, const DiscMapping& mapping,
                      Skip&& skip, Visit&& visit)
{
    for (int iy = rowFrom; iy < rowTo; ++iy) {
        const int y = square.first + iy;
        for (int ix = 0; ix < square.count; ++ix) {
            const int x = square.first + ix;
            if (skip(x, y))
                continue;
            LDouble theta = 0, phi = 0;
            if (RfaParameters::PixelToSphere(theta, phi, x, y, mapping.R, mapping.gnomonic, mapping.azimuthal,
                                             mapping.thetaMax))
                visit(x, y, theta, phi);
        }
    }
}

constexpr auto kSkipNone = [](int, int) { return false; };

// The least-squares fit of FitBackgroundSh in its steps: gather the normal
// equations block by block, reduce the blocks in their order, solve, and
// fill the background. The disc is centred at (ColSize / 2, RowSize / 2).
class ShFit
{
public:
    ShFit(const LwFloatMatrix& image, double R, int L, const LDouble& thetaMaxDeg,
          const RfaProgress& progress)
        : image_(image), R_(R), L_(L), N_((L + 1) * (L + 1)),
          thetaMaxDeg_(thetaMaxDeg), mapping_{R, false, true, thetaMaxDeg * LwConst::Pi / 180},
          cx_(image.ColBegin + image.ColSize / 2), cy_(image.RowBegin + image.RowSize / 2),
          square_(MakeSquare(R)), progress_(progress), sumSlices_(progress ? kFitSumSlices : 1),
          fillSlices_(progress ? kFitFillSlices : 1), threads_(omp_get_max_threads()),
          caches_(static_cast<std::size_t>(threads_)), harmonics_(static_cast<std::size_t>(threads_))
    {}

    LwFloatMatrix Run()
    {
        Report(0);
        GatherNormalEquations();
        LwLDoubleMatrix A(N_, N_);
        LwLDoubleMatrix b(1, N_);
        ReduceBlocks(A, b);
        const std::vector<LDouble> c = Solve(A, b);
        return FillBackground(c);
    }

private:
    void Report(int done) const
    {
        ReportRfaProgress(progress_, done, sumSlices_ + fillSlices_,
                          "The spherical-harmonics fit was cancelled");
    }

    // Sums the products of the harmonics over the disc's pixels with data
    // into kFitBlocks sets, one per block of rows of the sample square: the
    // upper triangle of the normal matrix (k <= k'), packed by rows, and the
    // right-hand side, with the count of the pixels used.
    void GatherNormalEquations()
    {
        const std::size_t tri = static_cast<std::size_t>(N_) * static_cast<std::size_t>(N_ + 1) / 2;
        blockA_.assign(kFitBlocks, std::vector<LDouble>(tri, 0));
        blockB_.assign(kFitBlocks, std::vector<LDouble>(static_cast<std::size_t>(N_), 0));
        blockCount_.assign(kFitBlocks, 0);
        std::vector<FitBatch> batches(static_cast<std::size_t>(threads_), FitBatch(N_));
        LwParallelErrors errors(threads_);
        for (int slice = 0; slice < sumSlices_; ++slice) {
#pragma omp parallel for num_threads(threads_) schedule(dynamic, 1)
            for (int block = 0; block < kFitBlocks; ++block) {
                errors.Run([&] {
                    const std::size_t t = static_cast<std::size_t>(omp_get_thread_num());
                    LwLmDoubleArray& cache = caches_[t];
                    LwLmDoubleArray& Y = harmonics_[t];
                    FitBatch& batch = batches[t];
                    const std::size_t own = static_cast<std::size_t>(block);
                    std::vector<LDouble>& A = blockA_[own];
                    std::vector<LDouble>& b = blockB_[own];
                    long long& used = blockCount_[own];
                    const int blockFrom = square_.count * block / kFitBlocks;
                    const int blockTo = square_.count * (block + 1) / kFitBlocks;
                    ForEachDiscPixel(
                        square_, SliceBegin(blockFrom, blockTo, slice, sumSlices_),
                        SliceBegin(blockFrom, blockTo, slice + 1, sumSlices_), mapping_,
                        [&](int x, int y) { return image_(cx_ + x, cy_ + y) == 0; },
                        [&](int x, int y, const LDouble& theta, const LDouble& phi) {
                            CalcRealSphericalHarmonics(cache, Y, L_ + 1, theta, phi);
                            batch.Add(&Y[0], image_(cx_ + x, cy_ + y));
                            if (batch.Full())
                                batch.AddTo(A, b);
                            ++used;
                        });
                    batch.AddTo(A, b);
                });
            }
            errors.RethrowFirst();
            Report(slice + 1);
        }
    }

    // Adds the blocks' sums in block order into the symmetric normal matrix
    // `A` and the right-hand side `b`; refuses a fit with fewer pixels than
    // unknowns.
    void ReduceBlocks(LwLDoubleMatrix& A, LwLDoubleMatrix& b) const
    {
        A.SetZero();
        b.SetZero();
        long long used = 0;
        for (int block = 0; block < kFitBlocks; ++block) {
            used += blockCount_[static_cast<std::size_t>(block)];
            const std::vector<LDouble>& a = blockA_[static_cast<std::size_t>(block)];
            std::size_t p = 0;
            for (int k = 0; k < N_; ++k) {
                b(0, k) += blockB_[static_cast<std::size_t>(block)][static_cast<std::size_t>(k)];
                for (int k2 = k; k2 < N_; ++k2)
                    A(k2, k) += a[p++];
            }
        }
        for (int k = 0; k < N_; ++k)
            for (int k2 = k + 1; k2 < N_; ++k2)
                A(k, k2) = A(k2, k);
        if (used < N_) {
            std::ostringstream text;
            text << "Too few pixels with data inside the fit radius: " << used << " for " << N_
                 << " spherical harmonics";
            throw LwError(text.str());
        }
    }

    // The coefficients of the harmonics; refuses equations too ill-conditioned
    // for the degree, naming the highest degree that can be fitted.
    std::vector<LDouble> Solve(const LwLDoubleMatrix& A, const LwLDoubleMatrix& b) const
    {
        TraceMatrix("M", A, N_);
        const RfaNormalEquations equations(A);
        if (!WellConditioned(equations, L_)) {
            int usable = -1;  // the highest degree below L that passes, by bisection
            for (int lo = 0, hi = L_ - 1; lo <= hi;) {
                const int mid = (lo + hi) / 2;
                if (WellConditioned(equations, mid)) {
                    usable = mid;
                    lo = mid + 1;
                } else {
                    hi = mid - 1;
                }
            }
            std::ostringstream text;
            text << "Number of l = " << L_
                 << " is too high for this screen (Screen R minus Screen Margin = " << R_
                 << " pixels, Max angle = " << thetaMaxDeg_
                 << " degrees): the fit's equations are too ill-conditioned for the pixels with data";
            if (usable >= 0)
                text << "; the highest degree that can be fitted here is " << usable;
            throw LwError(text.str());
        }
        TraceInverse(equations, N_);
        std::vector<LDouble> rhs(static_cast<std::size_t>(N_));
        for (int k = 0; k < N_; ++k)
            rhs[static_cast<std::size_t>(k)] = b(0, k);
        std::vector<LDouble> c = equations.Solve(rhs, N_);
        for (const LDouble& ck : c)
            if (!std::isfinite(static_cast<long double>(ck)))
                throw LwError("The spherical-harmonics fit gave no finite result");
        return c;
    }

    // The fitted background at every pixel of the disc, 0 outside, with the
    // image's begins.
    LwFloatMatrix FillBackground(const std::vector<LDouble>& c) const
    {
        LwFloatMatrix background(image_.ColSize, image_.RowSize);
        background.ColBegin = image_.ColBegin;
        background.RowBegin = image_.RowBegin;
        background.SetZero();
        LwParallelErrors errors(threads_);
        for (int slice = 0; slice < fillSlices_; ++slice) {
            const int rowFrom = SliceBegin(0, square_.count, slice, fillSlices_);
            const int rowTo = SliceBegin(0, square_.count, slice + 1, fillSlices_);
#pragma omp parallel for num_threads(threads_) schedule(static)
            for (int iy = rowFrom; iy < rowTo; ++iy) {
                errors.Run([&] {
                    const std::size_t t = static_cast<std::size_t>(omp_get_thread_num());
                    LwLmDoubleArray& cache = caches_[t];
                    LwLmDoubleArray& Y = harmonics_[t];
                    ForEachDiscPixel(square_, iy, iy + 1, mapping_, kSkipNone,
                                     [&](int x, int y, const LDouble& theta, const LDouble& phi) {
                                         CalcRealSphericalHarmonics(cache, Y, L_ + 1, theta, phi);
                                         LDouble sum = 0;
                                         for (int k = 0; k < N_; ++k)
                                             sum += c[static_cast<std::size_t>(k)] * Y[k];
                                         background(cx_ + x, cy_ + y) = static_cast<float>(sum);
                                     });
                });
            }
            errors.RethrowFirst();
            if (slice + 1 < fillSlices_)
                Report(sumSlices_ + slice + 1);
        }
        for (int i = 0; i < background.ElementCount(); ++i)
            if (!std::isfinite(background.Buffer()[i]))
                throw LwError("The spherical-harmonics fit gave no finite result");
        Report(sumSlices_ + fillSlices_);
        return background.Release(true);
    }

    const LwFloatMatrix& image_;
    const double R_;
    const int L_;
    const int N_;
    const LDouble thetaMaxDeg_;
    const DiscMapping mapping_;
    const int cx_;
    const int cy_;
    const SampleSquare square_;
    const RfaProgress& progress_;
    const int sumSlices_;
    const int fillSlices_;
    const int threads_;
    // Working arrays of the harmonics, one pair per thread.
    mutable std::vector<LwLmDoubleArray> caches_;
    mutable std::vector<LwLmDoubleArray> harmonics_;
    // The sums of GatherNormalEquations, one set per block.
    std::vector<std::vector<LDouble>> blockA_;
    std::vector<std::vector<LDouble>> blockB_;
    std::vector<long long> blockCount_;
};

}  // namespace

LwFloatMatrix RfaParameters::FitBackgroundSh(const LwFloatMatrix& image, const RfaProgress& progress) const
{
    CheckFitSettings(true);
    CheckFitDisc(image);
    return ShFit(image, Sr_ - SMargin_, Size_l_, MappingAzThetaMax_deg_, progress).Run();
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
    const int cx = source.ColBegin + source.ColSize / 2;
    const int cy = source.RowBegin + source.RowSize / 2;
    const SampleSquare square = MakeSquare(R);
    LwFloatMatrix background(source.ColSize, source.RowSize);
    background.ColBegin = source.ColBegin;
    background.RowBegin = source.RowBegin;
    background.SetZero();
    LwFloatMatrix residual = source;
    LwLmDoubleArray cache;
    LwLmDoubleArray Y;
    const DiscMapping mapping{R, MappingIsGnomonic_, MappingIsAz_, thetaMax};
    auto forEachSample = [&](auto&& visit) {
        ForEachDiscPixel(square, 0, square.count, mapping, kSkipNone, visit);
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
    CheckCentre("Az. BG", Ax_, Ay_, image);
    // The average runs on the image's own indices: a copy from (0, 0),
    // element by element, so that a flagged image keeps its buffer.
    LwFloatMatrix atOrigin(image.ColSize, image.RowSize);
    std::copy(image.Buffer(), image.Buffer() + image.ElementCount(), atOrigin.Buffer());
    LwLongMatrix radiusMap;
    LwFloatMatrix background = LwMatrixOperator().AverageAlongAzimuthal(
        atOrigin, static_cast<float>(Ax_), static_cast<float>(Ay_), true, radiusMap);
    background.ColBegin = image.ColBegin;
    background.RowBegin = image.RowBegin;
    return background.Release(true);
}

void RfaParameters::LogAverageAlong(LwProcessLog& log) const
{
    log.LogOpenFunction("AverageAlong");
    log.LogAddDouble("CenterX", Ax_);
    log.LogAddDouble("CenterY", Ay_);
}
